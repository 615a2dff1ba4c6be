#include "report/Component.h"

#include <vector>

#include "report/PackageWrite.h"

uint32_t Component::WriteTo(HANDLE file)
{
    writeComplete_ = false;
    if (file == nullptr || file == INVALID_HANDLE_VALUE) return 0;
    uint32_t needed = 0;
    Serialize(nullptr, &needed);
    std::vector<uint8_t> buffer;
    try {
        buffer.resize(needed ? needed : 1);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    uint32_t length = needed;
    if (!Serialize(buffer.data(), &length)) return 0;
    DWORD written = 0;
    writeComplete_ = WriteAllPackageBytes(file, buffer.data(), length, &written);
    if (writeComplete_) SetChanged(0);
    return written;
}
