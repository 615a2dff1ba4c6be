#include "ui/lessdui/LessDUIDraw.h"

#include "ui/lessdui/LessDUIImage.h"

namespace lessdui {
namespace {

void Blend(HDC dc, const RECT& dst, HBITMAP image, const RECT& src, BYTE constantAlpha) {
    if (!image) return;
    HDC memory = CreateCompatibleDC(dc);
    if (!memory) return;
    HGDIOBJ old = SelectObject(memory, image);
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, constantAlpha, AC_SRC_ALPHA};
    AlphaBlend(dc, dst.left, dst.top, dst.right - dst.left, dst.bottom - dst.top, memory, src.left, src.top,
               src.right - src.left, src.bottom - src.top, blend);
    SelectObject(memory, old);
    DeleteDC(memory);
}

}  // namespace

void DrawImage(HDC dc, int x, int y, int width, int height, HBITMAP image, int srcX, int srcY, int srcWidth,
               int srcHeight) {
    if (width <= 0 || height <= 0 || srcWidth <= 0 || srcHeight <= 0) return;
    Blend(dc, RECT{x, y, x + width, y + height}, image, RECT{srcX, srcY, srcX + srcWidth, srcY + srcHeight}, 255);
}

void DrawImageAt(HDC dc, int x, int y, HBITMAP image) {
    SIZE size;
    if (!GetImageSize(image, &size)) return;
    DrawImage(dc, x, y, size.cx, size.cy, image, 0, 0, size.cx, size.cy);
}

void DrawImageByDepth(HDC dc, const RECT& dst, HBITMAP image, const RECT& src, BYTE constantAlpha) {
    if (!image || dst.right <= dst.left || dst.bottom <= dst.top) return;
    if (GetImageDepth(image) != 24) {
        Blend(dc, dst, image, src, constantAlpha);
        return;
    }
    HDC memory = CreateCompatibleDC(dc);
    if (!memory) return;
    HGDIOBJ old = SelectObject(memory, image);
    StretchBlt(dc, dst.left, dst.top, dst.right - dst.left, dst.bottom - dst.top, memory, src.left, src.top,
               src.right - src.left, src.bottom - src.top, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
}

void DrawThreeSlice(HDC dc, const RECT& box, HBITMAP image) {
    const int h = box.bottom - box.top;
    DrawImage(dc, box.left, box.top, 2, h, image, 0, 0, 2, 17);
    DrawImage(dc, box.right - 2, box.top, 2, h, image, 15, 0, 2, 17);
    DrawImage(dc, box.left + 2, box.top, box.right - box.left - 4, h, image, 2, 0, 13, 17);
}

void DrawTextIn(HDC dc, const RECT& rect, const wchar_t* text, COLORREF colour, HFONT font, bool singleLine) {
    if (!text || !*text) return;
    const COLORREF oldColour = SetTextColor(dc, colour);
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    RECT box = rect;
    const UINT format = singleLine ? (DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS) : (DT_WORDBREAK | DT_EDITCONTROL);
    DrawTextW(dc, text, -1, &box, format);
    if (oldFont) SelectObject(dc, oldFont);
    SetTextColor(dc, oldColour);
}

SIZE MeasureText(HDC dc, const wchar_t* text, HFONT font) {
    SIZE size = {0, 0};
    if (!text) return size;
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
    if (oldFont) SelectObject(dc, oldFont);
    return size;
}

HFONT CreateTahomaFont(int height, int weight, bool underline) {
    return CreateFontW(height, 0, 0, 0, weight, FALSE, underline ? TRUE : FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma");
}

COffscreenBuffer::COffscreenBuffer(HDC target, const RECT& rect) : target_(target), rect_(rect) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (!target || width <= 0 || height <= 0) return;
    memoryDc_ = CreateCompatibleDC(target);
    bitmap_ = CreateCompatibleBitmap(target, width, height);
    if (!memoryDc_ || !bitmap_) {
        if (bitmap_) DeleteObject(bitmap_);
        if (memoryDc_) DeleteDC(memoryDc_);
        memoryDc_ = nullptr;
        bitmap_ = nullptr;
        return;
    }
    oldBitmap_ = SelectObject(memoryDc_, bitmap_);
    // Client coordinates draw straight into the buffer.
    SetViewportOrgEx(memoryDc_, -rect.left, -rect.top, nullptr);
    SetBkMode(memoryDc_, TRANSPARENT);
}

COffscreenBuffer::~COffscreenBuffer() { Finish(); }

void COffscreenBuffer::Finish() {
    if (!memoryDc_) return;
    SetViewportOrgEx(memoryDc_, 0, 0, nullptr);
    BitBlt(target_, rect_.left, rect_.top, rect_.right - rect_.left, rect_.bottom - rect_.top, memoryDc_, 0, 0,
           SRCCOPY);
    SelectObject(memoryDc_, oldBitmap_);
    DeleteObject(bitmap_);
    DeleteDC(memoryDc_);
    memoryDc_ = nullptr;
    bitmap_ = nullptr;
}

HDC CPaintBuffer::Begin(HWND window, PAINTSTRUCT* paint) { return BeginPaint(window, paint); }

CPaintBuffer::CPaintBuffer(HWND window)
    : window_(window), buffer_(Begin(window, &paint_), paint_.rcPaint) {}

CPaintBuffer::~CPaintBuffer() {
    buffer_.Finish();
    EndPaint(window_, &paint_);
}

}  // namespace lessdui
