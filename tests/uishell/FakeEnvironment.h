#pragma once
// An environment whose answers a test sets and whose shell calls it records.
// Nothing here reaches the real shell: no browser, no tray, no dialog.
#include <windows.h>
#include <shellapi.h>

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "ui/setup/Environment.h"

struct ShellCall {
    std::wstring verb;
    std::wstring file;
    std::wstring parameters;
    bool hasParameters = false;
    int show = 0;
};

struct NotifyCall {
    DWORD message = 0;
    NOTIFYICONDATAW data = {};
};

struct MenuCall {
    std::vector<std::pair<UINT, std::wstring>> items;
    UINT flags = 0;
    POINT at = {};
    HWND owner = nullptr;
};

class CFakeEnvironment : public IEnvironment {
public:
    bool admin = true;
    OSVERSIONINFOEXW version = {};
    WORD architecture = PROCESSOR_ARCHITECTURE_INTEL;
    LANGID userLangId = 1033;
    std::vector<std::wstring> runningProcesses;
    std::wstring programPath = L"C:\\Downloads\\BriskoSetup.exe";
    // Results of the next ShellOpen calls in turn; 42 (success) once used up.
    std::deque<INT_PTR> shellResults;
    POINT cursor = {};
    // The command the user "chooses" in a tracked menu (posted as WM_COMMAND); 0 dismisses it.
    UINT menuChoice = 0;
    bool browseAnswer = false;
    std::wstring browsePath;

    std::vector<ShellCall> shellCalls;
    std::vector<SHELLEXECUTEINFOW> shellExCalls;
    std::vector<NotifyCall> notifyCalls;
    std::vector<MenuCall> menuCalls;
    std::vector<std::wstring> browseStarts;

    bool IsUserAdmin() override { return admin; }
    bool WindowsVersion(OSVERSIONINFOEXW* info) override
    {
        *info = version;
        return true;
    }
    WORD ProcessorArchitecture() override { return architecture; }
    LANGID UserDefaultLangId() override { return userLangId; }
    bool IsProcessRunning(const std::wstring& exeName) override;
    std::wstring ProgramPath() override { return programPath; }
    INT_PTR ShellOpen(HWND owner, const wchar_t* verb, const wchar_t* file, const wchar_t* parameters,
                      const wchar_t* directory, int show) override;
    bool ShellOpenEx(SHELLEXECUTEINFOW* info) override
    {
        shellExCalls.push_back(*info);
        return true;
    }
    bool NotifyIcon(DWORD message, NOTIFYICONDATAW* data) override
    {
        notifyCalls.push_back({message, *data});
        return true;
    }
    bool CursorPosition(POINT* point) override
    {
        *point = cursor;
        return true;
    }
    bool TrackMenu(HMENU menu, UINT flags, int x, int y, HWND owner) override;
    bool BrowseForFolder(HWND, const std::wstring& initialFolder, std::wstring* chosen) override
    {
        browseStarts.push_back(initialFolder);
        if (browseAnswer) *chosen = browsePath;
        return browseAnswer;
    }
};
