// The setup window's mouse: the view says which control a point reaches, the
// window turns completed clicks into actions and lets empty spots drag it.
#include <windowsx.h>

#include "ui/setup/MainFrame.h"

namespace {

POINT PointOf(LPARAM lParam) { return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

}  // namespace

void CMainFrame::OnMouseMove(LPARAM lParam)
{
    if (!trackingMouse_) {
        TRACKMOUSEEVENT track = {};
        track.cbSize = sizeof(track);
        track.dwFlags = TME_HOVER | TME_LEAVE;
        track.hwndTrack = hwnd_;
        track.dwHoverTime = 0;
        trackingMouse_ = TrackMouseEvent(&track) != FALSE;
    }
    bool redraw = false;
    Execute(view_.OnMouseMove(PointOf(lParam), &redraw));
    if (redraw) InvalidateRect(hwnd_, nullptr, FALSE);
}

void CMainFrame::OnLButtonDown(LPARAM lParam)
{
    const POINT pt = PointOf(lParam);
    const bool onControl = view_.ControlAt(pt) != FrameCommand::None;
    bool redraw = false;
    Execute(view_.OnLButtonDown(pt, &redraw));
    if (redraw) InvalidateRect(hwnd_, nullptr, FALSE);
    // An empty spot moves the window like a caption.
    if (onControl) return;
    POINT screen = pt;
    ClientToScreen(hwnd_, &screen);
    PostMessageW(hwnd_, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(screen.x, screen.y));
}

void CMainFrame::OnLButtonUp(LPARAM lParam)
{
    bool redraw = false;
    FrameCommand command = view_.OnLButtonUp(PointOf(lParam), &redraw);
    if (redraw) InvalidateRect(hwnd_, nullptr, FALSE);
    Execute(command);
}

void CMainFrame::OnMouseLeave()
{
    trackingMouse_ = false;
    bool redraw = false;
    view_.OnMouseLeave(&redraw);
    if (redraw) InvalidateRect(hwnd_, nullptr, FALSE);
}

bool CMainFrame::OnSetCursor()
{
    POINT pt = {};
    if (!GetCursorPos(&pt) || !ScreenToClient(hwnd_, &pt)) return false;
    if (!view_.IsOverLink(pt)) return false;
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    return true;
}
