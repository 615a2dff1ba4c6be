#pragma once
// A window-less text link: underlined and with the hand cursor while hovered
// or pressed.
#include <windows.h>

#include <string>

#include "ui/lessdui/LessDUIDraw.h"
#include "ui/lessdui/LessDUIMouse.h"

namespace lessdui {

class CLessDUILink {
public:
    CLessDUILink();
    CLessDUILink(const CLessDUILink&) = delete;
    CLessDUILink& operator=(const CLessDUILink&) = delete;

    void SetOwner(HWND owner) { owner_ = owner; }
    void SetRect(const RECT& rect) { rect_ = rect; }
    const RECT& Rect() const { return rect_; }
    void SetColour(COLORREF colour) { colour_ = colour; }
    void SetText(const wchar_t* text) { text_ = text ? text : L""; }
    const std::wstring& Text() const { return text_; }
    void SetState(int state);
    int State() const { return mouse_.State(); }
    // The hand cursor is showing (the owner keeps it on WM_SETCURSOR).
    bool IsHovered() const { return hovered_; }

    void Draw(HDC dc);

    bool OnMouseMove(POINT pt);
    bool OnLButtonDown(POINT pt);
    bool OnLButtonUp(POINT pt, bool* clicked);
    void OnMouseLeave();

private:
    void AfterChange(bool changed);
    bool Inside(POINT pt) const { return PtInRect(&rect_, pt) != FALSE; }

    HWND owner_ = nullptr;
    RECT rect_ = {};
    std::wstring text_;
    CMouseTracker mouse_;
    bool hovered_ = false;
    COLORREF colour_ = RGB(0, 0, 0);
    CGdiObject<HFONT> normalFont_;
    CGdiObject<HFONT> underlinedFont_;
};

}  // namespace lessdui
