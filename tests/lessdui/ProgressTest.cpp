// The progress bar: fill width, what is drawn at 0, 100 and beyond, and the
// glow that always ends at the fill's head.
#include <gtest/gtest.h>

#include <string>

#include "PngFixtures.h"
#include "ui/lessdui/LessDUIProgress.h"

using namespace lessdui;
using namespace lessdui_test;

namespace {

constexpr Bgra kTrack = {0x30, 0x20, 0x10, 255};
constexpr Bgra kFill = {0x60, 0x50, 0x40, 255};
constexpr int kTop = 5;

bool Is(const Bgra& p, const Bgra& c) { return p.b == c.b && p.g == c.g && p.r == c.r; }
bool IsShine(const Bgra& p) { return p.g == 0xEE && p.b == 0x01; }

Bgra ShineColumn(int x, int) { return Bgra{0x01, 0xEE, static_cast<uint8_t>(x * 3), 255}; }

void GiveImages(CLessDUIProgress& bar, bool withShine) {
    bar.SetImageHandles(MakeSolidImage(17, 17, kTrack), MakeSolidImage(17, 17, kFill),
                        withShine ? MakeImage(71, 17, ShineColumn) : MakeSolidImage(71, 17, {0, 0, 0, 0}));
}

struct FillCase {
    int boxWidth;
    unsigned position;
    int fill;  // expected fill width
};

class FillTable : public ::testing::TestWithParam<FillCase> {};

TEST_P(FillTable, FillAndPicture) {
    const FillCase& c = GetParam();
    const int l = 10, r = l + c.boxWidth;
    CLessDUIProgress bar;
    GiveImages(bar, false);
    bar.SetRect(RECT{l, kTop, r, kTop + 17});
    bar.SetPosition(c.position);
    EXPECT_EQ(c.fill, bar.FillWidth());
    EXPECT_LE(bar.Position(), 100u);

    CCanvas canvas(r + 20, 30);
    bar.Draw(canvas.Dc());
    const int y = kTop + 8;
    const std::string what = "box " + std::to_string(c.boxWidth) + " at " + std::to_string(c.position);
    EXPECT_TRUE(Is(canvas.At(l, y), kTrack)) << what;
    EXPECT_TRUE(Is(canvas.At(r - 1, y), kTrack)) << what;
    EXPECT_FALSE(Is(canvas.At(r, y), kTrack)) << what << ": nothing beyond the box";
    int fillColumns = 0, lastFill = -1;
    for (int x = 0; x < r + 20; ++x) {
        if (Is(canvas.At(x, y), kFill)) {
            ++fillColumns;
            lastFill = x;
        }
    }
    if (c.fill == 0) {
        EXPECT_EQ(0, fillColumns) << what << ": an empty bar is only its track";
    } else {
        EXPECT_TRUE(Is(canvas.At(l + 2, y), kFill)) << what;
        EXPECT_EQ(l + c.fill + 1, lastFill) << what << ": the right cap ends the fill";
        EXPECT_TRUE(Is(canvas.At(l + c.fill + 2, y), kTrack)) << what;
    }
}

INSTANTIATE_TEST_SUITE_P(Progress, FillTable,
                         ::testing::Values(FillCase{555, 0, 0}, FillCase{555, 1, 5}, FillCase{555, 50, 275},
                                           FillCase{555, 99, 545}, FillCase{555, 100, 551},
                                           FillCase{555, 150, 551},  // clamped to 100
                                           FillCase{555, 0xFFFFFFFF, 551}, FillCase{104, 3, 3},
                                           FillCase{104, 2, 2}, FillCase{3, 100, 0}));

TEST(Progress, GlowEndsAtTheFillHeadForEveryWidth) {
    // Widths 1..551 through the real box, plus the widths around the glow's
    // own width (67..71) through narrow boxes.
    struct Box { int width; unsigned position; };
    std::vector<Box> boxes;
    for (unsigned p = 1; p <= 100; ++p) boxes.push_back({555, p});
    for (int fill = 60; fill <= 80; ++fill) boxes.push_back({fill + 4, 100});
    for (const Box& b : boxes) {
        CLessDUIProgress bar;
        GiveImages(bar, true);
        const int l = 10;
        bar.SetRect(RECT{l, kTop, l + b.width, kTop + 17});
        bar.SetPosition(b.position);
        const int fill = bar.FillWidth();
        CCanvas canvas(l + b.width + 10, 30);
        bar.Draw(canvas.Dc());
        const int y = kTop + 8;
        const std::string what = "fill " + std::to_string(fill);
        EXPECT_TRUE(IsShine(canvas.At(l + 1 + fill, y))) << what << ": glow at the head";
        EXPECT_FALSE(IsShine(canvas.At(l + 2 + fill, y))) << what << ": nothing past the head";
        const int glowStart = fill <= 67 ? l + 2 : l + 2 + fill - 67;
        EXPECT_TRUE(IsShine(canvas.At(glowStart, y))) << what;
        if (glowStart > l + 2) {
            EXPECT_FALSE(IsShine(canvas.At(glowStart - 1, y))) << what;
        }
        EXPECT_GE(canvas.At(l + 1 + fill, y).r, 3 * 66) << what << ": the glow's bright end leads";
    }
}

TEST(Progress, DrawingStartsTheRepaintTimerOnceAndDestructionStopsIt) {
    CLessDUIProgress bar;
    EXPECT_FALSE(bar.IsAnimating());
    bar.SetRect(RECT{0, 0, 100, 17});
    CCanvas canvas(100, 17);
    bar.Draw(canvas.Dc());  // a bar without images draws nothing and does not fail
    EXPECT_TRUE(bar.IsAnimating());
    bar.Draw(canvas.Dc());
    EXPECT_TRUE(bar.IsAnimating());
}

}  // namespace
