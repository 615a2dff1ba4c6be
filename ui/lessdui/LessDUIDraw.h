#pragma once
// Drawing helpers of the toolkit: images with per-pixel alpha, text in one
// call, Tahoma fonts, and the double-buffered paint of a window.
#include <windows.h>

namespace lessdui {

// Alpha-blends (AC_SRC_ALPHA, constant alpha 255) a premultiplied image,
// stretched when the sizes differ. A null image draws nothing.
void DrawImage(HDC dc, int x, int y, int width, int height, HBITMAP image, int srcX, int srcY, int srcWidth,
               int srcHeight);

// The whole image at its natural size.
void DrawImageAt(HDC dc, int x, int y, HBITMAP image);

// 24-bit images are copied opaque; others are blended with the given alpha.
void DrawImageByDepth(HDC dc, const RECT& dst, HBITMAP image, const RECT& src, BYTE constantAlpha);

// A 17-pixel-wide bar image into a wider box: 2-pixel caps and a stretched middle.
void DrawThreeSlice(HDC dc, const RECT& box, HBITMAP image);

// Text with the given colour and font, the previous ones restored. The caller
// has set a transparent background. Single line: vertically centred, ellipsis
// at the end; otherwise word-wrapped.
void DrawTextIn(HDC dc, const RECT& rect, const wchar_t* text, COLORREF colour, HFONT font, bool singleLine);

// Width and height of a text in a font.
SIZE MeasureText(HDC dc, const wchar_t* text, HFONT font);

// Tahoma of a cell height in pixels (13, 16 or 27 here), weight 400 or 700.
HFONT CreateTahomaFont(int height, int weight, bool underline = false);

// An owned GDI object (font, brush, pen, bitmap).
template <typename Handle>
class CGdiObject {
public:
    CGdiObject() = default;
    explicit CGdiObject(Handle handle) : handle_(handle) {}
    ~CGdiObject() { Reset(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    void Reset(Handle handle = nullptr) {
        if (handle_ && handle_ != handle) DeleteObject(handle_);
        handle_ = handle;
    }
    Handle Get() const { return handle_; }

private:
    Handle handle_ = nullptr;
};

// Draws into an off-screen bitmap of one rectangle of a target DC, in the
// target's coordinates, and copies it across on Finish (or destruction).
class COffscreenBuffer {
public:
    COffscreenBuffer(HDC target, const RECT& rect);
    ~COffscreenBuffer();
    COffscreenBuffer(const COffscreenBuffer&) = delete;
    COffscreenBuffer& operator=(const COffscreenBuffer&) = delete;

    HDC Dc() const { return memoryDc_; }
    void Finish();

private:
    HDC target_;
    RECT rect_;
    HDC memoryDc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
};

// WM_PAINT with a back buffer: BeginPaint, an off-screen buffer of the update
// rectangle, and on destruction the copy to the screen and EndPaint.
class CPaintBuffer {
public:
    explicit CPaintBuffer(HWND window);
    ~CPaintBuffer();
    CPaintBuffer(const CPaintBuffer&) = delete;
    CPaintBuffer& operator=(const CPaintBuffer&) = delete;

    HDC Dc() const { return buffer_.Dc(); }
    const RECT& PaintRect() const { return paint_.rcPaint; }

private:
    static HDC Begin(HWND window, PAINTSTRUCT* paint);
    HWND window_;
    PAINTSTRUCT paint_ = {};
    COffscreenBuffer buffer_;
};

}  // namespace lessdui
