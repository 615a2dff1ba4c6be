// Hit testing and mouse routing of the view: which control a point reaches on
// each page, and how hover, press and release change looks and give commands.
#include <gtest/gtest.h>

#include "FrameTestSupport.h"
#include "ui/setup/FrameLayout.h"

using namespace uiframe_test;

namespace {

struct Variant {
    FramePage page;
    bool expanded;
    bool installEnabled;
    LANGID langId;
};

constexpr Variant kStart = {FramePage::Start, false, true, 1033};
constexpr Variant kStartExpanded = {FramePage::Start, true, true, 1033};
constexpr Variant kStartNoSpace = {FramePage::Start, true, false, 1033};
constexpr Variant kProgress = {FramePage::Progress, false, true, 1033};
constexpr Variant kDownloadFailed = {FramePage::DownloadFailed, false, true, 1033};
constexpr Variant kDownloadFailedPt = {FramePage::DownloadFailed, false, true, 1046};
constexpr Variant kInstallFailed = {FramePage::InstallFailed, false, true, 1033};
constexpr Variant kNotAdmin = {FramePage::NotAdmin, false, true, 1033};
constexpr Variant kUnsupported = {FramePage::UnsupportedSystem, false, true, 1033};

FrameState StateOf(const Variant& v) {
    FrameState state;
    state.page = v.page;
    state.panelExpanded = v.expanded;
    state.installEnabled = v.installEnabled;
    state.noSpaceTip = !v.installEnabled;
    state.langId = v.langId;
    state.languageName = L"English";
    state.folder = L"C:\\Program Files\\Nuvex Security\\Brisko";
    return state;
}

std::unique_ptr<CTextTable> ButtonTexts() {
    return MakeTexts({{IDS_ButtonRetry, L"Retry"}, {IDS_ButtonClose, L"Close"}});
}

struct HitCase {
    const Variant* variant;
    POINT pt;
    FrameCommand expected;
};

const HitCase kHits[] = {
    // Title buttons on every page.
    {&kStart, {543, 1}, FrameCommand::Minimise},
    {&kStart, {573, 23}, FrameCommand::Minimise},
    {&kStart, {574, 1}, FrameCommand::Close},
    {&kStart, {618, 23}, FrameCommand::Close},
    {&kStart, {619, 10}, FrameCommand::None},
    {&kStart, {542, 10}, FrameCommand::None},
    {&kProgress, {550, 10}, FrameCommand::Minimise},
    {&kUnsupported, {600, 10}, FrameCommand::Close},
    // Start page.
    {&kStart, {390, 90}, FrameCommand::Install},
    {&kStart, {561, 140}, FrameCommand::Install},
    {&kStart, {562, 140}, FrameCommand::None},
    {&kStart, {389, 100}, FrameCommand::None},
    {&kStart, {155, 276}, FrameCommand::HelpUs},
    {&kStart, {171, 290}, FrameCommand::HelpUs},
    {&kStart, {172, 290}, FrameCommand::None},
    {&kStart, {155, 230}, FrameCommand::Privacy},
    {&kStart, {354, 244}, FrameCommand::Privacy},
    {&kStart, {155, 250}, FrameCommand::Licence},
    {&kStart, {354, 264}, FrameCommand::Licence},
    {&kStart, {355, 255}, FrameCommand::None},
    {&kStart, {604, 320}, FrameCommand::CustomInstall},
    {&kStart, {100, 100}, FrameCommand::None},
    {&kStart, {290, 360}, FrameCommand::None},   // browse: the panel is closed
    {&kStart, {594, 361}, FrameCommand::None},   // language
    {&kStart, {530, 300}, FrameCommand::None},   // Retry of another page
    // The panel.
    {&kStartExpanded, {282, 353}, FrameCommand::Browse},
    {&kStartExpanded, {307, 373}, FrameCommand::Browse},
    {&kStartExpanded, {308, 373}, FrameCommand::None},
    {&kStartExpanded, {590, 359}, FrameCommand::Language},
    {&kStartExpanded, {599, 364}, FrameCommand::Language},
    {&kStartExpanded, {599, 365}, FrameCommand::None},
    {&kStartExpanded, {400, 100}, FrameCommand::Install},
    {&kStartExpanded, {604, 320}, FrameCommand::CustomInstall},
    // Install disabled while the space check fails.
    {&kStartNoSpace, {400, 100}, FrameCommand::None},
    {&kStartNoSpace, {290, 360}, FrameCommand::Browse},
    // Progress: nothing but the title buttons.
    {&kProgress, {400, 100}, FrameCommand::None},
    {&kProgress, {160, 235}, FrameCommand::None},
    {&kProgress, {160, 280}, FrameCommand::None},
    {&kProgress, {604, 320}, FrameCommand::None},
    {&kProgress, {300, 280}, FrameCommand::None},
    // Failure pages.
    {&kDownloadFailed, {22, 291}, FrameCommand::CloseButton},
    {&kDownloadFailed, {111, 317}, FrameCommand::CloseButton},
    {&kDownloadFailed, {508, 291}, FrameCommand::Retry},
    {&kDownloadFailed, {597, 317}, FrameCommand::Retry},
    {&kDownloadFailed, {500, 300}, FrameCommand::None},
    {&kDownloadFailed, {400, 100}, FrameCommand::None},
    {&kDownloadFailedPt, {488, 300}, FrameCommand::Retry},
    {&kDownloadFailedPt, {487, 300}, FrameCommand::None},
    {&kInstallFailed, {508, 291}, FrameCommand::CloseButton},
    {&kInstallFailed, {30, 300}, FrameCommand::None},
    {&kNotAdmin, {597, 317}, FrameCommand::CloseButton},
    {&kUnsupported, {592, 314}, FrameCommand::CloseButton},
    {&kUnsupported, {594, 300}, FrameCommand::None},
    {&kUnsupported, {550, 316}, FrameCommand::None},
};

TEST(FrameHitTest, PointsReachTheControlsOfTheCurrentPageOnly) {
    auto texts = ButtonTexts();
    auto view = MakeView(texts.get());
    for (const HitCase& hit : kHits) {
        view->Arrange(StateOf(*hit.variant));
        EXPECT_EQ(view->ControlAt(hit.pt), hit.expected)
            << "page " << static_cast<int>(hit.variant->page) << " expanded " << hit.variant->expanded << " at ("
            << hit.pt.x << ", " << hit.pt.y << ")";
    }
}

TEST(FrameHitTest, LinksAreFoundOnlyWhileShown) {
    auto view = MakeView();
    view->Arrange(StateOf(kStart));
    EXPECT_TRUE(view->IsOverLink(POINT{160, 235}));
    EXPECT_TRUE(view->IsOverLink(POINT{160, 255}));
    EXPECT_TRUE(view->IsOverLink(POINT{604, 320}));
    EXPECT_FALSE(view->IsOverLink(POINT{400, 100}));
    EXPECT_FALSE(view->IsOverLink(POINT{160, 280}));
    view->Arrange(StateOf(kProgress));
    EXPECT_FALSE(view->IsOverLink(POINT{160, 235}));
    EXPECT_FALSE(view->IsOverLink(POINT{604, 320}));
}

class FrameMouseTest : public ::testing::Test {
protected:
    // Moves (with the button as it is), presses and releases at pt.
    FrameCommand Click(POINT pt) {
        bool redraw = false;
        view_->OnMouseMove(pt, &redraw);
        left_.Set(true);
        view_->OnLButtonDown(pt, &redraw);
        left_.Set(false);
        return view_->OnLButtonUp(pt, &redraw);
    }

    CLeftButton left_;
    std::unique_ptr<CTextTable> texts_ = ButtonTexts();
    std::unique_ptr<CFrameView> view_ = MakeView(texts_.get());
};

TEST_F(FrameMouseTest, AClickCompletesOnReleaseInsideTheControlPressed) {
    FrameState state = StateOf(kStart);
    view_->Arrange(state);
    const POINT install = {400, 100};
    bool redraw = false;
    EXPECT_EQ(view_->OnMouseMove(install, &redraw), FrameCommand::None);
    EXPECT_TRUE(redraw);
    left_.Set(true);
    EXPECT_EQ(view_->OnLButtonDown(install, &redraw), FrameCommand::None);
    EXPECT_TRUE(redraw);
    left_.Set(false);
    EXPECT_EQ(view_->OnLButtonUp(install, &redraw), FrameCommand::Install);
    EXPECT_TRUE(redraw);

    // Pressed, dragged off and released outside: no click.
    left_.Set(true);
    view_->OnLButtonDown(install, &redraw);
    view_->OnMouseMove(POINT{100, 100}, &redraw);
    left_.Set(false);
    EXPECT_EQ(view_->OnLButtonUp(POINT{100, 100}, &redraw), FrameCommand::None);

    // Pressed elsewhere and released on the button: no click either.
    left_.Set(true);
    view_->OnMouseMove(POINT{100, 100}, &redraw);
    view_->OnLButtonDown(POINT{100, 100}, &redraw);
    view_->OnMouseMove(install, &redraw);
    left_.Set(false);
    EXPECT_EQ(view_->OnLButtonUp(install, &redraw), FrameCommand::None);
}

TEST_F(FrameMouseTest, EachControlGivesItsCommand) {
    struct Case {
        const Variant* variant;
        POINT pt;
        FrameCommand expected;
    } cases[] = {
        {&kStart, {550, 10}, FrameCommand::Minimise},      {&kStart, {590, 10}, FrameCommand::Close},
        {&kStart, {160, 280}, FrameCommand::HelpUs},       {&kStart, {160, 235}, FrameCommand::Privacy},
        {&kStart, {160, 255}, FrameCommand::Licence},      {&kStart, {604, 320}, FrameCommand::CustomInstall},
        {&kStartExpanded, {290, 360}, FrameCommand::Browse}, {&kStartExpanded, {594, 361}, FrameCommand::Language},
        {&kDownloadFailed, {550, 300}, FrameCommand::Retry}, {&kDownloadFailed, {50, 300}, FrameCommand::CloseButton},
        {&kInstallFailed, {550, 300}, FrameCommand::CloseButton},
        {&kProgress, {400, 100}, FrameCommand::None},      {&kStartNoSpace, {400, 100}, FrameCommand::None},
    };
    for (const Case& c : cases) {
        FrameState state = StateOf(*c.variant);
        Render(*view_, state);
        EXPECT_EQ(Click(c.pt), c.expected) << "at (" << c.pt.x << ", " << c.pt.y << ")";
        bool redraw = false;
        view_->OnMouseLeave(&redraw);
    }
}

TEST_F(FrameMouseTest, InstallShowsHoverAndPressedImagesAndReturnsOnLeave) {
    FrameState state = StateOf(kStart);
    const POINT install = {400, 135};
    bool redraw = false;
    EXPECT_EQ(Render(*view_, state)->At(install.x, install.y), FixtureColour(frame::kImageInstall));
    view_->OnMouseMove(install, &redraw);
    EXPECT_EQ(Render(*view_, state)->At(install.x, install.y), FixtureColour(frame::kImageInstallHover));
    left_.Set(true);
    view_->OnLButtonDown(install, &redraw);
    EXPECT_EQ(Render(*view_, state)->At(install.x, install.y), FixtureColour(frame::kImageInstallPressed));
    view_->OnMouseLeave(&redraw);
    EXPECT_TRUE(redraw);
    EXPECT_EQ(Render(*view_, state)->At(install.x, install.y), FixtureColour(frame::kImageInstall));
    view_->OnMouseLeave(&redraw);
    EXPECT_FALSE(redraw) << "nothing left to change";
}

TEST_F(FrameMouseTest, ArrangingAgainKeepsAHoverUnderWay) {
    FrameState state = StateOf(kStart);
    view_->Arrange(state);
    bool redraw = false;
    view_->OnMouseMove(POINT{400, 135}, &redraw);
    state.arrowFrame = 3;
    EXPECT_EQ(Render(*view_, state)->At(400, 135), FixtureColour(frame::kImageInstallHover));
}

TEST_F(FrameMouseTest, DisabledInstallNeitherChangesNorClicks) {
    FrameState state = StateOf(kStartNoSpace);
    Render(*view_, state);
    bool redraw = true;
    view_->OnMouseMove(POINT{400, 135}, &redraw);
    EXPECT_FALSE(redraw);
    EXPECT_EQ(Click(POINT{400, 135}), FrameCommand::None);
    EXPECT_EQ(Render(*view_, state)->At(400, 135), FixtureColour(frame::kImageInstallDisabled));

    // Enabled again (a folder with room was chosen): it reacts at once.
    state.installEnabled = true;
    state.noSpaceTip = false;
    view_->Arrange(state);
    EXPECT_EQ(Click(POINT{400, 135}), FrameCommand::Install);
}

TEST_F(FrameMouseTest, CheckBoxShowsTheHoverImageOfItsValue) {
    for (bool value : {false, true}) {
        FrameState state = StateOf(kStart);
        state.helpUs = value;
        view_->Arrange(state);
        bool redraw = false;
        view_->OnMouseMove(POINT{160, 280}, &redraw);
        EXPECT_EQ(Render(*view_, state)->At(160, 280),
                  FixtureColour(value ? frame::kImageCheckedHover : frame::kImageUncheckedHover));
        view_->OnMouseLeave(&redraw);
    }
}

TEST_F(FrameMouseTest, LinkIsUnderlinedOnlyWhileHovered) {
    FrameState state = StateOf(kStart);
    const RECT privacy = {155, 230, 355, 245};
    auto normal = Render(*view_, state);
    bool redraw = false;
    view_->OnMouseMove(POINT{160, 237}, &redraw);
    EXPECT_TRUE(redraw);
    auto hovered = Render(*view_, state);
    EXPECT_FALSE(SameIn(*normal, *hovered, privacy));
    // The underline adds ink and takes none away.
    const COLORREF background = FixtureColour(frame::kImageBackground);
    EXPECT_GT(InkCount(*hovered, privacy, background), InkCount(*normal, privacy, background));
    EXPECT_TRUE(SameIn(*normal, *hovered, RECT{155, 250, 355, 265})) << "the other link stays as it was";

    view_->OnMouseMove(POINT{100, 100}, &redraw);
    EXPECT_TRUE(redraw);
    EXPECT_TRUE(SameIn(*normal, *Render(*view_, state), privacy));
}

TEST_F(FrameMouseTest, PageChangeHidesTheControlsOfTheOldPage) {
    FrameState state = StateOf(kStart);
    view_->Arrange(state);
    bool redraw = false;
    view_->OnMouseMove(POINT{400, 135}, &redraw);  // hovering Install
    state.page = FramePage::Progress;
    view_->Arrange(state);
    EXPECT_EQ(Click(POINT{400, 135}), FrameCommand::None);
    EXPECT_EQ(view_->ControlAt(POINT{400, 135}), FrameCommand::None);
    // Back on Start the button is in its normal look again.
    state.page = FramePage::Start;
    EXPECT_EQ(Render(*view_, state)->At(420, 138), FixtureColour(frame::kImageInstall));
}

}  // namespace
