#pragma once
// What the setup window asks of Windows, behind one seam: the real answers by
// default, a test's answers once it installs its own environment. Covers
// elevation, the system version, the user language, running processes,
// opening files and addresses, the notification area, the tray menu and the
// folder picker.
#include <windows.h>
#include <shellapi.h>

#include <string>

class IEnvironment {
public:
    virtual ~IEnvironment() = default;

    // IsUserAnAdmin.
    virtual bool IsUserAdmin() = 0;
    // GetVersionExW with the extended structure; false when the call fails.
    virtual bool WindowsVersion(OSVERSIONINFOEXW* info) = 0;
    // GetSystemInfo's processor architecture (PROCESSOR_ARCHITECTURE_*).
    virtual WORD ProcessorArchitecture() = 0;
    // GetUserDefaultLangID.
    virtual LANGID UserDefaultLangId() = 0;
    // Whether a process with this executable name runs (case-insensitive).
    virtual bool IsProcessRunning(const std::wstring& exeName) = 0;
    // The full path of the running program (GetModuleFileNameW); empty when it does not fit.
    virtual std::wstring ProgramPath() = 0;

    // ShellExecuteW: the returned value is above 32 on success.
    virtual INT_PTR ShellOpen(HWND owner, const wchar_t* verb, const wchar_t* file, const wchar_t* parameters,
                              const wchar_t* directory, int show) = 0;
    // ShellExecuteExW.
    virtual bool ShellOpenEx(SHELLEXECUTEINFOW* info) = 0;
    // Shell_NotifyIconW.
    virtual bool NotifyIcon(DWORD message, NOTIFYICONDATAW* data) = 0;

    // GetCursorPos.
    virtual bool CursorPosition(POINT* point) = 0;
    // TrackPopupMenu: the chosen command arrives as WM_COMMAND at the owner.
    virtual bool TrackMenu(HMENU menu, UINT flags, int x, int y, HWND owner) = 0;

    // SHBrowseForFolderW owned by `owner`, opened on `initialFolder`; true
    // with the chosen path when the user picked a file-system folder.
    virtual bool BrowseForFolder(HWND owner, const std::wstring& initialFolder, std::wstring* chosen) = 0;
};

// The environment in use: the real one unless a test installed its own.
IEnvironment& Env();

// Installs `environment` (nullptr: the real one again) and returns the one it replaces.
IEnvironment* SetEnvironment(IEnvironment* environment);

// Installs an environment for the lifetime of a scope.
class CScopedEnvironment {
public:
    explicit CScopedEnvironment(IEnvironment& environment) : previous_(SetEnvironment(&environment)) {}
    ~CScopedEnvironment() { SetEnvironment(previous_); }
    CScopedEnvironment(const CScopedEnvironment&) = delete;
    CScopedEnvironment& operator=(const CScopedEnvironment&) = delete;

private:
    IEnvironment* previous_;
};

// Flags of the folder picker: BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE.
constexpr UINT kBrowseFolderFlags = 0x49;
