#include "setup/InstallHwndBlock.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr DWORD kBlockBytes = 4;

// A mapped view, unmapped on every path.
class CMappedView {
public:
    CMappedView(HANDLE mapping, DWORD access) : view_(MapViewOfFile(mapping, access, 0, 0, kBlockBytes)) {}
    ~CMappedView()
    {
        if (view_ != nullptr)
            UnmapViewOfFile(view_);
    }
    CMappedView(const CMappedView&) = delete;
    CMappedView& operator=(const CMappedView&) = delete;
    void* get() const { return view_; }

private:
    void* view_;
};

}  // namespace

CInstallHwndBlock::~CInstallHwndBlock()
{
    Close();
}

void CInstallHwndBlock::Close()
{
    if (mapping_ != nullptr) {
        CloseHandle(mapping_);
        mapping_ = nullptr;
    }
}

bool CInstallHwndBlock::Create(HWND window, const wchar_t* name)
{
    Close();
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBlockBytes, name);
    if (mapping == nullptr)
        return false;
    {
        CMappedView view(mapping, FILE_MAP_WRITE);
        if (view.get() == nullptr) {
            CloseHandle(mapping);
            return false;
        }
        // Handles are 32-bit values even for 64-bit installers.
        const uint32_t value = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window));
        std::memcpy(view.get(), &value, sizeof value);
    }
    mapping_ = mapping;
    return true;
}

HWND ReadInstallHwndBlock(const wchar_t* name)
{
    HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, name);
    if (mapping == nullptr)
        return nullptr;
    uint32_t value = 0;
    {
        CMappedView view(mapping, FILE_MAP_READ);
        if (view.get() != nullptr)
            std::memcpy(&value, view.get(), sizeof value);
    }
    CloseHandle(mapping);
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(value));
}
