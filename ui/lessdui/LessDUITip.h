#pragma once
// A window-less tip: a speech bubble (an image, or a drawn polygon) with an
// icon and one line of text.
#include <windows.h>

#include <string>

#include "ui/lessdui/LessDUIDraw.h"
#include "ui/lessdui/LessDUIImage.h"

namespace lessdui {

class CLessDUITip {
public:
    static constexpr int kPointerX = 40;      // from the left edge
    static constexpr int kPointerWidth = 8;
    static constexpr int kPointerHeight = 5;

    CLessDUITip();
    CLessDUITip(const CLessDUITip&) = delete;
    CLessDUITip& operator=(const CLessDUITip&) = delete;

    void SetOwner(HWND owner) { owner_ = owner; }
    void SetVisible(int visible) { visible_ = visible != 0; }
    bool IsVisible() const { return visible_; }
    void SetRect(const RECT& rect) { rect_ = rect; }
    void SetText(const wchar_t* text) { text_ = text ? text : L""; }
    void SetIcon(UINT id, const wchar_t* type = L"PNGRES") { icon_.Reset(LoadPngResource(id, type)); }
    void SetBubble(UINT id, const wchar_t* type = L"PNGRES");
    // Take ownership of the given images.
    void SetIconImage(HBITMAP icon) { icon_.Reset(icon); }
    void SetBubbleImage(HBITMAP bubble);
    void SetColours(COLORREF text, COLORREF fill, COLORREF outline);

    void Draw(HDC dc);

private:
    void DrawBubbleShape(HDC dc);

    HWND owner_ = nullptr;
    RECT rect_ = {};
    bool visible_ = false;
    std::wstring text_;
    CImage icon_;
    CImage bubble_;
    bool hasBubble_ = false;
    CGdiObject<HFONT> font_;
    COLORREF textColour_ = RGB(0xD0, 0x38, 0x37);
    COLORREF outline_ = RGB(0xB4, 0x9F, 0x86);
    COLORREF fill_ = RGB(0xF5, 0xF5, 0xE4);
};

}  // namespace lessdui
