#include "ui/lessdui/LessDUIButton.h"

namespace lessdui {
namespace {

constexpr int kTextPadding = 20;

struct LookColours {
    COLORREF text;
    int weight;
    COLORREF lightFill, lightOutline, greenFill, greenOutline;
};

constexpr LookColours kRestingLook = {RGB(0x5A, 0x5A, 0x5A), FW_NORMAL, RGB(0xEE, 0xF1, 0xF6), RGB(0xD0, 0xD9, 0xE8),
                                      RGB(0x3D, 0xCC, 0x50), RGB(0x24, 0x8D, 0xDE)};
constexpr LookColours kActiveLook = {RGB(0xFA, 0xFA, 0xFA), FW_BOLD, RGB(0xF8, 0xFB, 0xF6), RGB(0xDA, 0xE3, 0xF2),
                                     RGB(0x4C, 0xD0, 0x5E), RGB(0x2E, 0x97, 0xE8)};

}  // namespace

RECT GrowToFitText(const RECT& rect, int textWidth) {
    RECT grown = rect;
    const int missing = textWidth + kTextPadding - (rect.right - rect.left);
    if (missing > 0) {
        grown.left -= missing / 2;
        grown.right += missing - missing / 2;
    }
    return grown;
}

CLessDUIButton::CLessDUIButton() {
    for (int state = 0; state < kStates; ++state) {
        const LookColours& c = state <= kStateNormal ? kRestingLook : kActiveLook;
        Look& look = looks_[state];
        look.textColour = c.text;
        look.font.Reset(CreateTahomaFont(13, c.weight));
        look.lightFill.Reset(CreateSolidBrush(c.lightFill));
        look.lightOutline.Reset(CreatePen(PS_SOLID, 1, c.lightOutline));
        look.greenFill.Reset(CreateSolidBrush(c.greenFill));
        look.greenOutline.Reset(CreatePen(PS_SOLID, 1, c.greenOutline));
    }
}

void CLessDUIButton::SetImages(UINT normal, UINT hover, UINT pressed, UINT disabled, const wchar_t* type) {
    const UINT ids[4] = {normal, hover, pressed, disabled};
    for (int i = 0; i < 4; ++i) {
        if (ids[i]) images_[i].Reset(LoadPngResource(ids[i], type));
    }
    hasImages_ = true;
}

void CLessDUIButton::SetImageHandles(HBITMAP normal, HBITMAP hover, HBITMAP pressed, HBITMAP disabled) {
    const HBITMAP given[4] = {normal, hover, pressed, disabled};
    for (int i = 0; i < 4; ++i) {
        if (given[i]) images_[i].Reset(given[i]);
    }
    hasImages_ = true;
}

void CLessDUIButton::SetTextRect(const RECT& rect) {
    textRect_ = rect;
    hasTextRect_ = true;
}

void CLessDUIButton::SetLabelFont(int height, COLORREF colour) {
    looks_[kStateNormal].font.Reset(CreateTahomaFont(height, FW_NORMAL));
    looks_[kStateNormal].textColour = colour;
}

void CLessDUIButton::Draw(HDC dc, const RECT& dst, const RECT& src, BYTE constantAlpha) {
    const int state = mouse_.State();
    if (state == kStateHidden) return;
    hitRect_ = dst;
    if (hasImages_) {
        DrawImageByDepth(dc, hitRect_, images_[state - 1].Get(), src, constantAlpha);
    } else {
        DrawShape(dc);
    }
    DrawLabel(dc);
}

void CLessDUIButton::DrawShape(HDC dc) {
    const Look& textLook = TextLook();
    const SIZE extent = MeasureText(dc, text_.c_str(), textLook.font.Get());
    hitRect_ = GrowToFitText(hitRect_, extent.cx);

    const Look& look = looks_[mouse_.State()];
    HBRUSH fill = style_ == kStyleGreen ? look.greenFill.Get() : look.lightFill.Get();
    HPEN outline = style_ == kStyleGreen ? look.greenOutline.Get() : look.lightOutline.Get();
    const LONG l = hitRect_.left, t = hitRect_.top, r = hitRect_.right, b = hitRect_.bottom;
    const POINT octagon[8] = {{l, t + 1}, {l + 1, t}, {r - 1, t}, {r, t + 1},
                              {r, b - 1}, {r - 1, b}, {l + 1, b}, {l, b - 1}};
    HGDIOBJ oldBrush = SelectObject(dc, fill);
    HGDIOBJ oldPen = SelectObject(dc, outline);
    Polygon(dc, octagon, 8);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
}

void CLessDUIButton::DrawLabel(HDC dc) {
    if (text_.empty()) return;
    const Look& look = TextLook();
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = SetTextColor(dc, look.textColour);
    HGDIOBJ oldFont = SelectObject(dc, look.font.Get());
    RECT box = hasTextRect_ ? textRect_ : hitRect_;
    const UINT format = DT_SINGLELINE | DT_VCENTER | (hasTextRect_ ? 0 : DT_CENTER);
    DrawTextW(dc, text_.c_str(), -1, &box, format);
    SelectObject(dc, oldFont);
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
}

void CLessDUIButton::Repaint() const {
    if (owner_) InvalidateRect(owner_, nullptr, FALSE);
}

bool CLessDUIButton::OnMouseMove(POINT pt) {
    bool changed = false;
    const bool inside = mouse_.Move(Inside(pt), IsLeftButtonDown(), &changed);
    if (changed) Repaint();
    return inside;
}

bool CLessDUIButton::OnLButtonDown(POINT pt) {
    bool changed = false;
    const bool inside = mouse_.Down(Inside(pt), &changed);
    if (changed) Repaint();
    return inside;
}

bool CLessDUIButton::OnLButtonUp(POINT pt, bool* clicked) {
    bool changed = false;
    bool click = false;
    const bool inside = mouse_.Up(Inside(pt), &click, &changed);
    if (clicked) *clicked = click;
    if (changed) Repaint();
    return inside;
}

void CLessDUIButton::OnMouseLeave() {
    if (mouse_.Leave()) Repaint();
}

}  // namespace lessdui
