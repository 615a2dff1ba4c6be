#include "DibCanvas.h"

#include <png.h>

#include <cstdio>
#include <vector>

HBITMAP CreateTopDownDib(int width, int height, void** bits)
{
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = -height;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    return CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, bits, nullptr, 0);
}

CDibCanvas::CDibCanvas(int width, int height, COLORREF clear) : width_(width), height_(height)
{
    void* bits = nullptr;
    bitmap_ = CreateTopDownDib(width, height, &bits);
    dc_ = CreateCompatibleDC(nullptr);
    if (!bitmap_ || !dc_) return;
    bits_ = static_cast<uint32_t*>(bits);
    old_ = SelectObject(dc_, bitmap_);
    RECT all = {0, 0, width, height};
    HBRUSH brush = CreateSolidBrush(clear);
    FillRect(dc_, &all, brush);
    DeleteObject(brush);
    GdiFlush();
}

CDibCanvas::~CDibCanvas()
{
    if (dc_ && old_) SelectObject(dc_, old_);
    if (dc_) DeleteDC(dc_);
    if (bitmap_) DeleteObject(bitmap_);
}

uint32_t CDibCanvas::Pixel(int x, int y) const
{
    GdiFlush();
    return bits_[static_cast<size_t>(y) * width_ + x];
}

bool CDibCanvas::WritePng(const std::wstring& path, int rows) const
{
    if (!bits_) return false;
    GdiFlush();
    return WriteBgraPng(path, bits_, width_, rows < 0 || rows > height_ ? height_ : rows);
}

namespace {

// Closes the file and frees libpng's state on every way out.
struct PngWriter {
    FILE* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngWriter()
    {
        if (png) png_destroy_write_struct(&png, &info);
        if (file) fclose(file);
    }
};

}  // namespace

bool WriteBgraPng(const std::wstring& path, const uint32_t* bits, int width, int height)
{
    PngWriter writer;
    writer.file = _wfopen(path.c_str(), L"wb");
    if (!writer.file) return false;
    writer.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    writer.info = writer.png ? png_create_info_struct(writer.png) : nullptr;
    if (!writer.png || !writer.info) return false;
    std::vector<png_byte> row(static_cast<size_t>(width) * 3);
    if (setjmp(png_jmpbuf(writer.png))) return false;
    png_init_io(writer.png, writer.file);
    png_set_IHDR(writer.png, writer.info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(writer.png, writer.info);
    for (int y = 0; y < height; ++y) {
        const uint32_t* source = bits + static_cast<size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            row[x * 3] = static_cast<png_byte>(source[x] >> 16);
            row[x * 3 + 1] = static_cast<png_byte>(source[x] >> 8);
            row[x * 3 + 2] = static_cast<png_byte>(source[x]);
        }
        png_write_row(writer.png, row.data());
    }
    png_write_end(writer.png, writer.info);
    FILE* file = writer.file;
    writer.file = nullptr;
    return fclose(file) == 0;
}
