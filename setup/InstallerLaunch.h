#pragma once
// Starting the installer on a checked package and waiting for it.
#include <windows.h>

#include <cstdint>
#include <string>

// Starts a program and waits for it; the system one uses ShellExecuteExW,
// tests record what would have been started.
class IInstallerRunner {
public:
    virtual ~IInstallerRunner() = default;
    // `verb` is null for the default action. True with the exit code when the
    // program ran; false when it could not be started or its exit code could
    // not be read (`error` then holds the reason).
    virtual bool Run(const std::wstring& path, const std::wstring& parameters, const wchar_t* verb,
                     DWORD* exitCode, DWORD* error) = 0;
};

IInstallerRunner& ShellInstallerRunner();

// Elevation is asked for when the request is "yes" (any case) on Vista or later.
bool WantsElevation(const std::wstring& elevationRequest, bool vistaOrLater);
bool IsVistaOrLater();

struct InstallerLaunch {
    HWND window = nullptr;          // receives 2027 and 2028
    WORD langId = 0;
    int helpUs = 0;
    std::wstring passThroughArgs;
    std::wstring installFolder;     // with its version subfolder
    std::wstring packagePath;
    std::wstring elevationRequest;  // the manifest's require_admin, or "yes"
};

// Marks the start, posts 2027, builds the command line, runs the installer and
// waits for it, stores its exit code in the program's exit code and posts
// 2028. A command line that does not fit, a package in a folder that is a
// reparse point, or a start that fails leaves the exit code as it is (and
// still posts 2028). Returns true when the installer ran; `installerExitCode`
// then holds its exit code.
bool StartInstaller(const InstallerLaunch& launch, IInstallerRunner& runner, uint32_t* installerExitCode);

// The program's exit code, written so that any thread may set it.
void StoreProgramExitCode(int code);
