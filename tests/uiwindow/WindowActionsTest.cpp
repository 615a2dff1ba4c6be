// What the user does to the setup window: closing it on each page, the tray
// icon, the custom panel with its space check, the folder picker, the check
// box, the links and the language pop-up, and the animated arrow.
#include <gtest/gtest.h>

#include "WindowTestSupport.h"
#include "base/AppSettings.h"
#include "ui/setup/WebLinks.h"

namespace {

const FramePage kAllPages[] = {FramePage::Start,         FramePage::Progress, FramePage::DownloadFailed,
                               FramePage::InstallFailed, FramePage::NotAdmin, FramePage::UnsupportedSystem};

const char* PageName(FramePage page)
{
    switch (page) {
    case FramePage::Start: return "Start";
    case FramePage::Progress: return "Progress";
    case FramePage::DownloadFailed: return "DownloadFailed";
    case FramePage::InstallFailed: return "InstallFailed";
    case FramePage::NotAdmin: return "NotAdmin";
    case FramePage::UnsupportedSystem: return "UnsupportedSystem";
    }
    return "?";
}

// Creates the window and brings it to `page` the way a run gets there.
void CreateOnPage(WindowFixture& f, FramePage page)
{
    if (page == FramePage::NotAdmin) f.env.admin = false;
    if (page == FramePage::UnsupportedSystem) f.env.version.dwMajorVersion = 5;
    ASSERT_TRUE(f.Create());
    if (page == FramePage::Progress || page == FramePage::DownloadFailed || page == FramePage::InstallFailed)
        f.frame->Execute(FrameCommand::Install);
    if (page == FramePage::DownloadFailed) f.Send(kMsgDownloadOver, 0, 10002);
    if (page == FramePage::InstallFailed) {
        f.Send(kMsgDownloadOver, 0, 10010);
        f.Send(kMsgInstallerStarting);
        f.SendResult(L"5", L"denied");
    }
    ASSERT_EQ(page, f.frame->Page());
}

bool ShowsBackgroundNotice(const WindowFixture& f)
{
    std::vector<NotifyCall> infos = f.NotifyCallsWith(NIF_INFO);
    return !infos.empty() && f.frame->Texts().Text(IDS_TrayToolTip_Background) == infos.back().data.szInfo;
}

TEST(WindowActions, SysCloseHidesOnlyTheProgressPageAndClosesTheOthers)
{
    for (FramePage page : kAllPages) {
        SCOPED_TRACE(PageName(page));
        WindowFixture f;
        CreateOnPage(f, page);
        ASSERT_TRUE(IsWindowVisible(f.window));
        f.Send(WM_SYSCOMMAND, SC_CLOSE, 0);
        f.Pump(100);
        if (page == FramePage::Progress) {
            EXPECT_TRUE(IsWindow(f.window));
            EXPECT_FALSE(IsWindowVisible(f.window));
            EXPECT_TRUE(ShowsBackgroundNotice(f));
        } else {
            EXPECT_FALSE(IsWindow(f.window));
        }
    }
}

TEST(WindowActions, CloseButtonHidesTheWindowOnEveryPage)
{
    for (FramePage page : kAllPages) {
        SCOPED_TRACE(PageName(page));
        WindowFixture f;
        CreateOnPage(f, page);
        f.frame->Execute(FrameCommand::Close);
        f.Pump(100);
        EXPECT_TRUE(IsWindow(f.window)) << "the process keeps running";
        EXPECT_FALSE(IsWindowVisible(f.window));
        EXPECT_TRUE(ShowsBackgroundNotice(f));
        EXPECT_EQ(page, f.frame->Page());
    }
}

TEST(WindowActions, TrayLeftClickHidesAndShowsAndExitEndsWithCode1)
{
    WindowFixture f;
    ASSERT_TRUE(f.Create());
    RECT before = {};
    GetWindowRect(f.window, &before);
    f.Send(kTrayCallbackMessage, kTrayIconId, WM_LBUTTONDOWN);
    EXPECT_FALSE(IsWindowVisible(f.window));
    f.Send(kTrayCallbackMessage, kTrayIconId, WM_MOUSEMOVE);
    EXPECT_FALSE(IsWindowVisible(f.window)) << "other mouse messages are ignored";
    f.Send(kTrayCallbackMessage, kTrayIconId, WM_LBUTTONDOWN);
    EXPECT_TRUE(IsWindowVisible(f.window));
    RECT after = {};
    GetWindowRect(f.window, &after);
    EXPECT_TRUE(EqualRect(&before, &after)) << "back at the same place";

    f.frame->Execute(FrameCommand::Install);
    f.env.menuChoice = kTrayExitCommandId;
    f.Send(kTrayCallbackMessage, kTrayIconId, WM_RBUTTONDOWN);
    ASSERT_EQ(1u, f.env.menuCalls.size());
    ASSERT_EQ(1u, f.env.menuCalls[0].items.size());
    EXPECT_EQ(kTrayExitCommandId, f.env.menuCalls[0].items[0].first);
    EXPECT_EQ(L"Exit", f.env.menuCalls[0].items[0].second);
    EXPECT_TRUE(f.PumpUntil([&] { return !IsWindow(f.window); }, 3000));
    EXPECT_EQ(1, GetAppSettings().exitCode);
    EXPECT_EQ(1, f.Items().Counter(frame_items::kTrayExit));
}

TEST(WindowActions, PanelOpensTo387AndInstallWithoutRoomOnlyRepaints)
{
    WindowFixture f;
    ASSERT_TRUE(f.Create());
    f.frame->Execute(FrameCommand::CustomInstall);
    EXPECT_TRUE(f.frame->State().panelExpanded);
    EXPECT_EQ(kFrameExpandedHeight, f.WindowHeight());
    f.frame->Execute(FrameCommand::CustomInstall);
    EXPECT_EQ(kFrameHeight, f.WindowHeight());
    f.frame->Execute(FrameCommand::CustomInstall);

    f.disks.available[L"C:"] = 50 * kMiB;
    f.frame->Execute(FrameCommand::Install);
    EXPECT_EQ(FramePage::Start, f.frame->Page());
    EXPECT_TRUE(f.frame->State().panelExpanded);
    EXPECT_TRUE(f.frame->State().noSpaceTip);
    EXPECT_EQ(0, f.frame->StartCount());

    f.disks.available[L"C:"] = 500 * kMiB;
    f.frame->Execute(FrameCommand::Install);
    EXPECT_EQ(FramePage::Progress, f.frame->Page());
    EXPECT_FALSE(f.frame->State().panelExpanded);
    EXPECT_FALSE(f.frame->State().noSpaceTip);
    EXPECT_EQ(kFrameHeight, f.WindowHeight());
    EXPECT_EQ(1, f.frame->StartCount());

    RecordedItems items = f.Items();
    EXPECT_EQ(3, items.Counter(frame_items::kCustomInstall));
    EXPECT_EQ(2, items.Counter(frame_items::kInstallPressed));
    EXPECT_EQ(1, items.Counter(frame_items::kSequenceStarted));
}

TEST(WindowActions, RetryWithoutRoomReturnsToTheStartPageWithThePanelOpen)
{
    WindowFixture f;
    CreateOnPage(f, FramePage::DownloadFailed);
    f.frame->Execute(FrameCommand::HelpUs);  // ignored off the start page
    f.disks.available[L"C:"] = 0;
    f.frame->Execute(FrameCommand::Retry);
    EXPECT_EQ(FramePage::Start, f.frame->Page());
    EXPECT_TRUE(f.frame->State().panelExpanded);
    EXPECT_TRUE(f.frame->State().noSpaceTip);
    EXPECT_FALSE(f.frame->State().helpUs);
    EXPECT_EQ(kFrameExpandedHeight, f.WindowHeight());
}

TEST(WindowActions, ChosenFolderIsCheckedForRoom)
{
    WindowFixture f;
    f.disks.available[L"E:"] = 20 * kMiB;
    f.disks.available[L"D:"] = 2048 * kMiB;
    ASSERT_TRUE(f.Create());
    const std::wstring first = f.frame->DestinationFolder();
    f.frame->Execute(FrameCommand::Browse);
    EXPECT_TRUE(f.env.browseStarts.empty()) << "the picker needs the open panel";
    f.frame->Execute(FrameCommand::CustomInstall);

    f.env.browseAnswer = false;
    f.frame->Execute(FrameCommand::Browse);
    ASSERT_EQ(1u, f.env.browseStarts.size());
    EXPECT_EQ(first, f.env.browseStarts[0]);
    EXPECT_EQ(first, f.frame->DestinationFolder()) << "a cancelled picker changes nothing";

    f.env.browseAnswer = true;
    f.env.browsePath = L"E:\\Apps";
    f.frame->Execute(FrameCommand::Browse);
    EXPECT_EQ(L"E:\\Apps", f.frame->DestinationFolder());
    EXPECT_FALSE(f.frame->State().installEnabled);
    EXPECT_TRUE(f.frame->State().noSpaceTip);

    f.env.browsePath = L"D:\\Big Place";
    f.frame->Execute(FrameCommand::Browse);
    EXPECT_EQ(L"E:\\Apps", f.env.browseStarts.back());
    EXPECT_EQ(L"D:\\Big Place", f.frame->DestinationFolder());
    EXPECT_TRUE(f.frame->State().installEnabled);
    EXPECT_FALSE(f.frame->State().noSpaceTip);
    EXPECT_EQ(2, f.Items().Counter(frame_items::kFolderChosen));
}

TEST(WindowActions, CheckBoxFlipsAndKeepsItsValueAcrossPages)
{
    WindowFixture f;
    ASSERT_TRUE(f.Create());
    EXPECT_FALSE(f.frame->State().helpUs);
    f.frame->Execute(FrameCommand::HelpUs);
    EXPECT_TRUE(f.frame->State().helpUs);
    f.frame->Execute(FrameCommand::HelpUs);
    f.frame->Execute(FrameCommand::HelpUs);
    f.disks.available[L"C:"] = 0;
    f.frame->Execute(FrameCommand::Install);  // fails the space check on the way
    EXPECT_EQ(FramePage::Start, f.frame->Page());
    EXPECT_TRUE(f.frame->State().helpUs);
    RecordedItems items = f.Items();
    EXPECT_EQ(2, items.Counter(frame_items::kHelpUsSet));
    EXPECT_EQ(1, items.Counter(frame_items::kHelpUsCleared));
}

TEST(WindowActions, LinksOpenInTheCurrentLanguageAndThePopupChangesIt)
{
    WindowFixture f;
    f.env.userLangId = 1054;
    ASSERT_TRUE(f.Create());
    ASSERT_GT(f.frame->Texts().LanguageCount(), 1) << "the test carries the product's texts";
    EXPECT_EQ(1054, f.frame->State().langId);

    f.frame->Execute(FrameCommand::Licence);
    f.frame->Execute(FrameCommand::Privacy);
    ASSERT_EQ(2u, f.env.shellCalls.size());
    EXPECT_EQ(LicenceAddress(1054), f.env.shellCalls[0].file);
    EXPECT_EQ(PrivacyAddress(1054), f.env.shellCalls[1].file);
    EXPECT_EQ(1, f.Items().Counter(frame_items::kLicence));

    f.frame->Execute(FrameCommand::CustomInstall);
    f.frame->Execute(FrameCommand::Language);
    HWND popup = f.frame->LanguagePopup().Handle();
    ASSERT_TRUE(popup);
    EXPECT_TRUE(IsWindowVisible(popup));
    SendMessageW(popup, WM_MOUSEMOVE, 0, MAKELPARAM(5, 3));  // the first row: English
    SendMessageW(popup, WM_LBUTTONUP, 0, MAKELPARAM(5, 3));
    EXPECT_EQ(1033, f.frame->State().langId);
    EXPECT_EQ(L"English", f.frame->State().languageName);
    f.frame->Execute(FrameCommand::Licence);
    EXPECT_EQ(LicenceAddress(1033), f.env.shellCalls.back().file);
}

TEST(WindowActions, ArrowMovesOnlyOnTheStartPage)
{
    WindowFixture f;
    ASSERT_TRUE(f.Create());
    const int first = f.frame->State().arrowFrame;
    EXPECT_TRUE(f.PumpUntil([&] { return f.frame->State().arrowFrame != first; }, 3000));
    f.frame->Execute(FrameCommand::Install);
    const int still = f.frame->State().arrowFrame;
    f.Pump(400);
    EXPECT_EQ(still, f.frame->State().arrowFrame);
}

}  // namespace
