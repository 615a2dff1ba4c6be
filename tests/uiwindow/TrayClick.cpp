// TrayClick: stands in for a click on the setup window's tray icon, which a
// display without a notification area cannot offer. Finds the setup window by
// its window property and posts it what the shell would post for the click.
//
//   TrayClick.exe right   the icon's callback message with a right-button press
//   TrayClick.exe left    ... with a left-button press
//   TrayClick.exe exit    the tray menu's "Exit" command itself
//
// Exit code 0 once posted, 1 when no setup window is found, 2 for bad usage.
#include <windows.h>

#include "ui/setup/MainFrame.h"
#include "ui/setup/SetupTray.h"
#include "ui/setup/ShowTray.h"

namespace {

struct Post {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

bool PostFor(const wchar_t* what, Post* post)
{
    if (lstrcmpiW(what, L"right") == 0) {
        *post = {kTrayCallbackMessage, kTrayIconId, WM_RBUTTONDOWN};
    } else if (lstrcmpiW(what, L"left") == 0) {
        *post = {kTrayCallbackMessage, kTrayIconId, WM_LBUTTONDOWN};
    } else if (lstrcmpiW(what, L"exit") == 0) {
        *post = {WM_COMMAND, MAKEWPARAM(kTrayExitCommandId, 0), 0};
    } else {
        return false;
    }
    return true;
}

// The first top-level window that carries the setup window's property.
HWND FindSetupWindow()
{
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, nullptr, nullptr)) != nullptr) {
        if (GetPropW(window, kMainFramePropName) == reinterpret_cast<HANDLE>(1))
            return window;
    }
    return nullptr;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    Post post = {};
    if (argc != 2 || !PostFor(argv[1], &post))
        return 2;
    const HWND window = FindSetupWindow();
    if (window == nullptr)
        return 1;
    return PostMessageW(window, post.message, post.wParam, post.lParam) ? 0 : 1;
}
