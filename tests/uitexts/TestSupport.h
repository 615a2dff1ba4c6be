#pragma once
// Scratch files for the text tests: UTF-16 INI fixtures in the temporary
// folder, removed again when the test ends.
#include <windows.h>

#include <string>

class ScratchIni {
public:
    // Writes `text` (lines separated by "\n") as UTF-16LE with BOM and CRLF.
    explicit ScratchIni(const std::wstring& text)
    {
        wchar_t folder[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, folder);
        path_ = std::wstring(folder) + L"uitexts-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(counter_++) + L".ini";
        std::wstring content = L"\xFEFF";
        for (wchar_t c : text) {
            if (c == L'\n') content += L"\r\n";
            else content += c;
        }
        HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, content.data(), static_cast<DWORD>(content.size() * sizeof(wchar_t)), &written, nullptr);
        CloseHandle(file);
    }
    ~ScratchIni() { DeleteFileW(path_.c_str()); }
    ScratchIni(const ScratchIni&) = delete;
    ScratchIni& operator=(const ScratchIni&) = delete;
    const std::wstring& Path() const { return path_; }

private:
    static inline int counter_ = 0;
    std::wstring path_;
};

inline bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
