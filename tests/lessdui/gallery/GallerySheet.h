#pragma once
// The developers' contact sheet: one large memory bitmap that sections draw
// into, one below the other, written out as a PNG.
//
// Adding a section: put a .cpp file in this folder (every source here is
// built into the gallery) with
//     static const CGalleryRegistrar kMine(L"Title", 500, RenderMine);
// where RenderMine(CGallerySheet&) reserves space with Place() and draws into
// Dc(). Sections run in order of their number; the toolkit's own use 100-399.
#include <windows.h>

#include <string>

#include "DibCanvas.h"

class CGallerySheet {
public:
    static constexpr int kWidth = 1280;
    static constexpr int kMargin = 16;

    CGallerySheet(int width, int maxHeight);
    CGallerySheet(const CGallerySheet&) = delete;
    CGallerySheet& operator=(const CGallerySheet&) = delete;

    HDC Dc() const { return dc_; }
    int Width() const { return width_; }

    // A section heading across the sheet; later Place() calls start below it.
    void Heading(const std::wstring& title);
    // Reserves a cell of this size in the current row (wrapping as needed)
    // with a caption under it, and returns its top-left corner.
    POINT Place(int width, int height, const std::wstring& caption = L"");
    // Ends the current row.
    void NewRow();
    // A dark checkerboard cell, to show transparency.
    void Checker(const RECT& rect);
    void Text(int x, int y, const std::wstring& text, COLORREF colour = RGB(0xDD, 0xDD, 0xDD), int height = 13,
              int weight = FW_NORMAL);

    bool WritePng(const std::wstring& path);

private:
    int width_, maxHeight_;
    CDibCanvas canvas_;
    HDC dc_;
    int x_ = kMargin, y_ = kMargin, rowHeight_ = 0, used_ = 0;
};

using GalleryRender = void (*)(CGallerySheet& sheet);

class CGalleryRegistrar {
public:
    CGalleryRegistrar(const wchar_t* title, int order, GalleryRender render);
};
