// Drawing helpers: opaque versus blended images, the off-screen buffer in
// client coordinates, and the tip.
#include <gtest/gtest.h>
#include <png.h>

#include "PngFixtures.h"
#include "ui/lessdui/LessDUIDraw.h"
#include "ui/lessdui/LessDUIImage.h"
#include "ui/lessdui/LessDUITip.h"

using namespace lessdui;
using namespace lessdui_test;

namespace {

HBITMAP DecodeRecipe(const PngRecipe& recipe) {
    const auto png = WritePng(recipe);
    return DecodePng(png.data(), png.size());
}

TEST(DrawByDepth, TwentyFourBitImagesAreCopiedOpaqueOthersBlended) {
    PngRecipe palette;  // a 24-bit image once decoded: no alpha to honour
    palette.width = 2;
    palette.height = 2;
    palette.colorType = PNG_COLOR_TYPE_PALETTE;
    palette.palette = {200, 30, 40};
    palette.rows = {{0, 0}, {0, 0}};
    PngRecipe clear;  // grey + alpha, fully transparent
    clear.width = 2;
    clear.height = 2;
    clear.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
    clear.rows = {{255, 0, 255, 0}, {255, 0, 255, 0}};
    PngRecipe half = clear;
    half.rows = {{255, 128, 255, 128}, {255, 128, 255, 128}};

    struct Case {
        PngRecipe recipe;
        COLORREF expected;
    } cases[] = {{palette, RGB(200, 30, 40)}, {clear, RGB(0, 0, 100)}, {half, RGB(128, 128, 177)}};
    for (const Case& c : cases) {
        CImage image(DecodeRecipe(c.recipe));
        ASSERT_TRUE(image);
        CCanvas canvas(20, 20, RGB(0, 0, 100));
        DrawImageByDepth(canvas.Dc(), RECT{5, 5, 15, 15}, image.Get(), RECT{0, 0, 2, 2}, 255);
        const COLORREF got = canvas.Rgb(10, 10);
        EXPECT_NEAR(GetRValue(c.expected), GetRValue(got), 1);
        EXPECT_NEAR(GetGValue(c.expected), GetGValue(got), 1);
        EXPECT_NEAR(GetBValue(c.expected), GetBValue(got), 1);
        EXPECT_EQ(RGB(0, 0, 100), canvas.Rgb(4, 10)) << "outside the destination";
    }
}

TEST(DrawImage, NullImageDrawsNothing) {
    CCanvas canvas(10, 10, RGB(9, 9, 9));
    DrawImage(canvas.Dc(), 0, 0, 10, 10, nullptr, 0, 0, 10, 10);
    DrawImageAt(canvas.Dc(), 0, 0, nullptr);
    DrawImageByDepth(canvas.Dc(), RECT{0, 0, 10, 10}, nullptr, RECT{0, 0, 10, 10}, 255);
    EXPECT_EQ(RGB(9, 9, 9), canvas.Rgb(5, 5));
}

TEST(OffscreenBuffer, DrawsInTargetCoordinatesAndCopiesOnlyItsRectangle) {
    CCanvas target(100, 100, RGB(0, 0, 0));
    {
        COffscreenBuffer buffer(target.Dc(), RECT{20, 30, 60, 70});
        ASSERT_NE(nullptr, buffer.Dc());
        HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        RECT all = {0, 0, 100, 100};
        FillRect(buffer.Dc(), &all, green);
        RECT spot = {25, 35, 30, 40};
        FillRect(buffer.Dc(), &spot, red);
        DeleteObject(green);
        DeleteObject(red);
        EXPECT_EQ(RGB(0, 0, 0), target.Rgb(25, 35)) << "nothing reaches the target before the copy";
    }
    EXPECT_EQ(RGB(255, 0, 0), target.Rgb(25, 35));
    EXPECT_EQ(RGB(255, 0, 0), target.Rgb(29, 39));
    EXPECT_EQ(RGB(0, 255, 0), target.Rgb(30, 40));
    EXPECT_EQ(RGB(0, 255, 0), target.Rgb(20, 30));
    EXPECT_EQ(RGB(0, 255, 0), target.Rgb(59, 69));
    EXPECT_EQ(RGB(0, 0, 0), target.Rgb(19, 30));
    EXPECT_EQ(RGB(0, 0, 0), target.Rgb(60, 69));
    EXPECT_EQ(RGB(0, 0, 0), target.Rgb(59, 70));
}

TEST(DrawText, RestoresTheCallersColourAndFont) {
    CCanvas canvas(200, 40);
    SetBkMode(canvas.Dc(), TRANSPARENT);
    HFONT mine = CreateTahomaFont(16, FW_BOLD);
    SetTextColor(canvas.Dc(), RGB(1, 2, 3));
    HGDIOBJ before = GetCurrentObject(canvas.Dc(), OBJ_FONT);
    DrawTextIn(canvas.Dc(), RECT{0, 0, 200, 40}, L"Install", RGB(255, 255, 255), mine, true);
    EXPECT_EQ(RGB(1, 2, 3), GetTextColor(canvas.Dc()));
    EXPECT_EQ(before, GetCurrentObject(canvas.Dc(), OBJ_FONT));
    int lit = 0;
    for (int x = 0; x < 200; ++x)
        for (int y = 0; y < 40; ++y) lit += canvas.At(x, y).r > 200 ? 1 : 0;
    EXPECT_GT(lit, 20) << "the text was drawn in its colour";
    DeleteObject(mine);
}

TEST(Tip, DrawsNothingWhileHidden) {
    CLessDUITip tip;
    tip.SetRect(RECT{10, 10, 250, 40});
    tip.SetText(L"There is no Space avaliable!");
    CCanvas canvas(300, 60, RGB(5, 5, 5));
    tip.Draw(canvas.Dc());
    EXPECT_EQ(RGB(5, 5, 5), canvas.Rgb(100, 20));
}

TEST(Tip, DrawnBubbleHasItsPointerAtFortyPixels) {
    CLessDUITip tip;
    tip.SetRect(RECT{10, 10, 250, 45});
    tip.SetVisible(1);
    CCanvas canvas(300, 60, RGB(5, 5, 5));
    tip.Draw(canvas.Dc());
    const COLORREF fill = RGB(0xF5, 0xF5, 0xE4);
    EXPECT_EQ(fill, canvas.Rgb(100, 20)) << "the body";
    const int pointerRow = 45 - 2;
    EXPECT_EQ(fill, canvas.Rgb(10 + 41, pointerRow)) << "inside the pointer";
    EXPECT_EQ(RGB(5, 5, 5), canvas.Rgb(10 + 30, pointerRow)) << "below the body, left of the pointer";
    EXPECT_EQ(RGB(5, 5, 5), canvas.Rgb(10 + 60, pointerRow)) << "right of the pointer";
}

TEST(Tip, BubbleImageAndIconAtTheirPlaces) {
    CLessDUITip tip;
    tip.SetRect(RECT{22, 18, 262, 45});
    tip.SetVisible(1);
    tip.SetBubbleImage(MakeSolidImage(205, 34, {200, 200, 200, 255}));
    tip.SetIconImage(MakeSolidImage(12, 12, {0, 128, 255, 255}));
    CCanvas canvas(300, 60, RGB(5, 5, 5));
    tip.Draw(canvas.Dc());
    EXPECT_EQ(RGB(200, 200, 200), canvas.Rgb(22, 18)) << "bubble at the top-left";
    EXPECT_EQ(RGB(200, 200, 200), canvas.Rgb(22 + 204, 18 + 33)) << "at its natural size";
    EXPECT_EQ(RGB(5, 5, 5), canvas.Rgb(22 + 205, 18));
    EXPECT_EQ(RGB(255, 128, 0), canvas.Rgb(32, 26)) << "icon at (left + 10, top + 8)";
    EXPECT_EQ(RGB(255, 128, 0), canvas.Rgb(43, 37));
    EXPECT_EQ(RGB(200, 200, 200), canvas.Rgb(44, 37));
}

}  // namespace
