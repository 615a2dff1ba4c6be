// The setup window's creation: its shape and place, the block the installer
// reads, the tray icon, the destination folder with its fallback drive, the
// start checks and the report items recorded once they ran.
#include <gtest/gtest.h>

#include "WindowTestSupport.h"
#include "setup/InstallHwndBlock.h"
#include "ui/setup/ShowTray.h"

namespace {

TEST(WindowCreation, ShapeTitlePlaceAndWhatOthersFindOfIt)
{
    WindowFixture f;
    ASSERT_TRUE(f.Create());
    RECT box = {};
    GetWindowRect(f.window, &box);
    EXPECT_EQ(kFrameWidth, box.right - box.left);
    EXPECT_EQ(kFrameHeight, box.bottom - box.top);

    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(f.window, MONITOR_DEFAULTTONEAREST), &monitor));
    const RECT& work = monitor.rcWork;
    EXPECT_LE(std::abs((box.left - work.left) - (work.right - box.right)), 1) << "centred across";
    EXPECT_LE(std::abs((box.top - work.top) - (work.bottom - box.bottom)), 1) << "centred down";

    wchar_t title[64] = {};
    GetWindowTextW(f.window, title, 64);
    EXPECT_STREQ(L"Nuvex Brisko", title);
    EXPECT_TRUE(GetWindowLongPtrW(f.window, GWL_STYLE) & WS_MINIMIZEBOX);
    EXPECT_EQ(reinterpret_cast<HANDLE>(1), GetPropW(f.window, kMainFramePropName));
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    EXPECT_NE(ERROR, GetWindowRgn(f.window, region)) << "the window has its rounded region";
    DeleteObject(region);

    EXPECT_EQ(f.window, ReadInstallHwndBlock()) << "the installer finds the window";
    EXPECT_EQ(FramePage::Start, f.frame->Page());
    EXPECT_FALSE(f.frame->State().panelExpanded);
    EXPECT_FALSE(f.frame->State().noSpaceTip);

    ASSERT_FALSE(f.env.notifyCalls.empty());
    const NotifyCall& add = f.env.notifyCalls.front();
    EXPECT_EQ(DWORD(NIM_ADD), add.message);
    EXPECT_EQ(kTrayRecordSize, add.data.cbSize);
    EXPECT_EQ(kTrayIconId, add.data.uID);
    EXPECT_EQ(kTrayCallbackMessage, add.data.uCallbackMessage);
    EXPECT_EQ(f.window, add.data.hWnd);
    EXPECT_STREQ(L"", add.data.szTip);

    f.Release();
    EXPECT_EQ(nullptr, ReadInstallHwndBlock()) << "the block goes with the window";
    ASSERT_FALSE(f.env.notifyCalls.empty());
    EXPECT_EQ(DWORD(NIM_DELETE), f.env.notifyCalls.back().message);
}

TEST(WindowCreation, SuppressedTrayNeverTalksToTheShell)
{
    WindowFixture f;
    ASSERT_TRUE(f.Create(false, true));
    f.frame->Execute(FrameCommand::Install);
    f.Send(kMsgDownloadStarted);
    f.Send(kMsgDownloadProgress, 0, 5000);
    f.Pump(300);
    f.Release();
    EXPECT_TRUE(f.env.notifyCalls.empty());
}

struct FolderCase {
    const char* name;
    uint64_t programFilesDrive;  // bytes available on C:
    wchar_t bestLetter;
    uint64_t bestFree;
    const wchar_t* folder;
    bool panelOpen;
};

TEST(WindowCreation, DestinationFolderFallsBackToTheBestDrive)
{
    const FolderCase cases[] = {
        {"room on Program Files", 300 * kMiB, L'D', 900 * kMiB, L"C:\\Program Files\\Nuvex Security\\Brisko", false},
        {"exactly 200 MiB is enough", 200 * kMiB, L'D', 900 * kMiB, L"C:\\Program Files\\Nuvex Security\\Brisko",
         false},
        {"best drive has room", 200 * kMiB - 1, L'D', 300 * kMiB, L"D:\\Nuvex Security\\Brisko", false},
        {"best drive at the bound", 10 * kMiB, L'E', 200 * kMiB, L"E:\\Nuvex Security\\Brisko", false},
        {"no drive has room", 10 * kMiB, L'D', 200 * kMiB - 1, L"C:\\Program Files\\Nuvex Security\\Brisko", true},
        {"no fixed drive at all", 10 * kMiB, 0, 0, L"C:\\Program Files\\Nuvex Security\\Brisko", true},
    };
    for (const FolderCase& c : cases) {
        SCOPED_TRACE(c.name);
        WindowFixture f;
        f.disks.available[L"C:"] = c.programFilesDrive;
        f.disks.best.letter = c.bestLetter;
        f.disks.best.freeBytes = c.bestFree;
        ASSERT_TRUE(f.Create());
        EXPECT_EQ(std::wstring(c.folder), f.frame->DestinationFolder());
        ASSERT_EQ(1u, f.disks.created.size()) << "a missing folder is created";
        EXPECT_EQ(std::wstring(c.folder), f.disks.created[0]);
        EXPECT_EQ(c.panelOpen, f.frame->State().panelExpanded);
        EXPECT_EQ(c.panelOpen, f.frame->State().noSpaceTip);
        EXPECT_EQ(!c.panelOpen, f.frame->State().installEnabled);
        EXPECT_EQ(c.panelOpen ? kFrameExpandedHeight : kFrameHeight, f.WindowHeight());
    }
}

TEST(WindowCreation, SilentRunWithoutRoomClosesAndStartsNothing)
{
    WindowFixture f;
    f.disks.available[L"C:"] = 10 * kMiB;
    ASSERT_TRUE(f.Create(true, true));
    EXPECT_TRUE(f.PumpUntil([&] { return !IsWindow(f.window); }, 5000));
    EXPECT_EQ(0, f.frame->StartCount());
}

struct CheckCase {
    const char* name;
    bool admin;
    DWORD major;
    FramePage page;
};

TEST(WindowCreation, StartChecksChooseThePageAndTheLaterOneWins)
{
    const CheckCase cases[] = {
        {"all good", true, 10, FramePage::Start},
        {"not elevated", false, 10, FramePage::NotAdmin},
        {"old system", true, 5, FramePage::UnsupportedSystem},
        {"both: the elevation page wins", false, 5, FramePage::NotAdmin},
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.name);
        {
            WindowFixture f;
            f.env.admin = c.admin;
            f.env.version.dwMajorVersion = c.major;
            ASSERT_TRUE(f.Create());
            EXPECT_EQ(c.page, f.frame->Page());
            EXPECT_TRUE(IsWindowVisible(f.window));
            RecordedItems items = f.Items();
            EXPECT_EQ(1, items.Counter(frame_items::kCreated));
            EXPECT_EQ(1, items.Counter(frame_items::kCreationSent));
        }
        {
            WindowFixture f;
            f.env.admin = c.admin;
            f.env.version.dwMajorVersion = c.major;
            ASSERT_TRUE(f.Create(true, true));
            const bool closes = c.page != FramePage::Start;
            EXPECT_EQ(closes, f.PumpUntil([&] { return !IsWindow(f.window); }, closes ? 5000 : 500))
                << "a silent run closes at once on a failed check";
            EXPECT_EQ(closes ? 0 : 1, f.frame->StartCount()) << "and starts no download";
        }
    }
}

TEST(WindowCreation, SkipsTheThankPageWhileTheProductServiceRuns)
{
    for (bool running : {true, false}) {
        WindowFixture f;
        f.env.runningProcesses = {L"explorer.exe"};
        if (running) f.env.runningProcesses.push_back(L"briskosvc.EXE");
        ASSERT_TRUE(f.Create());
        EXPECT_EQ(running, f.frame->SkipThankPage());
    }
}

}  // namespace
