// PNG decoding into DIB sections: depth, channel order, premultiplied alpha,
// row padding, and failures that leave no bitmap behind.
#include <gtest/gtest.h>
#include <png.h>

#include <set>
#include <string>

#include "PngFixtures.h"
#include "ui/lessdui/LessDUIImage.h"

using namespace lessdui;
using namespace lessdui_test;

namespace {

struct ExpectedPixel {
    int x, y;
    int b, g, r, a;  // a = -1 for a 24-bit image
};

struct DecodeCase {
    const char* name;
    PngRecipe recipe;
    int depth;
    std::vector<ExpectedPixel> pixels;
};

std::vector<DecodeCase> DecodeCases() {
    std::vector<DecodeCase> cases;
    {
        PngRecipe s;
        s.width = 2;
        s.colorType = PNG_COLOR_TYPE_PALETTE;
        s.palette = {255, 0, 0, 0, 0, 255};
        s.rows = {{0, 1}};
        cases.push_back({"PaletteWithoutTransparencyIs24Bit", s, 24, {{0, 0, 0, 0, 255, -1}, {1, 0, 255, 0, 0, -1}}});
    }
    {
        PngRecipe s;
        s.width = 2;
        s.colorType = PNG_COLOR_TYPE_PALETTE;
        s.palette = {255, 255, 255, 10, 20, 30};
        s.trns = {128, 255};
        s.rows = {{0, 1}};
        cases.push_back(
            {"PaletteWithTransparencyIsPremultiplied", s, 32, {{0, 0, 128, 128, 128, 128}, {1, 0, 30, 20, 10, 255}}});
    }
    {
        PngRecipe s;
        s.width = 3;
        s.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
        s.rows = {{255, 128, 200, 0, 100, 255}};
        cases.push_back({"GreyAlphaIsPremultipliedBgra",
                         s,
                         32,
                         {{0, 0, 128, 128, 128, 128}, {1, 0, 0, 0, 0, 0}, {2, 0, 100, 100, 100, 255}}});
    }
    {
        PngRecipe s;
        s.width = 2;
        s.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
        s.rows = {{200, 100, 50, 128, 200, 100, 50, 255}};
        // 200 * 128 / 255 = 100.39, 100 * 128 / 255 = 50.19, 50 * 128 / 255 = 25.09: truncated
        cases.push_back({"RgbaIsBgraPremultipliedTruncating", s, 32, {{0, 0, 25, 50, 100, 128}, {1, 0, 50, 100, 200, 255}}});
    }
    {
        PngRecipe s;  // 3 pixels of 3 bytes: each DIB row is padded to 12 bytes
        s.width = 3;
        s.height = 2;
        s.colorType = PNG_COLOR_TYPE_RGB;
        s.rows = {{1, 2, 3, 4, 5, 6, 7, 8, 9}, {11, 12, 13, 14, 15, 16, 17, 18, 19}};
        cases.push_back({"RgbRowsArePadded", s, 24, {{2, 0, 9, 8, 7, -1}, {0, 1, 13, 12, 11, -1}, {2, 1, 19, 18, 17, -1}}});
    }
    {
        PngRecipe s;  // one bit per pixel, nine pixels: 1 0 0 0 0 0 0 0 | 1
        s.width = 9;
        s.colorType = PNG_COLOR_TYPE_GRAY;
        s.bitDepth = 1;
        s.rows = {{0x80, 0x80}};
        cases.push_back({"OneBitGreyExpands", s, 24, {{0, 0, 255, 255, 255, -1}, {1, 0, 0, 0, 0, -1}, {8, 0, 255, 255, 255, -1}}});
    }
    {
        PngRecipe s;
        s.colorType = PNG_COLOR_TYPE_RGB;
        s.bitDepth = 16;
        s.rows = {{0xFF, 0x00, 0x80, 0x11, 0x00, 0xFF}};
        cases.push_back({"SixteenBitsStripToEight", s, 24, {{0, 0, 0, 128, 255, -1}}});
    }
    {
        PngRecipe s;  // grey key 77 is transparent
        s.width = 2;
        s.colorType = PNG_COLOR_TYPE_GRAY;
        s.trns = {0, 77};
        s.rows = {{77, 90}};
        cases.push_back({"GreyKeyBecomesAlpha", s, 32, {{0, 0, 0, 0, 0, 0}, {1, 0, 90, 90, 90, 255}}});
    }
    {
        PngRecipe s;  // every pixel distinct so a wrong pass placement shows
        s.width = 9;
        s.height = 9;
        s.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
        s.interlaced = true;
        for (int y = 0; y < 9; ++y) {
            std::vector<uint8_t> row;
            for (int x = 0; x < 9; ++x) row.insert(row.end(), {uint8_t(x * 20), uint8_t(y * 20), 7, 255});
            s.rows.push_back(row);
        }
        cases.push_back({"InterlacedRowsLandInPlace", s, 32, {{3, 5, 7, 100, 60, 255}, {8, 8, 7, 160, 160, 255}, {0, 1, 7, 20, 0, 255}}});
    }
    return cases;
}

void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.name; }

class DecodeTable : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTable, PixelsAsExpected) {
    const DecodeCase& c = GetParam();
    const std::vector<uint8_t> png = WritePng(c.recipe);
    ASSERT_FALSE(png.empty());
    CImage image(DecodePng(png.data(), png.size()));
    ASSERT_TRUE(image) << c.name;

    DIBSECTION dib = {};
    ASSERT_EQ(sizeof(dib), static_cast<size_t>(GetObjectW(image.Get(), sizeof(dib), &dib)));
    EXPECT_EQ(c.depth, dib.dsBm.bmBitsPixel);
    EXPECT_EQ(c.recipe.width, dib.dsBmih.biWidth);
    SIZE size;
    ASSERT_TRUE(GetImageSize(image.Get(), &size));
    EXPECT_EQ(c.recipe.width, size.cx);
    EXPECT_EQ(c.recipe.height, size.cy);

    const int bytes = c.depth / 8;
    const int stride = (c.recipe.width * bytes + 3) & ~3;
    // Row 0 first in memory: the expected pixels of later rows show the order.
    const auto* bits = static_cast<const uint8_t*>(dib.dsBm.bmBits);
    for (const ExpectedPixel& p : c.pixels) {
        const uint8_t* px = bits + p.y * stride + p.x * bytes;
        const std::string where = std::string(c.name) + " at " + std::to_string(p.x) + "," + std::to_string(p.y);
        EXPECT_EQ(p.b, px[0]) << where;
        EXPECT_EQ(p.g, px[1]) << where;
        EXPECT_EQ(p.r, px[2]) << where;
        if (p.a >= 0) {
            EXPECT_EQ(p.a, px[3]) << where;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Png, DecodeTable, ::testing::ValuesIn(DecodeCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// Counts the bitmaps the decoder makes and frees.
class CCountingFactory final : public IBitmapFactory {
public:
    HBITMAP CreateDib(const BITMAPINFO& info, void** bits) override {
        HBITMAP b = ScreenBitmapFactory().CreateDib(info, bits);
        if (b) made.insert(b);
        return b;
    }
    void Delete(HBITMAP bitmap) override {
        freed.insert(bitmap);
        ScreenBitmapFactory().Delete(bitmap);
    }
    std::set<HBITMAP> made, freed;
};

std::vector<uint8_t> SoundPng() {
    PngRecipe s;
    s.width = 40;
    s.height = 40;
    s.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    for (int y = 0; y < 40; ++y) {
        std::vector<uint8_t> row;
        for (int x = 0; x < 40; ++x) row.insert(row.end(), {uint8_t(x * 6 + y), uint8_t(y * 5), uint8_t(x ^ y), uint8_t(x * 3)});
        s.rows.push_back(row);
    }
    return WritePng(s);
}

size_t FindChunk(const std::vector<uint8_t>& png, const char* type) {
    for (size_t i = 8; i + 8 <= png.size();) {
        const size_t length = size_t(png[i]) << 24 | size_t(png[i + 1]) << 16 | size_t(png[i + 2]) << 8 | png[i + 3];
        if (std::equal(type, type + 4, png.begin() + i + 4)) return i;
        i += 12 + length;
    }
    return std::string::npos;
}

struct BadCase {
    const char* name;
    std::vector<uint8_t> (*make)();
    bool reachesBitmap;  // fails only after the bitmap was made
};

std::vector<uint8_t> Empty() { return {}; }
std::vector<uint8_t> NotPng() { return {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0}; }
std::vector<uint8_t> HeaderOnly() {
    auto png = SoundPng();
    png.resize(FindChunk(png, "IDAT"));
    return png;
}
std::vector<uint8_t> CutInImageData() {
    auto png = SoundPng();
    png.resize(FindChunk(png, "IDAT") + 8 + 40);
    return png;
}
std::vector<uint8_t> CutBeforeEnd() {
    auto png = SoundPng();
    png.resize(FindChunk(png, "IEND") - 2);
    return png;
}
std::vector<uint8_t> CorruptImageData() {
    auto png = SoundPng();
    png[FindChunk(png, "IDAT") + 8 + 20] ^= 0x5A;
    return png;
}

void PrintTo(const BadCase& c, std::ostream* os) { *os << c.name; }

class BadPngTable : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadPngTable, GivesNullAndLeavesNoBitmap) {
    const BadCase& c = GetParam();
    const std::vector<uint8_t> data = c.make();
    CCountingFactory factory;
    EXPECT_EQ(nullptr, DecodePng(data.data(), data.size(), factory));
    EXPECT_EQ(factory.made, factory.freed) << "every bitmap made is freed";
    EXPECT_EQ(c.reachesBitmap, !factory.made.empty()) << "the case exercises the intended path";
    for (HBITMAP b : factory.made) EXPECT_EQ(0u, static_cast<unsigned>(GetObjectType(b))) << "handle still alive";
}

INSTANTIATE_TEST_SUITE_P(Png, BadPngTable,
                         ::testing::Values(BadCase{"Empty", Empty, false}, BadCase{"NotPng", NotPng, false},
                                           BadCase{"HeaderOnly", HeaderOnly, false},
                                           BadCase{"CutInImageData", CutInImageData, true},
                                           BadCase{"CutBeforeEnd", CutBeforeEnd, true},
                                           BadCase{"CorruptImageData", CorruptImageData, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PngDecode, SoundDataDecodesWithTheCountingFactory) {
    const auto png = SoundPng();
    CCountingFactory factory;
    CImage image(DecodePng(png.data(), png.size(), factory));
    EXPECT_TRUE(image);
    EXPECT_EQ(1u, factory.made.size());
    EXPECT_TRUE(factory.freed.empty());
}

TEST(ImageSlot, ReplacingDeletesTheOldImageButNotTheSameOne) {
    HBITMAP first = MakeSolidImage(2, 2, {1, 2, 3, 255});
    HBITMAP second = MakeSolidImage(2, 2, {1, 2, 3, 255});
    {
        CImage slot(first);
        slot.Reset(first);
        EXPECT_NE(0u, static_cast<unsigned>(GetObjectType(first))) << "storing the same image keeps it";
        slot.Reset(second);
        EXPECT_EQ(0u, static_cast<unsigned>(GetObjectType(first)));
    }
    EXPECT_EQ(0u, static_cast<unsigned>(GetObjectType(second))) << "the holder deletes what it holds";
}

TEST(ImageSize, NullImageHasNoSize) {
    SIZE size = {7, 7};
    EXPECT_FALSE(GetImageSize(nullptr, &size));
    EXPECT_EQ(0, GetImageDepth(nullptr));
}

}  // namespace
