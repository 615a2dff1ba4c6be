#include "ui/lessdui/LessDUIImage.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace lessdui {
namespace {

class CScreenBitmapFactory final : public IBitmapFactory {
public:
    HBITMAP CreateDib(const BITMAPINFO& info, void** bits) override {
        return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
    }
    void Delete(HBITMAP bitmap) override { DeleteObject(bitmap); }
};

struct MemoryCursor {
    const unsigned char* data;
    std::size_t size;
    std::size_t offset;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
    auto* cursor = static_cast<MemoryCursor*>(png_get_io_ptr(png));
    if (count > cursor->size - cursor->offset) {
        png_error(png, "PNG data ends early");
    }
    std::memcpy(out, cursor->data + cursor->offset, count);
    cursor->offset += count;
}

void ApplyTransformations(png_structp png, png_infop info) {
    const int bitDepth = png_get_bit_depth(png, info);
    const int colorType = png_get_color_type(png, info);
    if (bitDepth == 16) png_set_strip_16(png);
    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    if (colorType & PNG_COLOR_MASK_COLOR) png_set_bgr(png);
}

// Alpha blending with AC_SRC_ALPHA expects colour already scaled by alpha.
void Premultiply(unsigned char* bits, int width, int height, std::size_t stride) {
    for (int y = 0; y < height; ++y) {
        unsigned char* p = bits + y * stride;
        for (int x = 0; x < width; ++x, p += 4) {
            const unsigned a = p[3];
            p[0] = static_cast<unsigned char>(p[0] * a / 255);
            p[1] = static_cast<unsigned char>(p[1] * a / 255);
            p[2] = static_cast<unsigned char>(p[2] * a / 255);
        }
    }
}

// The libpng part. Everything that must survive a long jump back here lives
// in the caller's frame or is volatile.
HBITMAP DecodeWithLibpng(png_structp png, png_infop info, MemoryCursor* cursor, IBitmapFactory& factory) {
    HBITMAP volatile bitmap = nullptr;
    if (setjmp(png_jmpbuf(png))) {
        if (bitmap) factory.Delete(bitmap);
        return nullptr;
    }
    png_set_read_fn(png, cursor, ReadFromMemory);
    png_read_info(png, info);
    ApplyTransformations(png, info);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);

    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const int channels = png_get_channels(png, info);
    if (channels != 3 && channels != 4) png_error(png, "unexpected channel count");

    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = static_cast<LONG>(width);
    bmi.bmiHeader.biHeight = -static_cast<LONG>(height);
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = static_cast<WORD>(channels * 8);
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap = factory.CreateDib(bmi, &bits);
    if (!bitmap || !bits) png_error(png, "no bitmap");

    const std::size_t stride = (static_cast<std::size_t>(width) * channels + 3) & ~static_cast<std::size_t>(3);
    auto* rows = static_cast<unsigned char*>(bits);
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(png, rows + y * stride, nullptr);
        }
    }
    if (channels == 4) Premultiply(rows, static_cast<int>(width), static_cast<int>(height), stride);
    png_read_end(png, nullptr);
    return bitmap;
}

}  // namespace

IBitmapFactory& ScreenBitmapFactory() {
    static CScreenBitmapFactory factory;
    return factory;
}

HBITMAP DecodePng(const void* data, std::size_t size) {
    return DecodePng(data, size, ScreenBitmapFactory());
}

HBITMAP DecodePng(const void* data, std::size_t size, IBitmapFactory& factory) {
    if (!data || size < 8 || png_sig_cmp(static_cast<png_const_bytep>(data), 0, 8) != 0) return nullptr;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return nullptr;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return nullptr;
    }
    MemoryCursor cursor{static_cast<const unsigned char*>(data), size, 0};
    HBITMAP bitmap = DecodeWithLibpng(png, info, &cursor, factory);
    png_destroy_read_struct(&png, &info, nullptr);
    return bitmap;
}

HBITMAP LoadPngResource(UINT id, const wchar_t* type) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (!resource) return nullptr;
    const DWORD size = SizeofResource(module, resource);
    HGLOBAL loaded = LoadResource(module, resource);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    HBITMAP bitmap = (data && size) ? DecodePng(data, size) : nullptr;
    if (loaded) FreeResource(loaded);
    return bitmap;
}

bool GetImageSize(HBITMAP image, SIZE* size) {
    BITMAP bm = {};
    if (!image || GetObjectW(image, sizeof(bm), &bm) != sizeof(bm)) return false;
    size->cx = bm.bmWidth;
    size->cy = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
    return true;
}

int GetImageDepth(HBITMAP image) {
    BITMAP bm = {};
    if (!image || GetObjectW(image, sizeof(bm), &bm) != sizeof(bm)) return 0;
    return bm.bmBitsPixel;
}

void ReplaceImage(HBITMAP* slot, HBITMAP image) {
    if (*slot == image) return;
    if (*slot) DeleteObject(*slot);
    *slot = image;
}

}  // namespace lessdui
