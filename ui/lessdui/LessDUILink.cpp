#include "ui/lessdui/LessDUILink.h"

namespace lessdui {

CLessDUILink::CLessDUILink()
    : normalFont_(CreateTahomaFont(13, FW_NORMAL)), underlinedFont_(CreateTahomaFont(13, FW_NORMAL, true)) {}

void CLessDUILink::SetState(int state) {
    if (state < kStateHidden || state > kStateDisabled) return;
    mouse_.SetState(state);
    if (state != kStateHover && state != kStatePressed) hovered_ = false;
}

void CLessDUILink::Draw(HDC dc) {
    const int state = mouse_.State();
    if (state == kStateHidden || text_.empty()) return;
    const bool underlined = state == kStateHover || state == kStatePressed;
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = SetTextColor(dc, colour_);
    HGDIOBJ oldFont = SelectObject(dc, underlined ? underlinedFont_.Get() : normalFont_.Get());
    RECT box = rect_;
    DrawTextW(dc, text_.c_str(), -1, &box, DT_SINGLELINE | DT_VCENTER);
    SelectObject(dc, oldFont);
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
}

void CLessDUILink::AfterChange(bool changed) {
    if (!changed) return;
    const int state = mouse_.State();
    if (state == kStateHover || state == kStatePressed) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        hovered_ = true;
    } else if (state == kStateNormal) {
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
        hovered_ = false;
    }
    if (owner_) InvalidateRect(owner_, nullptr, FALSE);
}

bool CLessDUILink::OnMouseMove(POINT pt) {
    bool changed = false;
    const bool inside = mouse_.Move(Inside(pt), IsLeftButtonDown(), &changed);
    AfterChange(changed);
    return inside;
}

bool CLessDUILink::OnLButtonDown(POINT pt) {
    bool changed = false;
    const bool inside = mouse_.Down(Inside(pt), &changed);
    AfterChange(changed);
    return inside;
}

bool CLessDUILink::OnLButtonUp(POINT pt, bool* clicked) {
    bool changed = false;
    bool click = false;
    const bool inside = mouse_.Up(Inside(pt), &click, &changed);
    if (clicked) *clicked = click;
    AfterChange(changed);
    return inside;
}

void CLessDUILink::OnMouseLeave() { AfterChange(mouse_.Leave()); }

}  // namespace lessdui
