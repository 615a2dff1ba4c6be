#include "report/ReportQueue.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>

#include "base/RegKey.h"
#include "report/OpenSecurity.h"
#include "report/ReportLocations.h"

namespace {
bool CreateKey(const std::wstring& keyPath, CRegKey& key)
{
    COpenSecurity security;
    return RegCreateKeyExW(GetReportLocations().root, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                           security.Attributes(), key.Receive(), nullptr) == ERROR_SUCCESS;
}

bool OpenKey(const std::wstring& keyPath, REGSAM access, CRegKey& key)
{
    return RegOpenKeyExW(GetReportLocations().root, keyPath.c_str(), 0, access, key.Receive()) == ERROR_SUCCESS;
}
}  // namespace

bool WriteQueueValue(const std::wstring& keyPath, const std::wstring& name, const std::wstring& data)
{
    CRegKey key;
    if (!CreateKey(keyPath, key)) return false;
    return RegSetValueExW(key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>(data.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

std::wstring ReadQueueValue(const std::wstring& keyPath, const std::wstring& name, size_t maxBytes)
{
    CRegKey key;
    if (!OpenKey(keyPath, KEY_READ, key)) return std::wstring();
    std::wstring buffer(maxBytes / sizeof(wchar_t) + 1, L'\0');
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(maxBytes);
    if (RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&buffer[0]), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return std::wstring();
    buffer.resize(size / sizeof(wchar_t));
    while (!buffer.empty() && buffer.back() == L'\0') buffer.pop_back();
    return buffer;
}

bool DeleteQueueValue(const std::wstring& keyPath, const std::wstring& name)
{
    return SHDeleteValueW(GetReportLocations().root, keyPath.c_str(), name.c_str()) == ERROR_SUCCESS;
}

std::vector<QueueEntry> ListQueueValues(const std::wstring& keyPath, size_t maxNameChars, size_t maxDataBytes)
{
    std::vector<QueueEntry> entries;
    CRegKey key;
    if (!OpenKey(keyPath, KEY_READ, key)) return entries;
    std::wstring name(maxNameChars + 1, L'\0');
    std::wstring data(maxDataBytes / sizeof(wchar_t) + 1, L'\0');
    for (DWORD index = 0;; ++index) {
        std::fill(name.begin(), name.end(), L'\0');
        std::fill(data.begin(), data.end(), L'\0');
        DWORD nameChars = static_cast<DWORD>(maxNameChars);
        DWORD dataBytes = static_cast<DWORD>(maxDataBytes);
        DWORD type = 0;
        LONG rc = RegEnumValueW(key.Get(), index, &name[0], &nameChars, nullptr, &type,
                                reinterpret_cast<BYTE*>(&data[0]), &dataBytes);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS || type != REG_SZ) continue;
        std::wstring entryName(name.c_str());
        if (entryName.empty()) continue;
        entries.emplace_back(entryName, std::wstring(data.c_str()));
    }
    return entries;
}

unsigned CountQueueValues(const std::wstring& keyPath)
{
    CRegKey key;
    if (!OpenKey(keyPath, KEY_READ, key)) return 0;
    DWORD values = 0;
    if (RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return 0;
    return values;
}
