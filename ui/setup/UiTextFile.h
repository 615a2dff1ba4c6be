#pragma once
// The embedded UI text resource, written out to a temporary file so the
// private-profile functions can read it. The file lives as long as the object.
#include <windows.h>

#include <string>

// Resource type and id of the UTF-16 INI text that carries every UI language.
constexpr wchar_t kUiTextResourceType[] = L"RES_INI";
constexpr WORD kUiTextResourceId = 202;

class CUiTextFile {
public:
    // Writes the resource of `module` unchanged to a new temporary file. The
    // path stays empty when the resource is missing, empty or cannot be written.
    explicit CUiTextFile(HMODULE module);
    // Deletes the file, if it can still be opened for reading and writing.
    ~CUiTextFile();
    CUiTextFile(const CUiTextFile&) = delete;
    CUiTextFile& operator=(const CUiTextFile&) = delete;

    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
};

// The resource bytes as the module carries them (null and 0 when it has none).
const void* FindUiTextResource(HMODULE module, DWORD* size);
