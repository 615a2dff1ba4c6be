#include "PngFixtures.h"

#include <png.h>

#include <csetjmp>

namespace lessdui_test {
namespace {

void AppendToVector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void NoFlush(png_structp) {}

}  // namespace

std::vector<uint8_t> WritePng(const PngRecipe& recipe) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, AppendToVector, NoFlush);
    png_set_IHDR(png, info, recipe.width, recipe.height, recipe.bitDepth, recipe.colorType,
                 recipe.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    for (size_t i = 0; i + 2 < recipe.palette.size(); i += 3) {
        palette.push_back(png_color{recipe.palette[i], recipe.palette[i + 1], recipe.palette[i + 2]});
    }
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    png_color_16 key = {};
    if (!recipe.trns.empty()) {
        if (recipe.colorType == PNG_COLOR_TYPE_PALETTE) {
            png_set_tRNS(png, info, recipe.trns.data(), static_cast<int>(recipe.trns.size()), nullptr);
        } else {
            auto sample = [&](size_t i) { return static_cast<png_uint_16>(recipe.trns[i] << 8 | recipe.trns[i + 1]); };
            if (recipe.colorType == PNG_COLOR_TYPE_GRAY) {
                key.gray = sample(0);
            } else {
                key.red = sample(0);
                key.green = sample(2);
                key.blue = sample(4);
            }
            png_set_tRNS(png, info, nullptr, 0, &key);
        }
    }
    std::vector<png_bytep> rows;
    for (const auto& row : recipe.rows) rows.push_back(const_cast<png_bytep>(row.data()));
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

HBITMAP MakeImage(int width, int height, Bgra (*pixel)(int x, int y)) {
    void* bits = nullptr;
    HBITMAP bitmap = CreateTopDownDib(width, height, &bits);
    if (!bitmap) return nullptr;
    auto* p = static_cast<uint8_t*>(bits);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x, p += 4) {
            const Bgra c = pixel(x, y);
            p[0] = static_cast<uint8_t>(c.b * c.a / 255);
            p[1] = static_cast<uint8_t>(c.g * c.a / 255);
            p[2] = static_cast<uint8_t>(c.r * c.a / 255);
            p[3] = c.a;
        }
    }
    return bitmap;
}

namespace {
Bgra g_solid;
Bgra Solid(int, int) { return g_solid; }
}  // namespace

HBITMAP MakeSolidImage(int width, int height, Bgra colour) {
    g_solid = colour;
    return MakeImage(width, height, Solid);
}

Bgra CCanvas::At(int x, int y) const {
    const uint32_t v = dib_.Pixel(x, y);
    return Bgra{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                static_cast<uint8_t>(v >> 24)};
}

COLORREF CCanvas::Rgb(int x, int y) const {
    const Bgra c = At(x, y);
    return RGB(c.r, c.g, c.b);
}

}  // namespace lessdui_test
