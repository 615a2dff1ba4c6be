#include "app/ProductState.h"

#include <tlhelp32.h>

#include <algorithm>
#include <vector>

#include "app/InstallIdentity.h"
#include "app/Settings.h"
#include "tinyxml/tinyxml.h"
#include "base/TextConvert.h"

const wchar_t kUninstallKeyPath[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Nuvex Brisko 4.0.0.0";

namespace {

const wchar_t kUnknownChannel[] = L"Unknown-Channel";
constexpr DWORD kChannelChars = 255;
constexpr size_t kDateChars = 10;
// A version file is a few hundred bytes; anything far larger is not one.
constexpr DWORD kVersionFileLimit = 1 << 20;

std::wstring FromUtf8(const char* text) { return text ? Utf8ToWide(text) : std::wstring(); }

const TiXmlElement* ChildElement(const TiXmlNode* parent, const char* name)
{
    for (const TiXmlElement* child = parent ? parent->FirstChildElement() : nullptr; child;
         child = child->NextSiblingElement())
        if (_stricmp(child->Value(), name) == 0) return child;
    return nullptr;
}

bool ReadSmallFile(const std::wstring& path, std::string& contents)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD high = 0;
    DWORD size = GetFileSize(file, &high);
    bool ok = size != INVALID_FILE_SIZE && high == 0 && size <= kVersionFileLimit;
    if (ok) {
        contents.assign(size, '\0');
        DWORD read = 0;
        ok = size == 0 || (ReadFile(file, &contents[0], size, &read, nullptr) && read == size);
    }
    CloseHandle(file);
    return ok;
}

}  // namespace

ProductVersionInfo ParseVersionXml(const std::string& xmlText)
{
    ProductVersionInfo info;
    TiXmlDocument document;
    document.Parse(xmlText.c_str());
    if (document.Error()) return info;
    const TiXmlElement* program = ChildElement(ChildElement(&document, "VersionInfo"), "ProgramVersion");
    if (!program) return info;
    info.version = FromUtf8(program->GetText());
    info.date = FromUtf8(program->Attribute("Time")).substr(0, kDateChars);
    return info;
}

ProductVersionInfo ReadVersionXml(const std::wstring& path)
{
    std::string contents;
    if (!ReadSmallFile(path, contents)) return ProductVersionInfo();
    return ParseVersionXml(contents);
}

std::wstring ReadInstallChannelFrom(HKEY root, const std::wstring& subkey)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subkey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return kUnknownChannel;
    wchar_t data[kChannelChars + 2] = {};
    DWORD type = 0, bytes = (kChannelChars + 1) * sizeof(wchar_t);  // the text and its NUL
    LONG status = RegQueryValueExW(key, L"InstallChannel", nullptr, &type, reinterpret_cast<BYTE*>(data), &bytes);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ) return kUnknownChannel;
    data[std::min<DWORD>(bytes / sizeof(wchar_t), kChannelChars)] = 0;
    return data[0] ? std::wstring(data) : std::wstring(kUnknownChannel);
}

bool IsProcessRunning(const wchar_t* executableName)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    bool found = false;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !found; more = Process32NextW(snapshot, &entry))
        found = _wcsicmp(entry.szExeFile, executableName) == 0;
    CloseHandle(snapshot);
    return found;
}

bool IsProductServiceRunning() { return IsProcessRunning(L"BriskoSvc.exe"); }

std::wstring ReadInstalledProductVersion() { return ReadVersionXml(ProgramFolder() + L"version.xml").version; }

std::wstring ReadInstallChannel() { return ReadInstallChannelFrom(HKEY_LOCAL_MACHINE, kUninstallKeyPath); }

std::wstring ReadFallbackReportUrl() { return ExpandedRead(L"DataReport", L"ReportURL", std::wstring()); }
