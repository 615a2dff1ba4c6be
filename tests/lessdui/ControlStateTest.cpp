// Buttons and links fed sequences of mouse events: states, clicks, capture,
// cursor, and the text button's growth to fit its label.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PngFixtures.h"
#include "ui/lessdui/LessDUIButton.h"
#include "ui/lessdui/LessDUILink.h"

using namespace lessdui;
using namespace lessdui_test;

namespace {

bool g_leftDown = false;
bool FakeLeftButton() { return g_leftDown; }

// Every test here sees a left button it controls.
class FakeMouse : public ::testing::Test {
protected:
    void SetUp() override {
        g_leftDown = false;
        previous_ = SetLeftButtonProbe(FakeLeftButton);
    }
    void TearDown() override { SetLeftButtonProbe(previous_); }

private:
    LeftButtonProbe previous_ = nullptr;
};

enum class Ev { MoveUp, MoveDown, Press, Release, Leave };

struct Step {
    Ev event;
    bool inside;
    int state;      // expected after the event
    bool clicked;   // expected for Release
};

struct MouseCase {
    const char* name;
    int startState;
    std::vector<Step> steps;
};

const RECT kRect = {10, 10, 90, 40};
const POINT kIn = {50, 25};
const POINT kOut = {150, 25};

std::vector<MouseCase> MouseCases() {
    return {
        {"HoverPressReleaseClicks", 1,
         {{Ev::MoveUp, true, 2, false}, {Ev::Press, true, 3, false}, {Ev::Release, true, 1, true}}},
        {"PressDragOffReleaseOutsideDoesNotClick", 1,
         {{Ev::MoveUp, true, 2, false}, {Ev::Press, true, 3, false}, {Ev::MoveDown, false, 1, false},
          {Ev::Release, false, 1, false}}},
        {"DragBackInBeforeReleaseClicks", 1,
         {{Ev::MoveUp, true, 2, false}, {Ev::Press, true, 3, false}, {Ev::MoveDown, false, 1, false},
          {Ev::MoveDown, true, 3, false}, {Ev::Release, true, 1, true}}},
        {"PressOutsideThenEnterWithButtonDownDoesNotClick", 1,
         {{Ev::Press, false, 1, false}, {Ev::MoveDown, true, 1, false}, {Ev::Release, true, 1, false}}},
        {"PressWithoutHoverStillPresses", 1, {{Ev::Press, true, 3, false}, {Ev::Release, true, 1, true}}},
        {"LeaveReturnsToNormal", 1, {{Ev::MoveUp, true, 2, false}, {Ev::Leave, false, 1, false}}},
        {"LeaveWhilePressedCancels", 1,
         {{Ev::Press, true, 3, false}, {Ev::Leave, false, 1, false}, {Ev::Release, true, 1, false}}},
        {"SecondReleaseDoesNotClickAgain", 1,
         {{Ev::Press, true, 3, false}, {Ev::Release, true, 1, true}, {Ev::Release, true, 1, false}}},
        {"DisabledNeverChanges", 4,
         {{Ev::MoveUp, true, 4, false}, {Ev::Press, true, 4, false}, {Ev::Release, true, 4, false},
          {Ev::Leave, false, 4, false}}},
        {"HiddenNeverChanges", 0,
         {{Ev::MoveUp, true, 0, false}, {Ev::Press, true, 0, false}, {Ev::Release, true, 0, false}}},
    };
}

template <typename Control>
void RunSteps(Control& control, const MouseCase& c) {
    control.SetState(c.startState);
    for (size_t i = 0; i < c.steps.size(); ++i) {
        const Step& s = c.steps[i];
        const POINT pt = s.inside ? kIn : kOut;
        bool clicked = false;
        bool taken = false;
        switch (s.event) {
        case Ev::MoveUp:
        case Ev::MoveDown:
            g_leftDown = s.event == Ev::MoveDown;
            taken = control.OnMouseMove(pt);
            break;
        case Ev::Press:
            g_leftDown = true;
            taken = control.OnLButtonDown(pt);
            break;
        case Ev::Release:
            g_leftDown = false;
            taken = control.OnLButtonUp(pt, &clicked);
            break;
        case Ev::Leave:
            control.OnMouseLeave();
            taken = s.inside;
            break;
        }
        const std::string where = std::string(c.name) + " step " + std::to_string(i);
        EXPECT_EQ(s.state, control.State()) << where;
        EXPECT_EQ(s.clicked, clicked) << where;
        const bool acceptsMouse = c.startState != 0 && c.startState != 4;
        EXPECT_EQ(s.inside && acceptsMouse, taken) << where << ": the point counts as taken";
    }
}

void PrintTo(const MouseCase& c, std::ostream* os) { *os << c.name; }

class ButtonMouse : public FakeMouse, public ::testing::WithParamInterface<MouseCase> {};

TEST_P(ButtonMouse, Sequence) {
    CLessDUIButton button;
    CCanvas canvas(120, 60);
    button.SetState(1);
    button.Draw(canvas.Dc(), kRect, RECT{0, 0, 0, 0});  // places the hit rectangle
    ASSERT_TRUE(EqualRect(&kRect, &button.HitRect()));
    RunSteps(button, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Table, ButtonMouse, ::testing::ValuesIn(MouseCases()),
                         [](const auto& info) { return std::string(info.param.name); });

class LinkMouse : public FakeMouse, public ::testing::WithParamInterface<MouseCase> {};

TEST_P(LinkMouse, Sequence) {
    CLessDUILink link;
    link.SetRect(kRect);
    RunSteps(link, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Table, LinkMouse, ::testing::ValuesIn(MouseCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FakeMouse, ButtonBeforeItsFirstDrawIsNowhere) {
    CLessDUIButton button;
    EXPECT_FALSE(button.OnMouseMove(kIn));
    EXPECT_EQ(1, button.State());
}

TEST_F(FakeMouse, LinkSwitchesTheCursorAndUnderlines) {
    CLessDUILink link;
    link.SetRect(kRect);
    link.SetText(L"View license agreement");
    HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    SetCursor(arrow);

    link.OnMouseMove(kIn);
    EXPECT_TRUE(link.IsHovered());
    EXPECT_EQ(hand, GetCursor());
    link.OnLButtonDown(kIn);
    EXPECT_TRUE(link.IsHovered());
    EXPECT_EQ(hand, GetCursor());
    bool clicked = false;
    link.OnLButtonUp(kIn, &clicked);
    EXPECT_TRUE(clicked);
    EXPECT_FALSE(link.IsHovered()) << "the arrow comes back after the click";
    EXPECT_EQ(arrow, GetCursor());

    link.OnMouseMove(kIn);
    link.OnMouseLeave();
    EXPECT_FALSE(link.IsHovered());
    EXPECT_EQ(arrow, GetCursor());
}

TEST_F(FakeMouse, HoveredLinkIsUnderlined) {
    CLessDUILink link;
    link.SetRect(RECT{0, 0, 120, 20});
    link.SetColour(RGB(255, 255, 255));
    link.SetText(L"privacy");
    auto underlineRows = [&link]() {
        CCanvas canvas(120, 20);
        link.Draw(canvas.Dc());
        int lit = 0;  // white pixels in the row below the text's baseline area
        for (int y = 14; y < 20; ++y) {
            int run = 0;
            for (int x = 0; x < 120; ++x) run += canvas.At(x, y).r > 128 ? 1 : 0;
            lit = run > lit ? run : lit;
        }
        return lit;
    };
    const int plain = underlineRows();
    link.OnMouseMove(POINT{5, 5});
    ASSERT_EQ(2, link.State());
    const int hovered = underlineRows();
    EXPECT_GT(hovered, plain + 20) << "a long horizontal line appears under the text";
}

// The label is wider than the button: the button grows to label + 20, the
// right side taking the odd pixel, and never loops.
struct GrowCase {
    int width;
    int textWidth;
    int left, right;  // expected, from a rectangle starting at 100
};

void PrintTo(const GrowCase& c, std::ostream* os) { *os << c.width << " for text " << c.textWidth; }

class GrowTable : public ::testing::TestWithParam<GrowCase> {};

TEST_P(GrowTable, GrowsToTextWidthPlusTwenty) {
    const GrowCase& c = GetParam();
    const RECT grown = GrowToFitText(RECT{100, 0, 100 + c.width, 20}, c.textWidth);
    EXPECT_EQ(c.left, grown.left);
    EXPECT_EQ(c.right, grown.right);
    EXPECT_EQ(std::max(c.width, c.textWidth + 20), grown.right - grown.left);
}

INSTANTIATE_TEST_SUITE_P(Button, GrowTable,
                         ::testing::Values(GrowCase{90, 40, 100, 190},     // wide enough
                                           GrowCase{90, 70, 100, 190},     // exactly enough
                                           GrowCase{90, 71, 100, 191},     // short by 1: right takes it
                                           GrowCase{90, 72, 99, 191},      // short by 2
                                           GrowCase{90, 77, 97, 194},      // short by 7
                                           GrowCase{0, 100, 40, 160}));    // empty rectangle

TEST_F(FakeMouse, DrawnTextButtonGrowsItsHitRectangle) {
    for (int shortfall : {1, 2, 5}) {
        CLessDUIButton button;
        button.SetText(L"Coba lagi sekarang juga");
        CCanvas canvas(400, 60);
        HFONT font = CreateTahomaFont(13, FW_NORMAL);
        const int textWidth = MeasureText(canvas.Dc(), button.Text().c_str(), font).cx;
        DeleteObject(font);
        const RECT rect = {100, 10, 100 + textWidth + 20 - shortfall, 37};
        button.Draw(canvas.Dc(), rect, RECT{});
        const RECT& hit = button.HitRect();
        EXPECT_EQ(textWidth + 20, hit.right - hit.left) << shortfall;
        EXPECT_EQ(rect.left - shortfall / 2, hit.left) << shortfall;
        EXPECT_EQ(10, hit.top);
        // the grown edge takes the mouse
        EXPECT_TRUE(button.OnMouseMove(POINT{hit.left, 20})) << shortfall;
    }
}

TEST(ButtonDraw, HiddenButtonDrawsNothingAndKeepsNoHitRectangle) {
    CLessDUIButton button;
    button.SetText(L"Retry");
    button.SetState(0);
    CCanvas canvas(120, 60, RGB(1, 2, 3));
    button.Draw(canvas.Dc(), kRect, RECT{});
    EXPECT_EQ(RGB(1, 2, 3), canvas.Rgb(50, 25));
    EXPECT_TRUE(IsRectEmpty(&button.HitRect()));
}

struct FillCase {
    int style;
    int state;
    COLORREF fill;
};

class TextButtonFill : public ::testing::TestWithParam<FillCase> {};

TEST_P(TextButtonFill, FillFollowsStateAndStyle) {
    const FillCase& c = GetParam();
    CLessDUIButton button;
    button.SetStyle(c.style);
    button.SetState(c.state);
    CCanvas canvas(120, 60);
    button.Draw(canvas.Dc(), kRect, RECT{});
    EXPECT_EQ(c.fill, canvas.Rgb(kRect.left + 4, kRect.top + 4));
}

INSTANTIATE_TEST_SUITE_P(Button, TextButtonFill,
                         ::testing::Values(FillCase{0, 1, RGB(0xEE, 0xF1, 0xF6)}, FillCase{0, 2, RGB(0xF8, 0xFB, 0xF6)},
                                           FillCase{1, 1, RGB(0x3D, 0xCC, 0x50)}, FillCase{1, 3, RGB(0x4C, 0xD0, 0x5E)},
                                           FillCase{1, 4, RGB(0x4C, 0xD0, 0x5E)}));

TEST(ButtonDraw, ImageOfTheCurrentStateIsDrawn) {
    CLessDUIButton button;
    button.SetImageHandles(MakeSolidImage(4, 4, {0, 0, 200, 255}), MakeSolidImage(4, 4, {0, 200, 0, 255}),
                           MakeSolidImage(4, 4, {200, 0, 0, 255}), MakeSolidImage(4, 4, {90, 90, 90, 255}));
    const COLORREF expected[5] = {RGB(7, 7, 7), RGB(200, 0, 0), RGB(0, 200, 0), RGB(0, 0, 200), RGB(90, 90, 90)};
    for (int state = 0; state <= 4; ++state) {
        CCanvas canvas(120, 60, RGB(7, 7, 7));
        button.SetState(state);
        button.Draw(canvas.Dc(), kRect, RECT{0, 0, 4, 4});
        EXPECT_EQ(expected[state], canvas.Rgb(50, 25)) << "state " << state << " (stretched over the rectangle)";
    }
}

}  // namespace
