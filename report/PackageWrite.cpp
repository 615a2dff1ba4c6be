#include "report/PackageWrite.h"

#include <atomic>

namespace {
BOOL SystemWrite(HANDLE file, const void* bytes, DWORD size, DWORD* written)
{
    return WriteFile(file, bytes, size, written, nullptr);
}

std::atomic<PackageWriter> g_writer{SystemWrite};
}  // namespace

PackageWriter SetPackageWriter(PackageWriter writer)
{
    PackageWriter previous = g_writer.exchange(writer ? writer : SystemWrite);
    return previous == SystemWrite ? nullptr : previous;
}

BOOL WritePackageBytes(HANDLE file, const void* bytes, DWORD size, DWORD* written)
{
    *written = 0;
    return g_writer.load()(file, bytes, size, written);
}

bool WriteAllPackageBytes(HANDLE file, const void* bytes, DWORD size, DWORD* written)
{
    *written = 0;
    const BYTE* next = static_cast<const BYTE*>(bytes);
    while (*written < size) {
        DWORD chunk = 0;
        if (!WritePackageBytes(file, next + *written, size - *written, &chunk) || chunk == 0) return false;
        *written += chunk;
    }
    return true;
}
