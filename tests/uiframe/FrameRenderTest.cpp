// Pages drawn through the view with solid-colour images: each image, box and
// text must land where the window's layout puts it.
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>

#include "FrameTestSupport.h"
#include "ui/setup/FrameLayout.h"

using namespace uiframe_test;

namespace {

constexpr COLORREF kBackground = FixtureColour(frame::kImageBackground);
constexpr COLORREF kPanel = FixtureColour(frame::kImagePanel);
constexpr COLORREF kGreenOutline = RGB(0x24, 0x8D, 0xDE);
constexpr COLORREF kGreenFill = RGB(0x3D, 0xCC, 0x50);
constexpr COLORREF kLightOutline = RGB(0xD0, 0xD9, 0xE8);
constexpr COLORREF kLightFill = RGB(0xEE, 0xF1, 0xF6);

FrameState OnPage(FramePage page) {
    FrameState state;
    state.page = page;
    state.langId = 1033;
    state.languageName = L"English";
    state.folder = L"C:\\Program Files\\Nuvex Security\\Brisko";
    return state;
}

const FramePage kAllPages[] = {FramePage::Start,         FramePage::Progress, FramePage::DownloadFailed,
                               FramePage::InstallFailed, FramePage::NotAdmin, FramePage::UnsupportedSystem};

// The English texts whose built-in values are empty.
std::unique_ptr<CTextTable> EnglishTexts() {
    return MakeTexts({{IDS_ButtonRetry, L"Retry"},
                      {IDS_ButtonClose, L"Close"},
                      {IDS_PlsCheckNetwork, L"Please Check the network."},
                      {IDS_InstallFailed, L"Install failed!"}});
}

// One pixel a page must show: where, which colour, and why when it is not obvious.
struct Pixel {
    int x;
    int y;
    COLORREF colour;
    const char* why = "";
};

void ExpectPixels(const CFrameCanvas& canvas, std::initializer_list<Pixel> pixels) {
    for (const Pixel& p : pixels)
        EXPECT_EQ(canvas.At(p.x, p.y), p.colour) << "at (" << p.x << ", " << p.y << ") " << p.why;
}

// A text as the view must draw it: its box, colour, font and format.
struct PlacedText {
    const char* what;
    FrameState state;
    RECT box;
    std::wstring text;
    COLORREF colour;
    COLORREF background;
    int height;
    int weight;
    UINT format;
};

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kLink = RGB(0x56, 0xD5, 0xFF);
constexpr UINT kLine = DT_SINGLELINE | DT_VCENTER;
constexpr UINT kCutLine = DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS;
constexpr UINT kWrapped = DT_WORDBREAK | DT_EDITCONTROL;

class FrameRenderTest : public ::testing::Test {
protected:
    std::unique_ptr<CTextTable> texts_ = EnglishTexts();
    std::unique_ptr<CFrameView> view_ = MakeView(texts_.get());
};

TEST_F(FrameRenderTest, EveryPageHasBackgroundTitleButtonsAndLogoAt60OnStartElse155) {
    for (FramePage page : kAllPages) {
        SCOPED_TRACE(static_cast<int>(page));
        auto canvas = Render(*view_, OnPage(page));
        const int logoX = page == FramePage::Start ? 60 : 155;
        ExpectPixels(*canvas, {{0, 0, kBackground},
                               {619, 339, kBackground},
                               {0, 340, kUntouched, "nothing below a collapsed window"},
                               {543, 1, FixtureColour(frame::kImageMinimise)},
                               {573, 23, FixtureColour(frame::kImageMinimise)},
                               {574, 1, FixtureColour(frame::kImageClose)},
                               {618, 23, FixtureColour(frame::kImageClose)},
                               {619, 1, kBackground},
                               {logoX, 70, FixtureColour(frame::kImageLogo)},
                               {logoX + 298, 70 + 81, FixtureColour(frame::kImageLogo)}});
        EXPECT_NE(canvas->At(logoX - 1, 70), FixtureColour(frame::kImageLogo));
        EXPECT_NE(canvas->At(logoX, 69), FixtureColour(frame::kImageLogo));
        EXPECT_NE(canvas->At(logoX + 299, 151), FixtureColour(frame::kImageLogo));
        EXPECT_NE(canvas->At(logoX, 152), FixtureColour(frame::kImageLogo));
    }
}

TEST_F(FrameRenderTest, InstallButtonFillsItsRectangleWithTheImageOfItsState) {
    struct Case {
        bool enabled;
        UINT image;
    } cases[] = {{true, frame::kImageInstall}, {false, frame::kImageInstallDisabled}};
    for (const Case& c : cases) {
        FrameState state = OnPage(FramePage::Start);
        state.installEnabled = c.enabled;
        auto canvas = Render(*view_, state);
        const COLORREF image = FixtureColour(c.image);
        ExpectPixels(*canvas, {{390, 90, image},
                               {561, 140, image},
                               {400, 135, image},
                               {389, 90, kBackground},
                               {562, 140, kBackground},
                               {390, 141, kBackground}});
        // The label is white, left-aligned in (470, 90, 562, 141).
        const RECT label = {470, 90, 562, 141};
        EXPECT_GT(InkCount(*canvas, label, image), 0);
        ExpectPixels(*canvas, {{468, 115, image}});
    }
}

TEST_F(FrameRenderTest, DownloadArrowShowsTheCurrentFrameInItsBox) {
    const RECT box = view_->ArrowBox();
    EXPECT_EQ(box.left, 419);
    EXPECT_EQ(box.top, 100);
    EXPECT_EQ(box.right, 451);
    EXPECT_EQ(box.bottom, 129);
    for (int frameIndex = 0; frameIndex < 4; ++frameIndex) {
        FrameState state = OnPage(FramePage::Start);
        state.arrowFrame = frameIndex;
        auto canvas = Render(*view_, state);
        const COLORREF arrow = FixtureColour(frame::kImageArrowStrip, frameIndex);
        SCOPED_TRACE(frameIndex);
        ExpectPixels(*canvas, {{419, 100, arrow},
                               {450, 128, arrow},
                               {451, 128, FixtureColour(frame::kImageInstall)},
                               {418, 100, FixtureColour(frame::kImageInstall)}});
    }
}

TEST_F(FrameRenderTest, PanelAndItsControlsOnlyWhileExpanded) {
    FrameState state = OnPage(FramePage::Start);
    auto collapsed = Render(*view_, state);
    const int custom = MeasureSmall(L"Custom Install");
    ExpectPixels(*collapsed, {{0, 340, kUntouched},
                              {300, 386, kUntouched},
                              {585 - custom, 317, FixtureColour(frame::kImagePanelArrowDown)}});

    state.panelExpanded = true;
    auto expanded = Render(*view_, state);
    ExpectPixels(*expanded, {{0, 340, kPanel},
                             {619, 386, kPanel},
                             {282, 353, FixtureColour(frame::kImageBrowse)},
                             {307, 373, FixtureColour(frame::kImageBrowse)},
                             {308, 373, kPanel},
                             {590, 359, FixtureColour(frame::kImageLanguage)},
                             {599, 364, FixtureColour(frame::kImageLanguage)},
                             {600, 364, kPanel},
                             // The panel arrow points up now; its place follows the link text's width.
                             {585 - custom, 317, FixtureColour(frame::kImagePanelArrowUp)},
                             {585 - custom + 7, 322, FixtureColour(frame::kImagePanelArrowUp)}});
    EXPECT_NE(expanded->At(585 - custom - 1, 317), FixtureColour(frame::kImagePanelArrowUp));
}

TEST_F(FrameRenderTest, LanguageNameIsRightAlignedInThePanel) {
    FrameState state = OnPage(FramePage::Start);
    state.panelExpanded = true;
    state.languageName = L"Espa\u00f1ol";
    auto canvas = Render(*view_, state);
    const int n = MeasureSmall(state.languageName);
    EXPECT_EQ(InkCount(*canvas, RECT{480, 353, 585 - n, 373}, kPanel), 0) << "nothing left of the name";
}

TEST_F(FrameRenderTest, NoSpaceTipOnlyWhileTheSpaceCheckFails) {
    const COLORREF bubble = FixtureColour(frame::kImageTipBubble);
    const COLORREF icon = FixtureColour(frame::kImageTipIcon);
    FrameState state = OnPage(FramePage::Start);
    state.panelExpanded = true;
    auto passing = Render(*view_, state);
    ExpectPixels(*passing, {{24, 320, kBackground}, {24, 345, kPanel}, {33, 327, kBackground}});

    state.noSpaceTip = true;
    auto failing = Render(*view_, state);
    ExpectPixels(*failing, {{22, 318, bubble},
                            {226, 345, bubble, "the bubble overlaps the panel's top"},
                            {21, 318, kBackground},
                            {32, 326, icon},
                            {43, 337, icon},
                            {44, 337, bubble}});
    // The text in Tahoma 16, #D03837, from x 49 to 262.
    const RECT text = {49, 318, 227, 345};
    EXPECT_GT(InkCount(*failing, text, bubble), 0);
    EXPECT_EQ(InkCount(*failing, RECT{45, 318, 49, 345}, bubble), 0);
}

TEST_F(FrameRenderTest, FolderTextIsCutWithAnEllipsisBeforeTheBrowseButton) {
    FrameState state = OnPage(FramePage::Start);
    state.panelExpanded = true;
    state.folder = L"D:\\A folder with a name far too long for the panel\\Nuvex Security\\Brisko";
    auto canvas = Render(*view_, state);
    const int f = MeasureSmall(L"Folder");
    const RECT box = {47 + f, 353, 272, 373};
    ASSERT_GT(MeasureSmall(state.folder), box.right - box.left);

    const UINT cut = DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS;
    auto withEllipsis = RenderText(box, state.folder, RGB(255, 255, 255), kPanel, 13, FW_NORMAL, cut);
    auto clipped = RenderText(box, state.folder, RGB(255, 255, 255), kPanel, 13, FW_NORMAL, DT_SINGLELINE | DT_VCENTER);
    ASSERT_FALSE(SameIn(*withEllipsis, *clipped, box)) << "the ellipsis must be visible";
    EXPECT_TRUE(SameIn(*canvas, *withEllipsis, box));
    EXPECT_EQ(InkCount(*canvas, RECT{272, 353, 282, 374}, kPanel), 0) << "nothing between the text and the button";
    EXPECT_GE(RightmostInk(*canvas, box, kPanel), 262);
}

TEST_F(FrameRenderTest, ProgressBarFillsItsBoxToThePosition) {
    FrameState state = OnPage(FramePage::Progress);
    state.progress = 40;
    state.status = L"Download progress 40%";
    auto canvas = Render(*view_, state);
    const COLORREF track = FixtureColour(frame::kImageProgressTrack);
    const COLORREF fill = FixtureColour(frame::kImageProgressFill);
    const COLORREF shine = FixtureColour(frame::kImageProgressShine);
    const int filled = static_cast<int>((591 - 36 - 4) / 100.0 * 40);  // 220
    ExpectPixels(*canvas, {{36, 273, track},
                           {590, 289, track},
                           {35, 280, kBackground},
                           {591, 280, kBackground},
                           {300, 272, kBackground},
                           {300, 290, kBackground},
                           {40, 280, fill},
                           {36 + 2 + filled - 1, 280, shine, "the glow ends at the fill's head"},
                           {36 + 2 + filled, 280, track}});
}

TEST_F(FrameRenderTest, StartControlsAreNotDrawnOnOtherPages) {
    for (FramePage page : kAllPages) {
        if (page == FramePage::Start) continue;
        FrameState state = OnPage(page);
        state.panelExpanded = false;
        auto canvas = Render(*view_, state);
        EXPECT_EQ(canvas->At(500, 135), kBackground) << "Install, page " << static_cast<int>(page);
        EXPECT_EQ(canvas->At(165, 290), kBackground) << "check box, page " << static_cast<int>(page);
        EXPECT_EQ(InkCount(*canvas, RECT{155, 230, 355, 265}, kBackground), 0) << "links";
    }
}

// The failure pages: status icon, title box and buttons.
struct FailureCase {
    FramePage page;
    LANGID langId;
    POINT icon;
    RECT title;
    RECT close;
    COLORREF closeOutline, closeFill;
    RECT retry;  // empty: no Retry button
};

const FailureCase kFailureCases[] = {
    {FramePage::DownloadFailed, 1033, {251, 185}, {268, 185, 448, 197}, {22, 291, 112, 318}, kLightOutline, kLightFill,
     {508, 291, 598, 318}},
    {FramePage::DownloadFailed, 1046, {251, 185}, {268, 185, 448, 197}, {22, 291, 112, 318}, kLightOutline, kLightFill,
     {488, 291, 598, 318}},
    {FramePage::InstallFailed, 1033, {251, 185}, {268, 185, 388, 197}, {508, 291, 598, 318}, kGreenOutline, kGreenFill,
     {}},
    {FramePage::NotAdmin, 1033, {231, 185}, {248, 185, 488, 197}, {508, 291, 598, 318}, kGreenOutline, kGreenFill, {}},
    {FramePage::UnsupportedSystem, 1033, {201, 185}, {218, 185, 488, 197}, {508, 291, 593, 315}, kGreenOutline,
     kGreenFill, {}},
};

void ExpectTextButton(const CFrameCanvas& canvas, const RECT& box, COLORREF outline, COLORREF fill) {
    const int middle = (box.top + box.bottom) / 2;
    ExpectPixels(canvas, {{box.left - 1, middle, kBackground},
                          {box.left, middle, outline},
                          {box.left + 2, middle, fill},
                          {box.right - 2, middle, fill},
                          {box.right + 1, middle, kBackground},
                          {box.left + 4, box.top, outline},
                          {box.left + 4, box.top - 1, kBackground},
                          {box.left + 4, box.bottom + 1, kBackground}});
}

TEST_F(FrameRenderTest, FailurePagesPlaceIconTitleAndButtons) {
    const COLORREF icon = FixtureColour(frame::kImageStatusIcon);
    for (const FailureCase& c : kFailureCases) {
        SCOPED_TRACE(testing::Message() << "page " << static_cast<int>(c.page) << " lang " << c.langId);
        FrameState state = OnPage(c.page);
        state.langId = c.langId;
        auto canvas = Render(*view_, state);
        ExpectPixels(*canvas, {{c.icon.x, c.icon.y, icon},
                               {c.icon.x + 11, c.icon.y + 11, icon},
                               {c.icon.x - 1, c.icon.y, kBackground},
                               {c.icon.x + 12, c.icon.y + 11, kBackground}});
        EXPECT_GT(InkCount(*canvas, c.title, kBackground), 0);
        EXPECT_EQ(InkCount(*canvas, RECT{c.title.left - 4, 180, c.title.left, 200}, kBackground), 0);

        ExpectTextButton(*canvas, c.close, c.closeOutline, c.closeFill);
        if (c.retry.right) {
            ExpectTextButton(*canvas, c.retry, kGreenOutline, kGreenFill);
        } else {
            EXPECT_EQ(canvas->At(30, 300), kBackground) << "no second button";
        }
    }
}

TEST_F(FrameRenderTest, FailureTitleIsCentredOnTheIconAndNotCutToItsBox) {
    const RECT title = {268, 185, 448, 197};
    const RECT around = {268, 175, 448, 207};
    const UINT line = DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS;
    // Stacked Thai marks and a capital with a ring and an acute reach above,
    // Thai and Latin descenders below the 12-pixel box, whatever the font.
    const std::wstring text = L"\u01FA\u0E1B\u0E31\u0E49 \u0E0E\u0E0F Unduhan gagal!";
    auto texts = MakeTexts({{IDS_DownloadFail, text}});
    auto view = MakeView(texts.get());
    auto canvas = Render(*view, OnPage(FramePage::DownloadFailed));
    auto expected = RenderText(title, text, RGB(0xFF, 0xCC, 0x8F), kBackground, 16, FW_NORMAL, line | DT_NOCLIP);
    EXPECT_TRUE(SameIn(*canvas, *expected, around));
    // The marks reach beyond the icon's edges: the title is not cut to its box.
    EXPECT_GT(InkCount(*canvas, RECT{268, 175, 448, 185}, kBackground) +
                  InkCount(*canvas, RECT{268, 197, 448, 203}, kBackground),
              0);
    auto clipped = RenderText(title, text, RGB(0xFF, 0xCC, 0x8F), kBackground, 16, FW_NORMAL, line);
    EXPECT_FALSE(SameIn(*canvas, *clipped, around));
}

TEST_F(FrameRenderTest, FailureTitleTooWideForItsBoxWidensItRatherThanLosingItsEnd) {
    const std::wstring title = L"The current operating system is not supported by this version of the program.";
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontW(16, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, PROOF_QUALITY,
                             DEFAULT_PITCH | FF_SWISS, L"Tahoma");
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size = {};
    GetTextExtentPoint32W(dc, title.c_str(), static_cast<int>(title.size()), &size);
    SelectObject(dc, old);
    DeleteObject(font);
    DeleteDC(dc);
    ASSERT_GT(size.cx, 488 - 218) << "this check needs a title wider than its box";

    auto texts = MakeTexts({{IDS_IsInvalidSystem, title}});
    auto view = MakeView(texts.get());
    auto canvas = Render(*view, OnPage(FramePage::UnsupportedSystem));
    const RECT widened = {218, 185, std::min(598, 218 + static_cast<int>(size.cx)), 197};
    auto expected = RenderText(widened, title, RGB(0xFF, 0xCC, 0x8F), kBackground, 16, FW_NORMAL,
                               DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOCLIP);
    EXPECT_TRUE(SameIn(*canvas, *expected, RECT{218, 175, 620, 207}));
    EXPECT_GT(RightmostInk(*canvas, RECT{218, 180, 620, 202}, kBackground), 488);
}

TEST_F(FrameRenderTest, InstallFailedShowsTheInstallersMessageElseTheNoSpaceText) {
    const RECT detail = {251, 215, 471, 315};
    const UINT wrapped = DT_WORDBREAK | DT_EDITCONTROL;
    FrameState state = OnPage(FramePage::InstallFailed);
    state.installerMessage = L"A file of the product is in use; close the program and every window of it, then "
                             L"try the installation again.";
    auto withMessage = Render(*view_, state);
    auto message = RenderText(detail, state.installerMessage, RGB(255, 255, 255), kBackground, 13, FW_NORMAL, wrapped);
    EXPECT_TRUE(SameIn(*withMessage, *message, RECT{251, 215, 471, 290}));
    EXPECT_GT(InkCount(*withMessage, RECT{251, 228, 471, 240}, kBackground), 0) << "wrapped onto a second line";

    state.installerMessage.clear();
    auto withoutMessage = Render(*view_, state);
    auto noSpace =
        RenderText(detail, L"There is no Space avaliable!", RGB(255, 255, 255), kBackground, 13, FW_NORMAL, wrapped);
    EXPECT_TRUE(SameIn(*withoutMessage, *noSpace, RECT{251, 215, 471, 290}));
}

TEST_F(FrameRenderTest, LongCheckBoxLabelWidensItsBox) {
    const std::wstring label =
        L"Join the customer experience improvement program and send anonymous usage data every week";
    auto texts = MakeTexts({{IDS_IHaveRead, label}});
    auto view = MakeView(texts.get());
    FrameState state = OnPage(FramePage::Start);
    auto canvas = Render(*view, state);
    const int w = MeasureSmall(label);
    ASSERT_GT(w, 300);
    const RECT box = {174, 273, 174 + w, 293};
    auto expected = RenderText(box, label, RGB(255, 255, 255), kBackground, 13, FW_NORMAL,
                               DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
    EXPECT_TRUE(SameIn(*canvas, *expected, box));
    EXPECT_GE(RightmostInk(*canvas, RECT{174, 273, 620, 293}, kBackground), 174 + w - 3);
    EXPECT_LT(RightmostInk(*canvas, RECT{174, 273, 620, 293}, kBackground), 174 + w);
}

TEST_F(FrameRenderTest, LongerCustomInstallTextMovesArrowAndLinkButKeepsTheRightEnd) {
    const COLORREF arrow = FixtureColour(frame::kImagePanelArrowDown);
    const COLORREF link = RGB(0x56, 0xD5, 0xFF);
    for (const std::wstring text : {L"Custom", L"Custom installation with options"}) {
        SCOPED_TRACE(testing::Message() << "text width " << MeasureSmall(text));
        auto texts = MakeTexts({{IDS_CustomInstall, text}});
        auto view = MakeView(texts.get());
        FrameState state = OnPage(FramePage::Start);
        auto canvas = Render(*view, state);
        const int w = MeasureSmall(text);
        EXPECT_EQ(canvas->At(585 - w, 317), arrow);
        EXPECT_EQ(canvas->At(585 - w + 7, 322), arrow);
        EXPECT_NE(canvas->At(584 - w, 317), arrow);
        // The link's text starts at its box's left edge, 600 - w.
        const int left = LeftmostInk(*canvas, RECT{600 - w - 5, 310, 620, 330}, kBackground);
        EXPECT_GE(left, 600 - w);
        EXPECT_LE(left, 600 - w + 2);
        bool anyLinkColour = false;
        for (int x = 600 - w; x < 605 && !anyLinkColour; ++x) {
            for (int y = 310; y < 330; ++y) anyLinkColour = anyLinkColour || canvas->At(x, y) == link;
        }
        EXPECT_TRUE(anyLinkColour);
        // The box itself: from 600 - w to 605 whatever the text.
        EXPECT_EQ(view->ControlAt(POINT{600 - w, 320}), FrameCommand::CustomInstall);
        EXPECT_EQ(view->ControlAt(POINT{604, 320}), FrameCommand::CustomInstall);
        EXPECT_EQ(view->ControlAt(POINT{599 - w, 320}), FrameCommand::None);
        EXPECT_EQ(view->ControlAt(POINT{605, 320}), FrameCommand::None);
    }
}

TEST_F(FrameRenderTest, HelpUsCheckBoxShowsItsState) {
    FrameState state = OnPage(FramePage::Start);
    auto canvas = Render(*view_, state);
    ExpectPixels(*canvas, {{155, 276, FixtureColour(frame::kImageUnchecked)},
                           {171, 290, FixtureColour(frame::kImageUnchecked)},
                           {172, 290, kBackground}});

    state.helpUs = true;
    auto checked = Render(*view_, state);
    ExpectPixels(*checked, {{155, 276, FixtureColour(frame::kImageChecked)}});
}

TEST_F(FrameRenderTest, TextsLandInTheirBoxesInTheirColourAndFont) {
    FrameState start = OnPage(FramePage::Start);
    FrameState panel = OnPage(FramePage::Start);
    panel.panelExpanded = true;
    panel.languageName = L"Espa\u00f1ol";
    FrameState progress = OnPage(FramePage::Progress);
    progress.progress = 40;
    progress.status = L"Download progress 40%";
    const int folderWidth = MeasureSmall(L"Folder");
    const int nameWidth = MeasureSmall(panel.languageName);
    const COLORREF install = FixtureColour(frame::kImageInstall);

    const PlacedText cases[] = {
        {"Install label", start, {470, 90, 562, 141}, L"Install", kWhite, install, 27, FW_NORMAL, kLine},
        {"statement", start, {154, 195, 412, 225}, CTextTable().Text(IDS_PreInstallStatement), kWhite, kBackground,
         13, FW_NORMAL, kWrapped},
        {"privacy link", start, {155, 230, 355, 245}, L"View privacy policy", kLink, kBackground, 13, FW_NORMAL,
         kLine},
        {"licence link", start, {155, 250, 355, 265}, CTextTable().Text(IDS_Licence), kLink, kBackground, 13,
         FW_NORMAL, kLine},
        {"folder label", panel, {22, 353, 47 + folderWidth, 373}, L"Folder", RGB(0xF4, 0xF4, 0xF4), kPanel, 13,
         FW_BOLD, kCutLine},
        {"language name", panel, {585 - nameWidth, 353, 590, 373}, panel.languageName, kWhite, kPanel, 13, FW_NORMAL,
         kCutLine},
        {"download status", progress, {36, 255, 516, 273}, progress.status, RGB(0xF5, 0xF5, 0xF5), kBackground, 13,
         FW_NORMAL, kCutLine},
    };
    for (const PlacedText& c : cases) {
        SCOPED_TRACE(c.what);
        auto canvas = Render(*view_, c.state);
        auto expected = RenderText(c.box, c.text, c.colour, c.background, c.height, c.weight, c.format);
        EXPECT_TRUE(SameIn(*canvas, *expected, c.box));
        EXPECT_GT(InkCount(*canvas, c.box, c.background), 0);
    }
}

}  // namespace
