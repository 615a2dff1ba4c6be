#include "setup/InstallerLaunch.h"

#include <shellapi.h>

#include <cwchar>

#include "base/AppSettings.h"
#include "base/DebugLog.h"
#include "report/Report.h"
#include "setup/SetupReport.h"
#include "setup/SetupRequest.h"
#include "setup/WindowContract.h"
#include "setup/WorkFolder.h"

namespace {

class CShellInstallerRunner : public IInstallerRunner {
public:
    bool Run(const std::wstring& path, const std::wstring& parameters, const wchar_t* verb, DWORD* exitCode,
             DWORD* error) override
    {
        SHELLEXECUTEINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = SEE_MASK_NOCLOSEPROCESS;
        info.lpVerb = verb;
        info.lpFile = path.c_str();
        info.lpParameters = parameters.c_str();
        info.nShow = SW_SHOW;
        if (!ShellExecuteExW(&info)) {
            *error = GetLastError();  // ERROR_CANCELLED when the elevation prompt was declined
            return false;
        }
        if (!info.hProcess) {
            *error = ERROR_INVALID_HANDLE;
            return false;
        }
        while (WaitForSingleObject(info.hProcess, 10) == WAIT_TIMEOUT) {
        }
        bool read = GetExitCodeProcess(info.hProcess, exitCode) != FALSE;
        if (!read) *error = GetLastError();
        CloseHandle(info.hProcess);
        return read;
    }
};

void PostToWindow(HWND window, UINT message)
{
    if (window && IsWindow(window)) PostMessageW(window, message, 0, 0);
}

std::wstring FolderOf(const std::wstring& path)
{
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

}  // namespace

IInstallerRunner& ShellInstallerRunner()
{
    static CShellInstallerRunner runner;
    return runner;
}

bool WantsElevation(const std::wstring& elevationRequest, bool vistaOrLater)
{
    return vistaOrLater && _wcsicmp(elevationRequest.c_str(), L"yes") == 0;
}

bool IsVistaOrLater()
{
    OSVERSIONINFOEXW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    version.dwMajorVersion = 6;
    version.dwMinorVersion = 0;
    version.wServicePackMajor = 0;
    version.wServicePackMinor = 0;
    DWORDLONG mask = 0;
    mask = VerSetConditionMask(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
    mask = VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
    mask = VerSetConditionMask(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    mask = VerSetConditionMask(mask, VER_SERVICEPACKMINOR, VER_GREATER_EQUAL);
    return VerifyVersionInfoW(&version,
                              VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR | VER_SERVICEPACKMINOR,
                              mask) != FALSE;
}

void StoreProgramExitCode(int code)
{
    static_assert(sizeof(GetAppSettings().exitCode) == sizeof(LONG), "exit code is one 32-bit word");
    InterlockedExchange(reinterpret_cast<volatile LONG*>(&GetAppSettings().exitCode), code);
}

bool StartInstaller(const InstallerLaunch& launch, IInstallerRunner& runner, uint32_t* installerExitCode)
{
    ReportMark(setup_items::kInstallerStarting, 0);
    PostToWindow(launch.window, kMsgInstallerStarting);

    bool ran = false;
    std::wstring commandLine;
    if (!BuildInstallerCommandLine(launch.langId, launch.helpUs, launch.passThroughArgs, launch.installFolder,
                                   &commandLine)) {
        DebugLog(L"installer not started: its command line does not fit %u characters",
                 unsigned(kInstallerCommandLineUnits - 1));
    } else if (IsReparsePoint(FolderOf(launch.packagePath))) {
        DebugLog(L"installer not started: %s lies in a redirected folder", launch.packagePath.c_str());
    } else {
        const wchar_t* verb = WantsElevation(launch.elevationRequest, IsVistaOrLater()) ? L"runas" : nullptr;
        DWORD exitCode = 0, error = 0;
        ran = runner.Run(launch.packagePath, commandLine, verb, &exitCode, &error);
        if (ran) {
            *installerExitCode = exitCode;
            StoreProgramExitCode(int(exitCode));
            DebugLog(L"installer ended with %lu", exitCode);
        } else {
            DebugLog(L"installer %s not started, error %lu", launch.packagePath.c_str(), error);
        }
    }
    PostToWindow(launch.window, kMsgInstallerEnded);
    return ran;
}
