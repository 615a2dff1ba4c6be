#include "ui/setup/Environment.h"

#include <shlobj.h>
#include <tlhelp32.h>
#include <wchar.h>

#include "base/ScopedHandle.h"

namespace {

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM, LPARAM data)
{
    if (message == BFFM_INITIALIZED) SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

class CRealEnvironment final : public IEnvironment {
public:
    bool IsUserAdmin() override { return IsUserAnAdmin() != FALSE; }

    bool WindowsVersion(OSVERSIONINFOEXW* info) override
    {
        ZeroMemory(info, sizeof(*info));
        info->dwOSVersionInfoSize = sizeof(*info);
        return GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(info)) != FALSE;
    }

    WORD ProcessorArchitecture() override
    {
        SYSTEM_INFO info = {};
        GetSystemInfo(&info);
        return info.wProcessorArchitecture;
    }

    LANGID UserDefaultLangId() override { return GetUserDefaultLangID(); }

    bool IsProcessRunning(const std::wstring& exeName) override
    {
        CScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        if (!snapshot.Valid()) return false;
        PROCESSENTRY32W entry = {};
        entry.dwSize = sizeof(entry);
        for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
            if (_wcsicmp(entry.szExeFile, exeName.c_str()) == 0) return true;
        }
        return false;
    }

    std::wstring ProgramPath() override
    {
        wchar_t path[MAX_PATH + 1] = {};
        DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
        if (length == 0 || length > MAX_PATH) return std::wstring();
        return std::wstring(path, length);
    }

    INT_PTR ShellOpen(HWND owner, const wchar_t* verb, const wchar_t* file, const wchar_t* parameters,
                      const wchar_t* directory, int show) override
    {
        return reinterpret_cast<INT_PTR>(ShellExecuteW(owner, verb, file, parameters, directory, show));
    }

    bool ShellOpenEx(SHELLEXECUTEINFOW* info) override { return ShellExecuteExW(info) != FALSE; }

    bool NotifyIcon(DWORD message, NOTIFYICONDATAW* data) override { return Shell_NotifyIconW(message, data) != FALSE; }

    bool CursorPosition(POINT* point) override { return GetCursorPos(point) != FALSE; }

    bool TrackMenu(HMENU menu, UINT flags, int x, int y, HWND owner) override
    {
        return TrackPopupMenu(menu, flags, x, y, 0, owner, nullptr) != FALSE;
    }

    bool BrowseForFolder(HWND owner, const std::wstring& initialFolder, std::wstring* chosen) override
    {
        BROWSEINFOW info = {};
        info.hwndOwner = owner;
        info.ulFlags = kBrowseFolderFlags;
        info.lpfn = BrowseCallback;
        info.lParam = reinterpret_cast<LPARAM>(initialFolder.c_str());
        PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&info);
        if (!list) return false;
        wchar_t path[MAX_PATH] = {};
        bool ok = SHGetPathFromIDListW(list, path) != FALSE && path[0] != L'\0';
        CoTaskMemFree(list);
        if (ok) *chosen = path;
        return ok;
    }
};

CRealEnvironment g_realEnvironment;
IEnvironment* g_environment = &g_realEnvironment;

}  // namespace

IEnvironment& Env() { return *g_environment; }

IEnvironment* SetEnvironment(IEnvironment* environment)
{
    IEnvironment* previous = g_environment;
    g_environment = environment ? environment : &g_realEnvironment;
    return previous;
}
