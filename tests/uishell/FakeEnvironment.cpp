#include "FakeEnvironment.h"

#include <wchar.h>

bool CFakeEnvironment::IsProcessRunning(const std::wstring& exeName)
{
    for (const std::wstring& running : runningProcesses) {
        if (_wcsicmp(running.c_str(), exeName.c_str()) == 0) return true;
    }
    return false;
}

INT_PTR CFakeEnvironment::ShellOpen(HWND, const wchar_t* verb, const wchar_t* file, const wchar_t* parameters,
                                    const wchar_t*, int show)
{
    ShellCall call;
    call.verb = verb ? verb : L"";
    call.file = file ? file : L"";
    call.hasParameters = parameters != nullptr;
    call.parameters = parameters ? parameters : L"";
    call.show = show;
    shellCalls.push_back(call);
    if (shellResults.empty()) return 42;
    INT_PTR result = shellResults.front();
    shellResults.pop_front();
    return result;
}

bool CFakeEnvironment::TrackMenu(HMENU menu, UINT flags, int x, int y, HWND owner)
{
    MenuCall call;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[64] = {};
        GetMenuStringW(menu, i, text, 64, MF_BYPOSITION);
        call.items.emplace_back(GetMenuItemID(menu, i), text);
    }
    call.flags = flags;
    call.at = {x, y};
    call.owner = owner;
    menuCalls.push_back(call);
    if (menuChoice) PostMessageW(owner, WM_COMMAND, MAKEWPARAM(menuChoice, 0), 0);
    return true;
}
