#pragma once
// INI files read through the Windows private-profile functions, which bring
// the usual rules: section and key names compare case-insensitively, the first
// matching section and key win, values run to the end of the line, and every
// read is limited by the caller's buffer size in characters (the last
// character of a buffer is its terminating zero).
#include <string>
#include <vector>

class CIniFile {
public:
    // A full path: the profile functions look for bare names in the Windows folder.
    explicit CIniFile(std::wstring path) : path_(std::move(path)) {}
    const std::wstring& Path() const { return path_; }

    // GetPrivateProfileStringW with an empty default.
    std::wstring GetString(const std::wstring& section, const std::wstring& key, size_t bufferChars) const;
    // GetPrivateProfileIntW.
    int GetInt(const std::wstring& section, const std::wstring& key, int defaultValue) const;
    // GetPrivateProfileSectionW: the section's lines ("key=value") in file order,
    // as far as they fit a double-zero-terminated list of bufferChars characters.
    std::vector<std::wstring> GetSection(const std::wstring& section, size_t bufferChars) const;

private:
    std::wstring path_;
};

// A temporary file in the user's temporary folder holding an INI text
// (UTF-16LE with a byte-order mark), deleted with the object. Valid() is false
// when the file could not be written.
class CTempIniFile {
public:
    explicit CTempIniFile(const std::wstring& text, const wchar_t* prefix = L"ini");
    ~CTempIniFile();
    CTempIniFile(const CTempIniFile&) = delete;
    CTempIniFile& operator=(const CTempIniFile&) = delete;

    bool Valid() const { return !path_.empty(); }
    CIniFile File() const { return CIniFile(path_); }

private:
    std::wstring path_;
};

// Writes bytes to a file (created or truncated). False when it could not be written whole.
bool WriteFileBytes(const std::wstring& path, const void* data, size_t size);

// A new, unique, empty file in the user's temporary folder (GetTempFileNameW,
// which uses the first three characters of the prefix); empty when none could be made.
std::wstring CreateUniqueTempFile(const wchar_t* prefix);
