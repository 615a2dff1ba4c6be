#include "FrameCanvas.h"

#include <png.h>

#include <cstdio>
#include <vector>

CFrameCanvas::CFrameCanvas(int width, int height) : width_(width), height_(height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = dc_ ? CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    if (!bitmap_) return;
    old_ = SelectObject(dc_, bitmap_);
    bits_ = static_cast<const DWORD*>(bits);
}

CFrameCanvas::~CFrameCanvas() {
    if (old_) SelectObject(dc_, old_);
    if (bitmap_) DeleteObject(bitmap_);
    if (dc_) DeleteDC(dc_);
}

void CFrameCanvas::Fill(COLORREF colour) {
    if (!Ok()) return;
    HBRUSH brush = CreateSolidBrush(colour);
    RECT all = {0, 0, width_, height_};
    FillRect(dc_, &all, brush);
    DeleteObject(brush);
}

COLORREF CFrameCanvas::At(int x, int y) const {
    if (!Ok() || x < 0 || y < 0 || x >= width_ || y >= height_) return RGB(0, 0, 0);
    GdiFlush();
    const DWORD bgra = bits_[static_cast<size_t>(y) * width_ + x];
    return RGB((bgra >> 16) & 0xFF, (bgra >> 8) & 0xFF, bgra & 0xFF);
}

bool CFrameCanvas::SavePng(const std::wstring& path) const {
    if (!Ok()) return false;
    GdiFlush();
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<png_byte> row(static_cast<size_t>(width_) * 3);
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width_, height_, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            const DWORD bgra = bits_[static_cast<size_t>(y) * width_ + x];
            row[x * 3] = static_cast<png_byte>(bgra >> 16);
            row[x * 3 + 1] = static_cast<png_byte>(bgra >> 8);
            row[x * 3 + 2] = static_cast<png_byte>(bgra);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return fclose(file) == 0;
}
