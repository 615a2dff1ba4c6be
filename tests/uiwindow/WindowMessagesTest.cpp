// The setup window following the download control (2024 to 2028) and the
// installer (1125, WM_COPYDATA): pages, progress, tooltips, the silent
// variants, the end of the run with its thank-you page, and the report items.
#include <gtest/gtest.h>

#include <vector>

#include "WindowTestSupport.h"
#include "base/AppSettings.h"
#include "ui/setup/WebLinks.h"

namespace {

constexpr LPARAM kFailed = 10001;
constexpr LPARAM kNoNetwork = 10002;
constexpr LPARAM kCorrupt = 10007;
constexpr LPARAM kReady = 10010;
constexpr LPARAM kSigned = 10015;

std::wstring LastTip(const WindowFixture& f)
{
    std::vector<NotifyCall> tips = f.NotifyCallsWith(NIF_TIP);
    return tips.empty() ? std::wstring() : tips.back().data.szTip;
}

TEST(WindowMessages, DownloadStartMarksOnlyTheFirstTimeAndAnimatesTheTray)
{
    WindowFixture f;
    ASSERT_TRUE(f.Create());
    f.frame->Execute(FrameCommand::Install);
    ASSERT_EQ(FramePage::Progress, f.frame->Page());
    EXPECT_EQ(f.frame->Texts().Text(IDS_PreDownloadTip), LastTip(f));
    f.Send(kMsgDownloadStarted);
    f.Send(kMsgDownloadStarted);
    EXPECT_EQ(f.frame->Texts().Text(IDS_StartToDownload), LastTip(f));
    EXPECT_TRUE(f.PumpUntil([&] { return f.frame->Tray().Frame() >= 2; }, 3000)) << "timer 100 moves the icon";

    f.Send(kMsgDownloadOver, 0, kReady);
    EXPECT_EQ(0, f.frame->Tray().Frame()) << "the icon returns to its first frame";
    f.Pump(350);
    EXPECT_EQ(0, f.frame->Tray().Frame()) << "and stays still";

    RecordedItems items = f.Items();
    EXPECT_EQ(1, items.Counter(frame_items::kDownloadStarted));
    EXPECT_EQ(1, items.Counter(frame_items::kInstallPressed));
    EXPECT_EQ(1, items.Counter(frame_items::kSequenceStarted));
}

TEST(WindowMessages, ProgressInHundredthsBecomesPercentTextAndBar)
{
    WindowFixture f;
    ASSERT_TRUE(f.Create());
    f.frame->Execute(FrameCommand::Install);
    const struct {
        LPARAM hundredths;
        int percent;
    } cases[] = {{0, 0}, {99, 0}, {4242, 42}, {10000, 100}, {-5, 0}, {20000, 100}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hundredths);
        f.Send(kMsgDownloadProgress, 0, c.hundredths);
        EXPECT_EQ(c.percent, f.frame->DownloadPercent());
        EXPECT_EQ(c.percent, f.frame->State().progress);
        const std::wstring text = f.frame->Texts().Format(IDS_DownloadProgress, c.percent);
        EXPECT_EQ(text, f.frame->State().status);
        EXPECT_EQ(text, LastTip(f));
    }
}

struct OverCase {
    const char* name;
    bool silent;
    LPARAM code;
    FramePage page;
    bool unfinished;
};

TEST(WindowMessages, DownloadOverBySilenceAndResult)
{
    const OverCase cases[] = {
        {"ready", false, kReady, FramePage::Progress, false},
        {"signed", false, kSigned, FramePage::Progress, false},
        {"no network", false, kNoNetwork, FramePage::DownloadFailed, true},
        {"corrupt manifest", false, kCorrupt, FramePage::DownloadFailed, true},
        {"unknown code", false, 12345, FramePage::DownloadFailed, true},
        {"silent ready", true, kReady, FramePage::Progress, false},
        {"silent failure", true, kFailed, FramePage::Progress, true},
    };
    for (const OverCase& c : cases) {
        SCOPED_TRACE(c.name);
        WindowFixture f;
        ASSERT_TRUE(f.Create(c.silent, false));
        if (!c.silent) f.frame->Execute(FrameCommand::Install);
        f.Send(kMsgDownloadProgress, 0, 5000);
        f.Send(kMsgDownloadOver, 77, c.code);
        EXPECT_EQ(c.page, f.frame->Page());
        EXPECT_EQ(c.unfinished, f.frame->DownloadUnfinished());
        const bool success = !c.unfinished;
        if (success) {
            EXPECT_EQ(100, f.frame->State().progress);
            EXPECT_EQ(f.frame->Texts().Format(IDS_DownloadProgress, 100), LastTip(f));
        } else if (!c.silent) {
            EXPECT_EQ(0, f.frame->State().progress);
            EXPECT_EQ(f.frame->Texts().Text(IDS_DownloadFail), f.frame->State().status);
            EXPECT_EQ(f.frame->Texts().Text(IDS_DownloadFail), LastTip(f));
        } else {
            EXPECT_EQ(50, f.frame->State().progress) << "a silent failure only schedules the retry";
        }
        RecordedItems items = f.Items();
        EXPECT_EQ(success ? 1 : 0, items.Counter(frame_items::kDownloadSucceeded));
        if (success) {
            EXPECT_EQ(std::vector<int32_t>{1}, items.Integers(frame_items::kStartCount));
            EXPECT_EQ(std::vector<int32_t>{77}, items.Integers(frame_items::kAverageSpeed));
        }
        f.Release();
        EXPECT_EQ(c.unfinished ? 1 : 0, f.Items().Counter(frame_items::kDownloadUnfinished))
            << "the window object records an unfinished download when it goes";
    }
}

TEST(WindowMessages, SilentFailureIsRetriedAfterThreeSeconds)
{
    WindowFixture f;
    f.factory.gateBeforeCreate = nullptr;  // every start fails at once
    ASSERT_TRUE(f.Create(true, true));
    const DWORD start = GetTickCount();
    EXPECT_TRUE(f.PumpUntil([&] { return f.frame->StartCount() >= 2; }, 15000));
    EXPECT_GE(GetTickCount() - start, 2500u) << "not before the retry timer";
    EXPECT_EQ(FramePage::Progress, f.frame->Page()) << "a silent run shows no failure page";
    PostMessageW(f.window, WM_CLOSE, 0, 0);
    f.Pump(200);
}

TEST(WindowMessages, RetryCountsStartsAndTheSuccessReportsTheCount)
{
    WindowFixture f;
    f.factory.gateBeforeCreate = nullptr;  // the manifest is refused: each start fails
    ASSERT_TRUE(f.Create());
    f.frame->Execute(FrameCommand::Install);
    ASSERT_TRUE(f.PumpUntil([&] { return f.frame->Page() == FramePage::DownloadFailed; }));
    f.frame->Execute(FrameCommand::Retry);
    EXPECT_NE(FramePage::DownloadFailed, f.frame->Page());
    ASSERT_TRUE(f.PumpUntil([&] { return f.frame->Page() == FramePage::DownloadFailed; }));
    EXPECT_EQ(2, f.frame->StartCount());
    f.Send(kMsgDownloadOver, 5, kReady);

    RecordedItems items = f.Items();
    EXPECT_EQ(1, items.Counter(frame_items::kRetry));
    EXPECT_EQ(2, items.Counter(frame_items::kSequenceStarted));
    EXPECT_EQ(std::vector<int32_t>{2}, items.Integers(frame_items::kStartCount));
}

TEST(WindowMessages, InstallProgressMovesOnlyAfterTheInstallerStarted)
{
    WindowFixture f;
    ASSERT_TRUE(f.Create());
    f.frame->Execute(FrameCommand::Install);
    f.Send(kMsgDownloadOver, 0, kReady);
    f.Send(kMsgInstallProgress, 30);
    EXPECT_EQ(0, f.frame->InstallPercent());
    EXPECT_EQ(100, f.frame->State().progress) << "1125 before 2027 is ignored";

    f.Send(kMsgInstallerStarting);
    EXPECT_TRUE(f.frame->Installing());
    EXPECT_EQ(0, f.frame->State().progress);
    EXPECT_EQ(f.frame->Texts().Text(IDS_InstallTip), f.frame->State().status);
    EXPECT_EQ(f.frame->Texts().Text(IDS_InstallTip), LastTip(f));

    f.Send(kMsgInstallProgress, 55);
    EXPECT_EQ(55, f.frame->InstallPercent());
    EXPECT_EQ(55, f.frame->State().progress);
    EXPECT_EQ(f.frame->Texts().Format(IDS_InstallProgress, 55), f.frame->State().status);
    EXPECT_EQ(f.frame->Texts().Format(IDS_InstallProgress, 55), LastTip(f));
}

struct CopyCase {
    const char* name;
    ULONG_PTR id;
    DWORD size;
    bool withData;
    bool accepted;
};

TEST(WindowMessages, OnlyAResultBlockOfExactly2068BytesWithId1IsRead)
{
    const CopyCase cases[] = {
        {"the block", 1, 2068, true, true},
        {"one byte short", 1, 2067, true, false},
        {"one byte more", 1, 2069, true, false},
        {"empty", 1, 0, true, false},
        {"no data", 1, 2068, false, false},
        {"id 0", 0, 2068, true, false},
        {"id 2", 2, 2068, true, false},
    };
    for (const CopyCase& c : cases) {
        SCOPED_TRACE(c.name);
        WindowFixture f;
        ASSERT_TRUE(f.Create());
        f.frame->Execute(FrameCommand::Install);
        std::vector<BYTE> bytes(4096, 0);
        InstallerResultBlock block = MakeInstallerResultBlock(L"1603", L"broken");
        memcpy(bytes.data(), &block, sizeof(block));
        COPYDATASTRUCT copy = {c.id, c.size, c.withData ? bytes.data() : nullptr};
        f.Send(WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy));
        EXPECT_EQ(c.accepted, f.frame->HasInstallerResult());
        EXPECT_EQ(c.accepted ? FramePage::InstallFailed : FramePage::Progress, f.frame->Page());
    }
}

TEST(WindowMessages, FieldsWithoutTerminatorsEndAtTheirFields)
{
    WindowFixture f;
    ASSERT_TRUE(f.Create());
    f.frame->Execute(FrameCommand::Install);
    // The block sits at the end of a page whose next page is not readable, so
    // a reader running past either field faults.
    SYSTEM_INFO system = {};
    GetSystemInfo(&system);
    const SIZE_T page = system.dwPageSize;
    BYTE* area = static_cast<BYTE*>(VirtualAlloc(nullptr, page * 2, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_TRUE(area);
    DWORD old = 0;
    ASSERT_TRUE(VirtualProtect(area + page, page, PAGE_NOACCESS, &old));
    auto* block = reinterpret_cast<InstallerResultBlock*>(area + page - sizeof(InstallerResultBlock));
    wmemset(block->resultCode, L'7', kInstallerResultCodeChars);
    wmemset(block->message, L'x', kInstallerResultMessageChars);
    COPYDATASTRUCT copy = {kInstallerResultDataId, sizeof(InstallerResultBlock), block};
    f.Send(WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy));
    VirtualFree(area, 0, MEM_RELEASE);

    ASSERT_TRUE(f.frame->HasInstallerResult());
    EXPECT_EQ(std::wstring(kInstallerResultCodeChars, L'7'), f.frame->LastInstallerResult().resultCode);
    EXPECT_EQ(kInstallerResultMessageChars, f.frame->State().installerMessage.size());
    EXPECT_EQ(FramePage::InstallFailed, f.frame->Page());
}

TEST(WindowMessages, SuccessThenEndHidesClosesAndOpensTheThankPage)
{
    for (bool skip : {false, true}) {
        SCOPED_TRACE(skip ? "service running" : "no service");
        WindowFixture f;
        f.env.programPath = L"C:\\Users\\a_b\\Downloads\\BriskoSetup_ab12.exe";
        if (skip) f.env.runningProcesses = {L"BriskoSvc.exe"};
        GetAppSettings().channelName = L"web|gl";
        ASSERT_TRUE(f.Create());
        f.frame->Execute(FrameCommand::Install);
        f.Send(kMsgDownloadOver, 0, kReady);
        f.Send(kMsgInstallerStarting);
        f.Send(kMsgInstallProgress, 80);
        f.SendResult(L"0", L"");
        EXPECT_TRUE(f.frame->InstallSucceeded());
        EXPECT_EQ(100, f.frame->State().progress);
        f.Send(kMsgInstallerEnded);
        EXPECT_FALSE(IsWindowVisible(f.window));
        EXPECT_TRUE(f.PumpUntil([&] { return !IsWindow(f.window); }, 3000)) << "WM_CLOSE was posted";
        if (skip) {
            EXPECT_TRUE(f.env.shellCalls.empty());
        } else {
            ASSERT_EQ(1u, f.env.shellCalls.size());
            EXPECT_EQ(L"iexplore.exe", f.env.shellCalls[0].file);
            EXPECT_EQ(std::wstring(kProductWebHost) + L"/cgi/pixel/thankpage.php?sid=ab12&channel=web%7Cgl",
                      f.env.shellCalls[0].parameters);
        }
        EXPECT_EQ(1, f.Items().Counter(frame_items::kInstallerSucceeded));
    }
}

TEST(WindowMessages, InstallerFailureKeepsItsPageUpInAVisibleRun)
{
    const struct {
        const wchar_t* message;
    } cases[] = {{L"The disk is full."}, {L""}};
    for (const auto& c : cases) {
        WindowFixture f;
        ASSERT_TRUE(f.Create());
        f.frame->Execute(FrameCommand::Install);
        f.Send(kMsgDownloadOver, 0, kReady);
        f.Send(kMsgInstallerStarting);
        f.SendResult(L"1603", c.message);
        EXPECT_EQ(FramePage::InstallFailed, f.frame->Page());
        // An empty message leaves the page to show the no-space text.
        EXPECT_EQ(std::wstring(c.message), f.frame->State().installerMessage);
        f.Send(kMsgInstallerEnded);
        f.Pump(200);
        EXPECT_TRUE(IsWindow(f.window));
        EXPECT_TRUE(IsWindowVisible(f.window));
        EXPECT_EQ(FramePage::InstallFailed, f.frame->Page());
        EXPECT_TRUE(f.env.shellCalls.empty());
        EXPECT_EQ(0, f.Items().Counter(frame_items::kInstallerSucceeded));

        f.frame->Execute(FrameCommand::CloseButton);
        EXPECT_TRUE(f.PumpUntil([&] { return !IsWindow(f.window); }, 3000));
        EXPECT_EQ(1, f.Items().Counter(frame_items::kFailureClosed));
    }
}

TEST(WindowMessages, SilentInstallerFailureEndsTheRun)
{
    WindowFixture f;
    ASSERT_TRUE(f.Create(true, true));
    f.Send(kMsgDownloadOver, 0, kReady);
    f.Send(kMsgInstallerStarting);
    f.SendResult(L"1603", L"no");
    EXPECT_TRUE(f.frame->InstallDone());
    EXPECT_FALSE(f.frame->InstallSucceeded());
    EXPECT_EQ(FramePage::Progress, f.frame->Page());
    f.Send(kMsgInstallerEnded);
    EXPECT_TRUE(f.PumpUntil([&] { return !IsWindow(f.window); }, 3000));
    EXPECT_TRUE(f.env.shellCalls.empty());
}

TEST(WindowMessages, EndWithoutAResultBlockClosesTheWindow)
{
    WindowFixture f;
    ASSERT_TRUE(f.Create());
    f.frame->Execute(FrameCommand::Install);
    f.Send(kMsgDownloadOver, 0, kReady);
    f.Send(kMsgInstallerEnded);  // the installer could not be started
    EXPECT_TRUE(f.PumpUntil([&] { return !IsWindow(f.window); }, 3000));
    EXPECT_TRUE(f.env.shellCalls.empty());
}

}  // namespace
