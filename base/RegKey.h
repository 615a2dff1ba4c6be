#pragma once
// A registry key that is closed when its scope ends.
#include <windows.h>

#include <string>

class CRegKey {
public:
    CRegKey() = default;
    // Opens `path` below `parent`; Get() is null when that fails.
    CRegKey(HKEY parent, const std::wstring& path, REGSAM access)
    {
        if (RegOpenKeyExW(parent, path.c_str(), 0, access, &key_) != ERROR_SUCCESS) key_ = nullptr;
    }
    ~CRegKey()
    {
        if (key_) RegCloseKey(key_);
    }
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;

    // Where a Reg*KeyEx call puts the key it opens or creates.
    HKEY* Receive() { return &key_; }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};
