#include "setup/BuiltInPackage.h"

#include <windows.h>

#include "base/DebugLog.h"
#include "base/ScopedHandle.h"
#include "setup/EmbeddedPackage.h"

namespace {

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
    CScopedHandle image(CreateFileW(imagePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!image.Valid()) return false;
    LARGE_INTEGER imageSize = {};
    if (!GetFileSizeEx(image.Get(), &imageSize) || imageSize.QuadPart <= 0 || imageSize.HighPart != 0) return false;
    CScopedHandle mapping(CreateFileMappingW(image.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping.Valid()) return false;
    CView view(MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0));
    if (!view.bytes()) return false;

    EmbeddedSection section;
    if (!FindFullSection(view.bytes(), size_t(imageSize.QuadPart), &section)) return false;

    wchar_t tempName[MAX_PATH] = {};
    if (!GetTempFileNameW(workFolder.c_str(), L"BRK", 0, tempName)) {
        DebugLog(L"built-in package: no temporary name in %s (%lu)", workFolder.c_str(), GetLastError());
        return false;
    }
    std::wstring target = std::wstring(tempName) + L".exe";
    CScopedHandle out(
        CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.Valid()) {
        DebugLog(L"built-in package: %s not created (%lu)", target.c_str(), GetLastError());
        return false;
    }
    bool written = WriteAll(out.Get(), view.bytes() + section.offset, section.size) && FlushFileBuffers(out.Get());
    out.Reset();
    if (!written) {
        DebugLog(L"built-in package: %s not written (%lu)", target.c_str(), GetLastError());
        DeleteFileW(target.c_str());
        return false;
    }
    *packagePath = target;
    return true;
}
