#pragma once
// A window-less button: four state images, or a drawn text button in a light
// or a green style. Its owner places it at paint time and feeds it the mouse.
#include <windows.h>

#include <string>

#include "ui/lessdui/LessDUIDraw.h"
#include "ui/lessdui/LessDUIImage.h"
#include "ui/lessdui/LessDUIMouse.h"

namespace lessdui {

class CLessDUIButton {
public:
    enum Style { kStyleLight = 0, kStyleGreen = 1 };

    CLessDUIButton();
    CLessDUIButton(const CLessDUIButton&) = delete;
    CLessDUIButton& operator=(const CLessDUIButton&) = delete;

    // Loads each non-zero id into its slot (normal, hover, pressed, disabled).
    void SetImages(UINT normal, UINT hover, UINT pressed, UINT disabled, const wchar_t* type = L"PNGRES");
    // Takes ownership of the given images; a null one leaves its slot as it is.
    void SetImageHandles(HBITMAP normal, HBITMAP hover, HBITMAP pressed, HBITMAP disabled);
    bool HasImages() const { return hasImages_; }

    void SetOwner(HWND owner) { owner_ = owner; }
    void SetState(int state) {
        if (state >= kStateHidden && state <= kStateDisabled) mouse_.SetState(state);
    }
    int State() const { return mouse_.State(); }
    void SetText(const wchar_t* text) { text_ = text ? text : L""; }
    const std::wstring& Text() const { return text_; }
    void SetTextRect(const RECT& rect);
    void SetStyle(int style) { style_ = style == kStyleGreen ? kStyleGreen : kStyleLight; }
    int GetStyle() const { return style_; }
    // The label font: Tahoma of this height, normal weight, in this colour.
    void SetLabelFont(int height, COLORREF colour);

    void Draw(HDC dc, const RECT& dst, const RECT& src, BYTE constantAlpha = 255);
    const RECT& HitRect() const { return hitRect_; }

    bool OnMouseMove(POINT pt);
    bool OnLButtonDown(POINT pt);
    bool OnLButtonUp(POINT pt, bool* clicked);
    void OnMouseLeave();

private:
    struct Look {
        COLORREF textColour;
        CGdiObject<HFONT> font;
        CGdiObject<HBRUSH> lightFill;
        CGdiObject<HPEN> lightOutline;
        CGdiObject<HBRUSH> greenFill;
        CGdiObject<HPEN> greenOutline;
    };
    static constexpr int kStates = 5;

    const Look& TextLook() const { return looks_[style_ == kStyleGreen ? kStateHover : kStateNormal]; }
    void DrawShape(HDC dc);
    void DrawLabel(HDC dc);
    void Repaint() const;
    bool Inside(POINT pt) const { return PtInRect(&hitRect_, pt) != FALSE; }

    HWND owner_ = nullptr;
    CImage images_[4];
    bool hasImages_ = false;
    RECT hitRect_ = {};
    RECT textRect_ = {};
    bool hasTextRect_ = false;
    CMouseTracker mouse_;
    std::wstring text_;
    Look looks_[kStates];
    int style_ = kStyleLight;
};

// Widens a text button's rectangle to the label width + 20, split evenly
// (the right side takes the odd pixel). Unchanged when already wide enough.
RECT GrowToFitText(const RECT& rect, int textWidth);

}  // namespace lessdui
