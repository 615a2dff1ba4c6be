#include "ui/lessdui/LessDUITip.h"

namespace lessdui {

CLessDUITip::CLessDUITip() : font_(CreateTahomaFont(16, FW_NORMAL)) {}

void CLessDUITip::SetBubble(UINT id, const wchar_t* type) { SetBubbleImage(LoadPngResource(id, type)); }

void CLessDUITip::SetBubbleImage(HBITMAP bubble) {
    bubble_.Reset(bubble);
    hasBubble_ = bubble != nullptr;
}

void CLessDUITip::SetColours(COLORREF text, COLORREF fill, COLORREF outline) {
    textColour_ = text;
    fill_ = fill;
    outline_ = outline;
}

void CLessDUITip::DrawBubbleShape(HDC dc) {
    const LONG l = rect_.left, t = rect_.top, r = rect_.right, b = rect_.bottom;
    const LONG body = b - kPointerHeight;
    const POINT bubble[7] = {{l, t}, {r, t}, {r, body}, {l + kPointerX + kPointerWidth, body},
                             {l + kPointerX, b}, {l + kPointerX, body}, {l, body}};
    CGdiObject<HBRUSH> brush(CreateSolidBrush(fill_));
    CGdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, outline_));
    HGDIOBJ oldBrush = SelectObject(dc, brush.Get());
    HGDIOBJ oldPen = SelectObject(dc, pen.Get());
    Polygon(dc, bubble, 7);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
}

void CLessDUITip::Draw(HDC dc) {
    if (!visible_) return;
    if (hasBubble_) {
        DrawImageAt(dc, rect_.left, rect_.top, bubble_.Get());
    } else {
        DrawBubbleShape(dc);
    }
    SIZE icon = {0, 0};
    if (GetImageSize(icon_.Get(), &icon)) DrawImageAt(dc, rect_.left + 10, rect_.top + 8, icon_.Get());
    const RECT textBox = {rect_.left + icon.cx + 15, rect_.top, rect_.right, rect_.bottom};
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    DrawTextIn(dc, textBox, text_.c_str(), textColour_, font_.Get(), true);
    SetBkMode(dc, oldMode);
}

}  // namespace lessdui
