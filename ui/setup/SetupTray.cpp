#include "ui/setup/SetupTray.h"

#include "base/AppSettings.h"
#include "report/Report.h"
#include "ui/setup/Environment.h"

void EndSetupFromTray(HWND window)
{
    ReportMark(kTrayExitReportItem, 0);
    GetAppSettings().exitCode = 1;
    PostMessageW(window, WM_CLOSE, 0, 0);
}

POINT TrayMenuPoint(POINT cursor)
{
    if (MonitorFromPoint(cursor, MONITOR_DEFAULTTONULL)) return cursor;
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoW(MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST), &info)) return cursor;
    if (cursor.x < info.rcWork.left) cursor.x = info.rcWork.left;
    if (cursor.x >= info.rcWork.right) cursor.x = info.rcWork.right - 1;
    return cursor;
}

CSetupTray::CSetupTray(ITrayOwner& owner) : owner_(owner) {}

CSetupTray::~CSetupTray()
{
    Destroy();
    ReleaseFrames();
}

void CSetupTray::LoadFrames(HMODULE module)
{
    FrameIcons icons{};
    for (int i = 0; i < kTrayFrameCount; ++i) {
        icons[i] = static_cast<HICON>(
            LoadImageW(module, MAKEINTRESOURCEW(kFirstTrayFrameIconId + i), IMAGE_ICON, 16, 16, 0));
    }
    AdoptFrames(icons);
}

void CSetupTray::AdoptFrames(const FrameIcons& icons)
{
    ReleaseFrames();
    frames_ = icons;
}

void CSetupTray::ReleaseFrames()
{
    for (HICON& icon : frames_) {
        if (icon) DestroyIcon(icon);
        icon = nullptr;
    }
}

void CSetupTray::Create(HWND window)
{
    window_ = window;
    frame_ = 0;
    if (!suppressed_) tray_.Add(window, frames_[0]);
}

void CSetupTray::Destroy()
{
    if (window_) KillTimer(window_, kTrayAnimationTimerId);
    if (!suppressed_) tray_.Remove();
    window_ = nullptr;
}

void CSetupTray::StartAnimation()
{
    if (window_) SetTimer(window_, kTrayAnimationTimerId, kTrayAnimationPeriodMs, nullptr);
}

void CSetupTray::OnAnimationTick()
{
    frame_ = (frame_ + 1) % kTrayFrameCount;
    if (!suppressed_) tray_.ShowIcon(frames_[frame_]);
}

void CSetupTray::StopAnimation()
{
    if (window_) KillTimer(window_, kTrayAnimationTimerId);
    frame_ = 0;
    if (!suppressed_) tray_.ShowIcon(frames_[0]);
}

void CSetupTray::SetStatus(const wchar_t* text)
{
    if (!suppressed_) tray_.SetTip(text);
}

void CSetupTray::NotifyBackground(const wchar_t* text)
{
    if (!suppressed_) tray_.ShowInfo(text);
}

bool CSetupTray::OnCallback(LPARAM mouseMessage)
{
    if (!window_) return false;
    switch (static_cast<UINT>(mouseMessage)) {
    case WM_LBUTTONDOWN:
        ToggleWindow();
        return true;
    case WM_RBUTTONDOWN:
        ShowMenu();
        return true;
    default:
        return false;
    }
}

bool CSetupTray::OnCommand(WPARAM wParam)
{
    if (LOWORD(wParam) != kTrayExitCommandId) return false;
    owner_.OnTrayExit();
    return true;
}

void CSetupTray::ToggleWindow()
{
    if (IsWindowVisible(window_)) {
        ShowWindow(window_, SW_HIDE);
    } else if (IsIconic(window_)) {
        ShowWindow(window_, SW_SHOW);
        ShowWindow(window_, SW_RESTORE);
    } else {
        SetWindowPos(window_, nullptr, 0, 0, 0, 0, SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE);
    }
}

void CSetupTray::ShowMenu()
{
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    AppendMenuW(menu, MF_STRING, kTrayExitCommandId, kTrayExitText);
    POINT cursor = {};
    Env().CursorPosition(&cursor);
    POINT at = TrayMenuPoint(cursor);
    // Without the foreground the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(window_);
    Env().TrackMenu(menu, TPM_BOTTOMALIGN | TPM_RIGHTALIGN | TPM_RIGHTBUTTON, at.x, at.y, window_);
    PostMessageW(window_, WM_NULL, 0, 0);
    DestroyMenu(menu);
}
