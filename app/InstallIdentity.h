#pragma once
// Installation identity and product state: the identity string recorded in
// reports, the stored "brisko-id"/"brisko-guid" values, the service check and
// the fallbacks of the report parameters.
#include <windows.h>

#include <string>

// Mode 1 (hardwareOnly) copies the hardware id; mode 0 builds the full string
// "<disk>-<adapter>!<brisko-guid>@#<adapter>", made under the interactive
// user's token (userToken, or the console user's when null) where one can be
// had. The text is cut to fit the buffer.
// Returns 1 when a "brisko-id" value was stored or found (always 1 in mode 1), else 0.
int BuildInstallIdentity(HANDLE userToken, wchar_t* buffer, size_t bufferChars, int hardwareOnly);

struct InstallIdentityEnvironment;
struct InstallIdentityResult;
// Mode 0 with its inputs given: `userToken` is the caller's (never closed);
// without one, the environment's interactive-user token is taken and closed.
InstallIdentityResult BuildFullInstallIdentity(const InstallIdentityEnvironment& environment, HANDLE userToken,
                                               size_t bufferChars);

// True when "BriskoSvc.exe" is in the system's process list.
bool IsProductServiceRunning();

// Fallbacks for report parameters left empty at start.
// "ProgramVersion" of "version.xml" in the program's folder, or empty.
std::wstring ReadInstalledProductVersion();
// "InstallChannel" of the product's uninstall entry, or "Unknown-Channel".
std::wstring ReadInstallChannel();
// "DataReport"/"ReportURL" of "url.ini" in the program's folder, expanded.
std::wstring ReadFallbackReportUrl();
