#include "app/IniText.h"

#include <windows.h>

#include <cwchar>
#include "base/TextConvert.h"

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

std::wstring Trim(const std::wstring& text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

bool SameName(const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) == 0; }

// A value quoted as a whole loses its quotes, as the profile functions do.
std::wstring Unquote(const std::wstring& value)
{
    if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"') return value.substr(1, value.size() - 2);
    return value;
}

std::wstring Truncate(const std::wstring& text, size_t bufferChars)
{
    if (bufferChars == 0) return std::wstring();
    return text.size() < bufferChars ? text : text.substr(0, bufferChars - 1);
}

}  // namespace

CIniText::CIniText(const std::wstring& text)
{
    size_t pos = 0;
    if (!text.empty() && text[0] == 0xFEFF) pos = 1;
    Section* current = nullptr;
    while (pos <= text.size()) {
        size_t end = text.find_first_of(L"\r\n", pos);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line[0] == L';') continue;
        if (line[0] == L'[') {
            size_t close = line.find(L']');
            std::wstring name = Trim(line.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1));
            sections_.push_back(Section{name, {}});
            current = &sections_.back();
            continue;
        }
        if (!current) continue;
        size_t equals = line.find(L'=');
        if (equals == std::wstring::npos)
            current->entries.push_back(Entry{std::wstring(), line, false});
        else
            current->entries.push_back(Entry{Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)), true});
    }
}

CIniText CIniText::FromBytes(const std::string& bytes)
{
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::wstring text;
        text.reserve(bytes.size() / 2);
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            wchar_t c = wchar_t(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
            if (c == L'\0') break;
            text.push_back(c);
        }
        return CIniText(text);
    }
    return CIniText(AnsiToWide(bytes.substr(0, bytes.find('\0'))));
}

CIniText CIniText::FromFile(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return CIniText();
    std::string bytes;
    LARGE_INTEGER size = {};
    // Settings texts are small; anything over a few MiB is not an INI file of ours.
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart <= 4 * 1024 * 1024) {
        bytes.resize(size_t(size.QuadPart));
        DWORD got = 0;
        if (!ReadFile(file, &bytes[0], DWORD(bytes.size()), &got, nullptr)) got = 0;
        bytes.resize(got);
    }
    CloseHandle(file);
    return FromBytes(bytes);
}

const CIniText::Section* CIniText::FindSection(const std::wstring& name) const
{
    for (const Section& section : sections_)
        if (SameName(section.name, name)) return &section;
    return nullptr;
}

std::wstring CIniText::GetString(const std::wstring& section, const std::wstring& key, size_t bufferChars) const
{
    const Section* found = FindSection(section);
    if (!found || key.empty()) return std::wstring();
    for (const Entry& entry : found->entries)
        if (entry.hasEquals && SameName(entry.key, key)) return Truncate(Unquote(entry.value), bufferChars);
    return std::wstring();
}

int CIniText::GetInt(const std::wstring& section, const std::wstring& key, int defaultValue) const
{
    const Section* found = FindSection(section);
    if (!found) return defaultValue;
    for (const Entry& entry : found->entries) {
        if (!entry.hasEquals || !SameName(entry.key, key)) continue;
        const std::wstring& value = entry.value;
        if (value.empty()) return defaultValue;
        size_t pos = 0;
        bool negative = false;
        if (value[0] == L'-' || value[0] == L'+') {
            negative = value[0] == L'-';
            pos = 1;
        }
        long long number = 0;
        for (; pos < value.size() && iswdigit(value[pos]); ++pos) {
            number = number * 10 + (value[pos] - L'0');
            if (number > 0x7FFFFFFF) number = 0x7FFFFFFF;
        }
        return int(negative ? -number : number);
    }
    return defaultValue;
}

std::vector<std::wstring> CIniText::GetSection(const std::wstring& section, size_t bufferChars) const
{
    std::vector<std::wstring> entries;
    const Section* found = FindSection(section);
    if (!found || bufferChars < 2) return entries;
    size_t room = bufferChars - 1;  // one character stays for the list's final zero
    for (const Entry& entry : found->entries) {
        std::wstring line = entry.hasEquals ? entry.key + L"=" + entry.value : entry.value;
        if (line.size() + 1 > room) {
            if (room > 1) entries.push_back(line.substr(0, room - 1));
            break;
        }
        room -= line.size() + 1;
        entries.push_back(line);
    }
    return entries;
}
