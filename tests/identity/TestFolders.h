#pragma once
// Scratch places for the identity tests: a fresh folder below the temporary
// folder and a registry key below HKCU, both removed again at the end.
#include <windows.h>
#include <shellapi.h>

#include <string>

class ScratchFolder {
public:
    ScratchFolder()
    {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + L"identity-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(counter_++);
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~ScratchFolder()
    {
        std::wstring from = path_;
        from.push_back(L'\0');
        SHFILEOPSTRUCTW operation = {};
        operation.wFunc = FO_DELETE;
        operation.pFrom = from.c_str();
        operation.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
        SHFileOperationW(&operation);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::wstring& Path() const { return path_; }
    std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    static inline int counter_ = 0;
    std::wstring path_;
};

class ScratchRegistryKey {
public:
    ScratchRegistryKey()
    {
        path_ = L"Software\\MiniSetupIdentityTests\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(counter_++);
        RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
    }
    ~ScratchRegistryKey()
    {
        if (key_) RegCloseKey(key_);
        RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    }
    ScratchRegistryKey(const ScratchRegistryKey&) = delete;
    ScratchRegistryKey& operator=(const ScratchRegistryKey&) = delete;
    const std::wstring& Path() const { return path_; }
    HKEY Key() const { return key_; }

    // Creates `subpath` below this key and sets a REG_SZ value on it.
    void SetText(const std::wstring& subpath, const std::wstring& name, const std::wstring& value) const
    {
        HKEY key = nullptr;
        std::wstring full = subpath.empty() ? path_ : path_ + L"\\" + subpath;
        RegCreateKeyExW(HKEY_CURRENT_USER, full.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       DWORD((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }

private:
    static inline int counter_ = 0;
    std::wstring path_;
    HKEY key_ = nullptr;
};
