// The images the program carries: every PNG resource decodes at its size and
// depth, and every tray icon loads at 16 x 16.
#include <gtest/gtest.h>

#include "ui/lessdui/LessDUIImage.h"

using namespace lessdui;

namespace {

struct ResourceCase {
    UINT id;
    int width, height, depth;
};

void PrintTo(const ResourceCase& c, std::ostream* os) { *os << c.id; }

class PngResources : public ::testing::TestWithParam<ResourceCase> {};

TEST_P(PngResources, DecodesAtItsSizeAndDepth) {
    const ResourceCase& c = GetParam();
    CImage image(LoadPngResource(c.id));
    ASSERT_TRUE(image) << c.id;
    SIZE size;
    ASSERT_TRUE(GetImageSize(image.Get(), &size));
    EXPECT_EQ(c.width, size.cx) << c.id;
    EXPECT_EQ(c.height, size.cy) << c.id;
    EXPECT_EQ(c.depth, GetImageDepth(image.Get())) << c.id;
}

INSTANTIATE_TEST_SUITE_P(
    Program, PngResources,
    ::testing::Values(ResourceCase{2011, 620, 340, 32}, ResourceCase{2012, 128, 29, 32},
                      ResourceCase{2013, 620, 47, 32}, ResourceCase{2021, 172, 51, 32},
                      ResourceCase{2022, 172, 51, 32}, ResourceCase{2023, 172, 51, 32},
                      ResourceCase{2024, 172, 51, 32}, ResourceCase{2031, 31, 23, 32},
                      ResourceCase{2032, 31, 23, 32}, ResourceCase{2033, 31, 23, 32},
                      ResourceCase{2041, 45, 23, 32}, ResourceCase{2042, 45, 23, 24},
                      ResourceCase{2043, 45, 23, 24}, ResourceCase{2051, 17, 17, 32},
                      ResourceCase{2052, 17, 17, 32}, ResourceCase{2053, 71, 17, 32},
                      ResourceCase{2061, 17, 15, 32}, ResourceCase{2062, 17, 15, 32},
                      ResourceCase{2071, 17, 15, 32}, ResourceCase{2072, 17, 15, 32},
                      ResourceCase{2081, 8, 6, 32}, ResourceCase{2082, 8, 6, 32},
                      ResourceCase{2091, 26, 21, 32}, ResourceCase{2092, 26, 21, 32},
                      ResourceCase{2093, 26, 21, 32}, ResourceCase{2094, 10, 6, 32},
                      ResourceCase{2095, 10, 6, 32}, ResourceCase{2096, 10, 6, 32},
                      ResourceCase{2097, 12, 12, 32}, ResourceCase{2098, 12, 12, 32},
                      ResourceCase{2099, 205, 34, 32}, ResourceCase{2110, 12, 12, 32},
                      ResourceCase{2151, 299, 82, 32}),
    [](const auto& info) { return std::to_string(info.param.id); });

TEST(PngResources, MissingResourceGivesNull) {
    EXPECT_EQ(nullptr, LoadPngResource(2999));
    EXPECT_EQ(nullptr, LoadPngResource(2011, L"NOSUCHTYPE"));
}

TEST(PngResources, GreyAlphaButtonIsWhiteWhereOpaque) {
    // Grey + alpha art: B, G and R stay equal after premultiplication.
    CImage image(LoadPngResource(2031));
    ASSERT_TRUE(image);
    DIBSECTION dib = {};
    ASSERT_EQ(sizeof(dib), static_cast<size_t>(GetObjectW(image.Get(), sizeof(dib), &dib)));
    const auto* p = static_cast<const unsigned char*>(dib.dsBm.bmBits);
    int opaque = 0;
    for (int i = 0; i < 31 * 23; ++i, p += 4) {
        EXPECT_TRUE(p[0] == p[1] && p[1] == p[2]) << i;
        EXPECT_LE(p[0], p[3]) << "premultiplied: colour never above alpha";
        opaque += p[3] >= 224 ? 1 : 0;
    }
    EXPECT_GT(opaque, 0) << "the minus sign";
}

TEST(TrayIcons, TwelveFramesLoadAtSixteenPixels) {
    for (UINT id = 1131; id <= 1142; ++id) {
        HICON icon = static_cast<HICON>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0));
        ASSERT_NE(nullptr, icon) << id;
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bm = {};
        GetObjectW(info.hbmColor, sizeof(bm), &bm);
        EXPECT_EQ(16, bm.bmWidth) << id;
        EXPECT_EQ(16, bm.bmHeight) << id;
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

TEST(ProgramIcon, LoadsAtClassicAndLargeSizes) {
    for (int size : {16, 32, 48, 256}) {
        HICON icon = static_cast<HICON>(
            LoadImageW(GetModuleHandleW(nullptr), L"IDR_MAINFRAME", IMAGE_ICON, size, size, 0));
        ASSERT_NE(nullptr, icon) << size;
        DestroyIcon(icon);
    }
}

}  // namespace
