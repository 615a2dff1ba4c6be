// Stand-in until the identity issue lands: the hardware id only, no stored values.
#include "app/InstallIdentity.h"

#include <tlhelp32.h>

#include "app/Settings.h"
#include "identity/HardwareId.h"

int BuildInstallIdentity(HANDLE, wchar_t* buffer, size_t bufferChars, int hardwareOnly)
{
    if (!buffer || bufferChars == 0) return 0;
    const char* id = GetHardwareId();
    size_t length = strlen(id);
    if (length + 1 > bufferChars) return hardwareOnly ? 1 : 0;
    for (size_t i = 0; i <= length; ++i) buffer[i] = wchar_t(static_cast<unsigned char>(id[i]));
    return hardwareOnly ? 1 : 0;
}

bool IsProductServiceRunning()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    bool found = false;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !found; more = Process32NextW(snapshot, &entry))
        found = _wcsicmp(entry.szExeFile, L"BriskoSvc.exe") == 0;
    CloseHandle(snapshot);
    return found;
}

std::wstring ReadInstalledProductVersion() { return std::wstring(); }
std::wstring ReadInstallChannel() { return L"Unknown-Channel"; }
std::wstring ReadFallbackReportUrl() { return ExpandedRead(L"DataReport", L"ReportURL", std::wstring()); }
