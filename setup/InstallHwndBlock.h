#pragma once
// The named shared block through which the installer finds the setup window:
// 4 bytes backed by the paging file, holding the window handle as a 32-bit
// value at offset 0, in the session name space.
#include <windows.h>

constexpr wchar_t kInstallHwndBlockName[] = L"MiniInstallHwnd";

// Owned by the window: created with its handle and kept open while it lives.
class CInstallHwndBlock {
public:
    CInstallHwndBlock() = default;
    ~CInstallHwndBlock();
    CInstallHwndBlock(const CInstallHwndBlock&) = delete;
    CInstallHwndBlock& operator=(const CInstallHwndBlock&) = delete;

    // Creates (or opens, when it exists) the block and writes the handle into
    // it. A block already held by this object is closed first.
    bool Create(HWND window, const wchar_t* name = kInstallHwndBlockName);
    void Close();
    bool IsOpen() const { return mapping_ != nullptr; }

private:
    HANDLE mapping_ = nullptr;
};

// The installer side: the window handle stored in the named block, or null
// when there is no such block.
HWND ReadInstallHwndBlock(const wchar_t* name = kInstallHwndBlockName);
