#include "setup/BuiltInPackage.h"

#include <windows.h>

#include "base/DebugLog.h"
#include "setup/EmbeddedPackage.h"

namespace {

class CHandle {
public:
    explicit CHandle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~CHandle()
    {
        if (handle_) CloseHandle(handle_);
    }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;
    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void reset()
    {
        if (handle_) CloseHandle(handle_);
        handle_ = nullptr;
    }

private:
    HANDLE handle_;
};

class CView {
public:
    explicit CView(const void* view) : view_(view) {}
    ~CView()
    {
        if (view_) UnmapViewOfFile(view_);
    }
    CView(const CView&) = delete;
    CView& operator=(const CView&) = delete;
    const uint8_t* bytes() const { return static_cast<const uint8_t*>(view_); }

private:
    const void* view_;
};

bool WriteAll(HANDLE file, const uint8_t* data, size_t size)
{
    while (size > 0) {
        DWORD chunk = size > 0x100000 ? 0x100000 : DWORD(size);
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr) || written != chunk) return false;
        data += chunk;
        size -= chunk;
    }
    return true;
}

}  // namespace

bool ExtractBuiltInPackage(const std::wstring& imagePath, const std::wstring& workFolder, std::wstring* packagePath)
{
    CHandle image(CreateFileW(imagePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!image) return false;
    LARGE_INTEGER imageSize = {};
    if (!GetFileSizeEx(image.get(), &imageSize) || imageSize.QuadPart <= 0 || imageSize.HighPart != 0) return false;
    CHandle mapping(CreateFileMappingW(image.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping) return false;
    CView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
    if (!view.bytes()) return false;

    EmbeddedSection section;
    if (!FindFullSection(view.bytes(), size_t(imageSize.QuadPart), &section)) return false;

    wchar_t tempName[MAX_PATH] = {};
    if (!GetTempFileNameW(workFolder.c_str(), L"BRK", 0, tempName)) {
        DebugLog(L"built-in package: no temporary name in %s (%lu)", workFolder.c_str(), GetLastError());
        return false;
    }
    std::wstring target = std::wstring(tempName) + L".exe";
    CHandle out(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) {
        DebugLog(L"built-in package: %s not created (%lu)", target.c_str(), GetLastError());
        return false;
    }
    bool written = WriteAll(out.get(), view.bytes() + section.offset, section.size) && FlushFileBuffers(out.get());
    out.reset();
    if (!written) {
        DebugLog(L"built-in package: %s not written (%lu)", target.c_str(), GetLastError());
        DeleteFileW(target.c_str());
        return false;
    }
    *packagePath = target;
    return true;
}
