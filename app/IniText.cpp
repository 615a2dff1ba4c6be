#include "app/IniText.h"

#include <windows.h>

namespace {

// GetPrivateProfileStringW answers at most 0xFFFF characters per call.
constexpr size_t kLargestBuffer = 0xFFFF;

// The profile functions take DWORD sizes: oversized requests are clamped.
DWORD ClampBuffer(size_t bufferChars) { return DWORD(bufferChars > kLargestBuffer ? kLargestBuffer : bufferChars); }

}  // namespace

std::wstring CIniFile::GetString(const std::wstring& section, const std::wstring& key, size_t bufferChars) const
{
    if (bufferChars == 0 || key.empty()) return std::wstring();
    std::vector<wchar_t> buffer(ClampBuffer(bufferChars) + 1, L'\0');
    DWORD length = GetPrivateProfileStringW(section.c_str(), key.c_str(), L"", buffer.data(),
                                            ClampBuffer(bufferChars), path_.c_str());
    return std::wstring(buffer.data(), length < buffer.size() ? length : 0);
}

int CIniFile::GetInt(const std::wstring& section, const std::wstring& key, int defaultValue) const
{
    return int(GetPrivateProfileIntW(section.c_str(), key.c_str(), defaultValue, path_.c_str()));
}

std::vector<std::wstring> CIniFile::GetSection(const std::wstring& section, size_t bufferChars) const
{
    std::vector<std::wstring> lines;
    if (bufferChars < 2) return lines;
    std::vector<wchar_t> buffer(ClampBuffer(bufferChars) + 2, L'\0');
    DWORD length = GetPrivateProfileSectionW(section.c_str(), buffer.data(), ClampBuffer(bufferChars), path_.c_str());
    // The list is "line\0line\0\0"; the spare zeros behind it end a cut list safely.
    for (size_t pos = 0; pos < length && buffer[pos] != L'\0';) {
        std::wstring line(&buffer[pos]);
        pos += line.size() + 1;
        lines.push_back(std::move(line));
    }
    return lines;
}

bool WriteFileBytes(const std::wstring& path, const void* data, size_t size)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = size <= MAXDWORD && WriteFile(file, data, DWORD(size), &written, nullptr) && written == size;
    CloseHandle(file);
    return ok;
}

std::wstring CreateUniqueTempFile(const wchar_t* prefix)
{
    wchar_t folder[MAX_PATH + 1] = {};
    wchar_t path[MAX_PATH + 1] = {};
    DWORD length = GetTempPathW(MAX_PATH, folder);
    if (length == 0 || length > MAX_PATH) return std::wstring();
    if (!GetTempFileNameW(folder, prefix, 0, path)) return std::wstring();
    return path;
}

CTempIniFile::CTempIniFile(const std::wstring& text, const wchar_t* prefix)
{
    std::wstring path = CreateUniqueTempFile(prefix);
    if (path.empty()) return;
    std::wstring content = text;
    if (content.empty() || content[0] != 0xFEFF) content.insert(content.begin(), wchar_t(0xFEFF));
    if (!WriteFileBytes(path, content.data(), content.size() * sizeof(wchar_t))) {
        DeleteFileW(path.c_str());
        return;
    }
    path_ = path;
}

CTempIniFile::~CTempIniFile()
{
    if (!path_.empty()) DeleteFileW(path_.c_str());
}
