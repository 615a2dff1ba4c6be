#include "base/FileVersion.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "base/MD5Checksum.h"

namespace {

std::vector<BYTE> ReadVersionBlock(const std::wstring& path)
{
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<BYTE> block;
    if (size == 0) return block;
    block.resize(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) block.clear();
    return block;
}

// The first language/code-page pair of the translation table.
bool FirstTranslation(std::vector<BYTE>& block, WORD* language, WORD* codePage)
{
    struct Translation {
        WORD language;
        WORD codePage;
    }* table = nullptr;
    UINT size = 0;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&table), &size) ||
        !table || size < sizeof(Translation))
        return false;
    *language = table->language;
    *codePage = table->codePage;
    return true;
}

std::wstring QueryString(std::vector<BYTE>& block, const wchar_t* subBlock)
{
    wchar_t* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), subBlock, reinterpret_cast<void**>(&value), &length) || !value || length == 0)
        return std::wstring();
    return std::wstring(value, wcsnlen(value, length));
}

std::wstring StringField(std::vector<BYTE>& block, const wchar_t* translation, const wchar_t* name)
{
    wchar_t subBlock[128];
    _snwprintf(subBlock, _countof(subBlock), L"\\StringFileInfo\\%s\\%s", translation, name);
    subBlock[_countof(subBlock) - 1] = L'\0';
    std::wstring value = QueryString(block, subBlock);
    return value.empty() ? L"null" : value;
}

std::wstring FixedFileVersion(std::vector<BYTE>& block)
{
    VS_FIXEDFILEINFO* info = nullptr;
    UINT size = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &size) || !info ||
        size < sizeof(VS_FIXEDFILEINFO))
        return L"null";
    wchar_t text[64];
    _snwprintf(text, _countof(text), L"%d.%d.%d.%d", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
               HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
    text[_countof(text) - 1] = L'\0';
    return text;
}

bool FileSize(const std::wstring& path, long long* bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size = {};
    bool ok = GetFileSizeEx(file, &size) != 0;
    CloseHandle(file);
    *bytes = size.QuadPart;
    return ok;
}

}  // namespace

std::wstring FormatSizeField(long long bytes)
{
    wchar_t text[32];
    _snwprintf(text, _countof(text), L"%I64dKB", bytes >> 10);
    text[_countof(text) - 1] = L'\0';
    return text;
}

std::wstring GetFileProductVersion(const std::wstring& path)
{
    std::vector<BYTE> block = ReadVersionBlock(path);
    WORD language = 0, codePage = 0;
    if (block.empty() || !FirstTranslation(block, &language, &codePage)) return std::wstring();
    wchar_t subBlock[96];
    _snwprintf(subBlock, _countof(subBlock), L"StringFileInfo\\%.4x%.4x\\ProductVersion", language, codePage);
    subBlock[_countof(subBlock) - 1] = L'\0';
    std::wstring version = QueryString(block, subBlock);
    for (wchar_t& c : version)
        if (c == L',') c = L'.';
    return version;
}

std::wstring GetFileInfoRecord(const std::wstring& path)
{
    std::wstring record;
    std::vector<BYTE> block = ReadVersionBlock(path);
    WORD language = 0, codePage = 0;
    if (!block.empty() && FirstTranslation(block, &language, &codePage)) {
        wchar_t translation[16];
        _snwprintf(translation, _countof(translation), L"%.4X%.4X", language, codePage);
        translation[_countof(translation) - 1] = L'\0';
        record = StringField(block, translation, L"FileDescription") + L"|" + FixedFileVersion(block) + L"|" +
                 StringField(block, translation, L"ProductName") + L"|" +
                 StringField(block, translation, L"ProductVersion") + L"|" +
                 StringField(block, translation, L"LegalCopyright");
    } else {
        record = L"null|null|null|null|null";
    }
    long long bytes = 0;
    if (!FileSize(path, &bytes)) return record + L"|null";
    std::string digest = CMD5Checksum::HexOfFile(path);
    record += L"|" + FormatSizeField(bytes) + L"|" + (digest.empty() ? std::wstring(L"null") :
                                                      std::wstring(digest.begin(), digest.end()));
    return record;
}
