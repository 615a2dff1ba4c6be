// The language pop-up: where it opens, which row the mouse hovers, what a
// click or a click elsewhere does, how it is drawn; and what a language change
// does to the texts the window's controls hold.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "DibCanvas.h"
#include "ui/lessdui/LessDUIWindowClass.h"
#include "ui/setup/LanguageChange.h"
#include "ui/setup/LanguageSelectWnd.h"
#include "ui/setup/TextTable.h"

namespace {

const std::vector<std::wstring> kSixNames = {L"English", L"ไทย", L"Português", L"Indonesia", L"Español", L"繁體中文"};

// A stand-in for the setup window: a plain top-level window at a known place.
class OwnerWindow {
public:
    OwnerWindow(int x, int y)
    {
        static lessdui::CWindowClass ownerClass(L"UiTextsTestOwner");
        ownerClass.Register(&DefWindowProcW);
        hwnd_ = CreateWindowExW(0, ownerClass.Name(), L"owner", WS_POPUP | WS_VISIBLE, x, y, 620, 387, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~OwnerWindow()
    {
        if (hwnd_) DestroyWindow(hwnd_);
    }
    HWND Handle() const { return hwnd_; }

private:
    HWND hwnd_ = nullptr;
};

struct RecordingSink : ILanguageSelectSink {
    void OnLanguageSelected(int row) override { rows.push_back(row); }
    std::vector<int> rows;
};

struct RecordingTarget : ILanguageTextTarget {
    void SetControlText(ControlText control, const std::wstring& text) override
    {
        texts[control] = text;
        calls.push_back(control == ControlText::InstallButton ? "install-text" : "text");
    }
    void ReloadInstallButtonImages() override { calls.push_back("install-images"); }
    void RepaintWindow() override { calls.push_back("repaint"); }
    std::map<ControlText, std::wstring> texts;
    std::vector<std::string> calls;
};

// What the setup window does with a chosen row.
struct ChangingSink : ILanguageSelectSink {
    ChangingSink(CTextTable& table, ILanguageTextTarget& target) : table(table), target(target) {}
    void OnLanguageSelected(int row) override { ChangeLanguage(table, row, target); }
    CTextTable& table;
    ILanguageTextTarget& target;
};

LPARAM Point(int x, int y) { return MAKELPARAM(x, y); }

void PumpMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

COLORREF PixelOf(const CDibCanvas& canvas, int x, int y)
{
    const uint32_t bgra = canvas.Pixel(x, y);
    return RGB((bgra >> 16) & 0xFF, (bgra >> 8) & 0xFF, bgra & 0xFF);
}

}  // namespace

TEST(LanguagePopup, HoveredRowIsYDividedBy24)
{
    struct Case {
        int y;
        int row;
    };
    // Rows are 23 pixels apart but the hover divides by 24: the top 5 pixels
    // of the sixth row (y = 115..119) still hover the fifth.
    const Case cases[] = {{0, 0}, {23, 0}, {24, 1}, {5 * 24 - 5, 4}, {119, 4}, {120, 5}, {138, 5}, {-3, 0}};
    for (const Case& c : cases) EXPECT_EQ(CLanguageSelectWnd::RowAt(c.y, 6), c.row) << "y = " << c.y;
    EXPECT_EQ(CLanguageSelectWnd::RowAt(500, 6), 5) << "never past the last row";
}

TEST(LanguagePopup, OpensUnderTheLanguageNameWithOneRowPerLanguage)
{
    RECT six = CLanguageSelectWnd::PlacementInOwner(6, 6);
    EXPECT_EQ(six.left, 520);
    EXPECT_EQ(six.right, 590);
    EXPECT_EQ(six.top, 367);
    EXPECT_EQ(six.bottom, 367 + 23 * 6 + 1);
    RECT many = CLanguageSelectWnd::PlacementInOwner(40, 6);
    EXPECT_EQ(many.bottom - many.top, 23 * 32 + 1) << "at most 32 rows";

    OwnerWindow owner(100, 80);
    ASSERT_NE(owner.Handle(), nullptr);
    CLanguageSelectWnd popup;
    RecordingSink sink;
    ASSERT_TRUE(popup.Open(owner.Handle(), kSixNames, &sink));
    HWND first = popup.Handle();
    RECT onScreen;
    GetWindowRect(first, &onScreen);
    POINT origin = {0, 0};
    ClientToScreen(owner.Handle(), &origin);
    EXPECT_EQ(onScreen.left, origin.x + 520);
    EXPECT_EQ(onScreen.top, origin.y + 367);
    EXPECT_EQ(onScreen.right - onScreen.left, 70);
    EXPECT_EQ(onScreen.bottom - onScreen.top, 139);
    EXPECT_TRUE(IsWindowVisible(first));
    EXPECT_EQ(GetWindow(first, GW_OWNER), owner.Handle());
    EXPECT_EQ(GetWindowLongW(first, GWL_STYLE) & WS_POPUP, WS_POPUP);

    // Opened again after the owner moved: the same window, placed anew.
    ShowWindow(first, SW_HIDE);
    SetWindowPos(owner.Handle(), nullptr, 200, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ASSERT_TRUE(popup.Open(owner.Handle(), kSixNames, &sink));
    EXPECT_EQ(popup.Handle(), first);
    GetWindowRect(first, &onScreen);
    EXPECT_EQ(onScreen.left, 200 + 520);
    EXPECT_EQ(onScreen.top, 100 + 367);
    PumpMessages();
}

TEST(LanguagePopup, ClickPicksTheHoveredRowAndHides)
{
    OwnerWindow owner(50, 50);
    CLanguageSelectWnd popup;
    RecordingSink sink;
    ASSERT_TRUE(popup.Open(owner.Handle(), kSixNames, &sink));
    EXPECT_EQ(popup.HoveredRow(), 0);
    SendMessageW(popup.Handle(), WM_MOUSEMOVE, 0, Point(30, 5 * 24 - 5));
    EXPECT_EQ(popup.HoveredRow(), 4);
    SendMessageW(popup.Handle(), WM_MOUSEMOVE, 0, Point(30, 130));
    EXPECT_EQ(popup.HoveredRow(), 5);
    SendMessageW(popup.Handle(), WM_LBUTTONUP, 0, Point(30, 130));
    EXPECT_EQ(sink.rows, std::vector<int>{5});
    EXPECT_FALSE(IsWindowVisible(popup.Handle()));
    PumpMessages();
}

TEST(LanguagePopup, LosingActivationOrFocusHidesWithoutChoosing)
{
    OwnerWindow owner(50, 50);
    CLanguageSelectWnd popup;
    RecordingSink sink;
    for (UINT message : {UINT(WM_ACTIVATE), UINT(WM_KILLFOCUS)}) {
        SCOPED_TRACE(message);
        ASSERT_TRUE(popup.Open(owner.Handle(), kSixNames, &sink));
        SendMessageW(popup.Handle(), WM_MOUSEMOVE, 0, Point(30, 50));
        ASSERT_TRUE(IsWindowVisible(popup.Handle()));
        SendMessageW(popup.Handle(), message, message == WM_ACTIVATE ? WA_INACTIVE : 0, 0);
        EXPECT_FALSE(IsWindowVisible(popup.Handle()));
    }
    // Activation itself does not hide it.
    ASSERT_TRUE(popup.Open(owner.Handle(), kSixNames, &sink));
    SendMessageW(popup.Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_TRUE(IsWindowVisible(popup.Handle()));
    EXPECT_TRUE(sink.rows.empty());
    PumpMessages();
}

TEST(LanguagePopup, ListIsCappedAt32Rows)
{
    std::vector<std::wstring> names;
    for (int i = 0; i < 40; ++i) names.push_back(L"L" + std::to_wstring(i));
    OwnerWindow owner(0, 0);
    CLanguageSelectWnd popup;
    ASSERT_TRUE(popup.Open(owner.Handle(), names, nullptr));
    EXPECT_EQ(popup.Names().size(), 32u);
    RECT box;
    GetWindowRect(popup.Handle(), &box);
    EXPECT_EQ(box.bottom - box.top, 23 * 32 + 1);
    SendMessageW(popup.Handle(), WM_LBUTTONUP, 0, Point(5, 5));  // no sink: only hides
    EXPECT_FALSE(IsWindowVisible(popup.Handle()));
    PumpMessages();
}

TEST(LanguagePopup, PaintsWhiteRowsWithGreyTextAndTheHoveredRowInBlue)
{
    const int width = 70, height = 23 * 6 + 1, hovered = 2;
    CDibCanvas canvas(width, height, RGB(0, 0, 0));
    ASSERT_TRUE(canvas.Valid());
    HDC dc = canvas.Dc();
    HFONT font = CreateFontW(13, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, PROOF_QUALITY, FF_SWISS,
                             L"Tahoma");
    RECT client = {0, 0, width, height};
    PaintLanguageList(dc, client, kSixNames, hovered, font);

    const COLORREF white = RGB(255, 255, 255), border = RGB(0xD2, 0xD2, 0xD2), blue = RGB(0x2C, 0x90, 0xFF);
    // The outer border.
    EXPECT_EQ(PixelOf(canvas, 0, 0), border);
    EXPECT_EQ(PixelOf(canvas, width - 1, 70), border);
    EXPECT_EQ(PixelOf(canvas, 30, height - 1), border);
    // The hovered row (y 46..69) is blue inside its own border lines.
    EXPECT_EQ(PixelOf(canvas, 66, 23 * hovered), border);
    EXPECT_EQ(PixelOf(canvas, 66, 23 * hovered + 23), border);
    EXPECT_EQ(PixelOf(canvas, 66, 23 * hovered + 1), blue);
    EXPECT_EQ(PixelOf(canvas, 2, 23 * hovered + 12), blue);
    // Other rows are white behind their text, and the text is there.
    for (int row : {0, 1, 3, 4, 5}) {
        SCOPED_TRACE(row);
        EXPECT_EQ(PixelOf(canvas, 2, 23 * row + 12), white);
        EXPECT_EQ(PixelOf(canvas, 66, 23 * row + 12), white);
        int inked = 0, blueish = 0;
        for (int y = 23 * row + 2; y < 23 * row + 22; ++y)
            for (int x = 5; x < 60; ++x) {
                COLORREF c = PixelOf(canvas, x, y);
                if (c != white) ++inked;
                if (c == blue) ++blueish;
            }
        EXPECT_GT(inked, 10) << "no text drawn";
        EXPECT_EQ(blueish, 0);
    }
    // The hovered row's text is white on blue; nothing before x = 5 is ink.
    int whiteInk = 0;
    for (int y = 23 * hovered + 2; y < 23 * hovered + 22; ++y)
        for (int x = 5; x < 60; ++x)
            if (PixelOf(canvas, x, y) == white) ++whiteInk;
    EXPECT_GT(whiteInk, 10);
    for (int y = 1; y < height - 1; ++y) {
        if (y % 23 == 0) continue;  // border lines
        EXPECT_NE(PixelOf(canvas, 3, y), RGB(0x99, 0x99, 0x99)) << "text left of x = 5";
    }

    DeleteObject(font);
}

TEST(LanguageChange, RefreshesEveryControlTextThenRepaints)
{
    CTextTable table;
    table.Load(GetModuleHandleW(nullptr), 1033);
    RecordingTarget target;
    ASSERT_TRUE(ChangeLanguage(table, 1, target));
    EXPECT_EQ(table.CurrentLangId(), 1054);
    const std::map<ControlText, std::wstring> thai = {
        {ControlText::LicenceLink, table.Text(IDS_Licence, 1)},
        {ControlText::PrivacyLink, table.Text(IDS_ViewPrivacyPolicy, 1)},
        {ControlText::CustomInstallLink, table.Text(IDS_CustomInstall, 1)},
        {ControlText::RetryButton, table.Text(IDS_ButtonRetry, 1)},
        {ControlText::CloseButton, table.Text(IDS_ButtonClose, 1)},
        {ControlText::InstallButton, L"ติดตั้ง"},
    };
    EXPECT_EQ(target.texts, thai);
    EXPECT_EQ(target.texts[ControlText::CloseButton], L"ปิด");
    // The Install button gets its images back before its label; the window repaints last.
    const std::vector<std::string> order = {"text", "text", "text", "text", "text",
                                            "install-images", "install-text", "repaint"};
    EXPECT_EQ(target.calls, order);

    RecordingTarget untouched;
    EXPECT_FALSE(ChangeLanguage(table, 6, untouched));
    EXPECT_TRUE(untouched.calls.empty());
    EXPECT_EQ(table.CurrentLangId(), 1054);
}

TEST(LanguageChange, ChoosingARowInThePopupSwitchesTheTexts)
{
    CTextTable table;
    table.Load(GetModuleHandleW(nullptr), 1033);
    RecordingTarget target;
    ChangingSink sink(table, target);
    OwnerWindow owner(10, 10);
    CLanguageSelectWnd popup;
    ASSERT_TRUE(popup.Open(owner.Handle(), table.DisplayNames(), &sink));
    SendMessageW(popup.Handle(), WM_MOUSEMOVE, 0, Point(20, 23 * 5 + 10));
    SendMessageW(popup.Handle(), WM_LBUTTONUP, 0, Point(20, 23 * 5 + 10));
    EXPECT_EQ(table.CurrentLangId(), 1028);
    EXPECT_EQ(table.CurrentName(), L"繁體中文");
    EXPECT_EQ(target.texts[ControlText::InstallButton], L"安裝");
    EXPECT_EQ(target.texts[ControlText::RetryButton], L"重試");
    EXPECT_EQ(target.texts[ControlText::LicenceLink], L"檢視授權合約");
    EXPECT_FALSE(IsWindowVisible(popup.Handle()));
    PumpMessages();
}
