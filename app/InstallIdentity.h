#pragma once
// Installation identity and product state: the identity string recorded in
// reports, the stored "brisko-id"/"brisko-guid" values, the service check and
// the fallbacks of the report parameters.
#include <windows.h>

#include <string>

// Mode 1 (hardwareOnly) copies the hardware id; mode 0 builds the full string.
// Returns 1 when a "brisko-id" value was stored or found, else 0.
int BuildInstallIdentity(HANDLE userToken, wchar_t* buffer, size_t bufferChars, int hardwareOnly);

// True when "BriskoSvc.exe" is in the system's process list.
bool IsProductServiceRunning();

// Fallbacks for report parameters left empty at start.
std::wstring ReadInstalledProductVersion();
std::wstring ReadInstallChannel();
std::wstring ReadFallbackReportUrl();
