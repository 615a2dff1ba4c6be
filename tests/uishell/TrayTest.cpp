// The tray icon against a fake shell: what is registered, the animation, the
// tooltip cut, the background notification, left-click on a real window,
// the menu and its "Exit", and a suppressed tray that never talks to the shell.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "FakeEnvironment.h"
#include "base/AppSettings.h"
#include "ui/lessdui/LessDUIWindowClass.h"
#include "ui/setup/SetupTray.h"

namespace {

class CCountingOwner : public ITrayOwner {
public:
    void OnTrayExit() override { ++exits; }
    int exits = 0;
};

CSetupTray* g_routedTray = nullptr;

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (g_routedTray) {
        if (message == kTrayCallbackMessage && g_routedTray->OnCallback(lParam)) return 0;
        if (message == WM_COMMAND && g_routedTray->OnCommand(wParam)) return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

lessdui::CWindowClass g_testWindowClass(L"UishellTrayTestWindow");

HWND CreateTestWindow()
{
    g_testWindowClass.Register(&TestWindowProc);
    return CreateWindowExW(0, g_testWindowClass.Name(), L"tray test", WS_POPUP | WS_VISIBLE, 120, 90, 300, 160,
                           nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

void PumpMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

// Twelve distinct icons, so frames can be told apart.
CSetupTray::FrameIcons MakeFrames()
{
    CSetupTray::FrameIcons icons{};
    BYTE andMask[32] = {};
    BYTE xorMask[32] = {};
    for (int i = 0; i < kTrayFrameCount; ++i) icons[i] = CreateIcon(nullptr, 16, 16, 1, 1, andMask, xorMask);
    return icons;
}

class TrayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window_ = CreateTestWindow();
        ASSERT_NE(window_, nullptr);
        PumpMessages();
    }
    void TearDown() override
    {
        g_routedTray = nullptr;
        if (IsWindow(window_)) DestroyWindow(window_);
        PumpMessages();
    }
    size_t Count(DWORD message) const
    {
        size_t n = 0;
        for (const NotifyCall& call : fake_.notifyCalls) n += call.message == message;
        return n;
    }

    CFakeEnvironment fake_;
    CScopedEnvironment scope_{fake_};
    CCountingOwner owner_;
    HWND window_ = nullptr;
};

TEST_F(TrayTest, CreationRegistersTheFirstFrameWithAnEmptyTip)
{
    CSetupTray tray(owner_);
    CSetupTray::FrameIcons frames = MakeFrames();
    tray.AdoptFrames(frames);
    tray.Create(window_);

    ASSERT_EQ(fake_.notifyCalls.size(), 1u);
    const NotifyCall& add = fake_.notifyCalls[0];
    EXPECT_EQ(add.message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(add.data.cbSize, 952u);
    EXPECT_EQ(add.data.uID, 1000u);
    EXPECT_EQ(add.data.hWnd, window_);
    EXPECT_EQ(add.data.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(add.data.uCallbackMessage, 1524u);
    EXPECT_EQ(add.data.hIcon, frames[0]);
    EXPECT_EQ(add.data.szTip[0], L'\0');
}

TEST_F(TrayTest, MissingFrameResourcesLeaveFramesEmpty)
{
    CSetupTray tray(owner_);
    // This test program carries no icon resources.
    tray.LoadFrames(GetModuleHandleW(nullptr));
    for (int i = 0; i < kTrayFrameCount; ++i) EXPECT_EQ(tray.FrameIcon(i), nullptr);
    tray.Create(window_);
    tray.OnAnimationTick();
    ASSERT_EQ(fake_.notifyCalls.size(), 2u);
    EXPECT_EQ(fake_.notifyCalls[1].data.hIcon, nullptr);
}

TEST_F(TrayTest, AnimationWalksTwelveFramesAndStopsOnTheFirst)
{
    CSetupTray tray(owner_);
    CSetupTray::FrameIcons frames = MakeFrames();
    tray.AdoptFrames(frames);
    tray.Create(window_);
    tray.StartAnimation();

    const int expected[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0, 1, 2};
    for (int frame : expected) {
        tray.OnAnimationTick();
        EXPECT_EQ(tray.Frame(), frame);
        const NotifyCall& call = fake_.notifyCalls.back();
        EXPECT_EQ(call.message, static_cast<DWORD>(NIM_MODIFY));
        EXPECT_EQ(call.data.uFlags, static_cast<UINT>(NIF_ICON));
        EXPECT_EQ(call.data.hIcon, frames[frame]);
    }
    tray.StopAnimation();
    EXPECT_EQ(tray.Frame(), 0);
    EXPECT_EQ(fake_.notifyCalls.back().data.uFlags, static_cast<UINT>(NIF_ICON));
    EXPECT_EQ(fake_.notifyCalls.back().data.hIcon, frames[0]);
    // The stop took the window's timer 100 away; a start puts it back.
    EXPECT_FALSE(KillTimer(window_, kTrayAnimationTimerId));
    tray.StartAnimation();
    EXPECT_TRUE(KillTimer(window_, kTrayAnimationTimerId));
}

TEST_F(TrayTest, AnimationTimerTicksOnTheWindow)
{
    CSetupTray tray(owner_);
    tray.Create(window_);
    tray.StartAnimation();
    MSG msg = {};
    bool ticked = false;
    DWORD deadline = GetTickCount() + 10000;
    while (!ticked && GetTickCount() < deadline) {
        if (PeekMessageW(&msg, window_, WM_TIMER, WM_TIMER, PM_REMOVE)) {
            ticked = msg.wParam == kTrayAnimationTimerId;
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        }
    }
    EXPECT_TRUE(ticked);
    tray.StopAnimation();
}

struct TipCase {
    const char* name;
    std::wstring text;
    std::wstring shown;
};

TEST_F(TrayTest, TooltipIsCutAt127Characters)
{
    std::wstring pair = L"\xD83D\xDE00";
    const TipCase cases[] = {
        {"empty", L"", L""},
        {"short", L"Downloading 42%", L"Downloading 42%"},
        {"exactly 127", std::wstring(127, L'a'), std::wstring(127, L'a')},
        {"128", std::wstring(128, L'b'), std::wstring(127, L'b')},
        {"600", std::wstring(600, L'c'), std::wstring(600, L'c').substr(0, 127)},
        {"pair across the cut", std::wstring(126, L'd') + pair + L"e", std::wstring(126, L'd')},
        {"pair before the cut", std::wstring(125, L'd') + pair + L"e", std::wstring(125, L'd') + pair},
        {"pair at the very end", std::wstring(125, L'd') + pair, std::wstring(125, L'd') + pair},
    };
    CSetupTray tray(owner_);
    tray.Create(window_);
    for (const TipCase& c : cases) {
        tray.SetStatus(c.text.c_str());
        const NotifyCall& call = fake_.notifyCalls.back();
        EXPECT_EQ(call.message, static_cast<DWORD>(NIM_MODIFY)) << c.name;
        EXPECT_EQ(call.data.uFlags, static_cast<UINT>(NIF_TIP)) << c.name;
        EXPECT_EQ(call.data.szTip, c.shown) << c.name;
        EXPECT_EQ(call.data.uID, 1000u);
        EXPECT_EQ(call.data.cbSize, 952u);
    }
    tray.SetStatus(nullptr);
    EXPECT_EQ(fake_.notifyCalls.back().data.szTip[0], L'\0');
}

TEST_F(TrayTest, BackgroundNotificationHasTextOnly)
{
    CSetupTray tray(owner_);
    tray.Create(window_);
    tray.NotifyBackground(L"Running in the background...");
    const NotifyCall& call = fake_.notifyCalls.back();
    EXPECT_EQ(call.message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(call.data.uFlags, static_cast<UINT>(NIF_INFO));
    EXPECT_STREQ(call.data.szInfo, L"Running in the background...");
    EXPECT_EQ(call.data.szInfoTitle[0], L'\0');
    EXPECT_EQ(call.data.dwInfoFlags, 0u);

    std::wstring longText(400, L'x');
    tray.NotifyBackground(longText.c_str());
    EXPECT_EQ(fake_.notifyCalls.back().data.szInfo, longText.substr(0, 255));
}

TEST_F(TrayTest, SuppressedTrayMakesNoShellCallAtAll)
{
    {
        CSetupTray tray(owner_);
        tray.AdoptFrames(MakeFrames());
        tray.SetSuppressed(true);
        tray.Create(window_);
        tray.StartAnimation();
        for (int i = 0; i < 15; ++i) tray.OnAnimationTick();
        tray.SetStatus(L"Downloading 10%");
        tray.NotifyBackground(L"Running in the background...");
        tray.StopAnimation();
        tray.Destroy();
    }
    EXPECT_TRUE(fake_.notifyCalls.empty());
}

TEST_F(TrayTest, IconIsRemovedOnceOnDestroy)
{
    {
        CSetupTray tray(owner_);
        tray.Create(window_);
        tray.Destroy();
        ASSERT_EQ(Count(NIM_DELETE), 1u);
        EXPECT_EQ(fake_.notifyCalls.back().data.uID, 1000u);
        EXPECT_EQ(fake_.notifyCalls.back().data.hWnd, window_);
        // After removal nothing more reaches the shell.
        tray.SetStatus(L"late");
        tray.OnAnimationTick();
    }
    EXPECT_EQ(Count(NIM_DELETE), 1u);
    EXPECT_EQ(Count(NIM_MODIFY), 0u);

    // Without an explicit removal the record removes itself when it goes.
    { CSetupTray tray(owner_); tray.Create(window_); }
    EXPECT_EQ(Count(NIM_DELETE), 2u);
}

TEST_F(TrayTest, RecordWithoutOwnerNeverCallsTheShell)
{
    {
        CShowTray record;
        EXPECT_FALSE(record.ShowIcon(nullptr));
        EXPECT_FALSE(record.SetTip(L"tip"));
        EXPECT_FALSE(record.ShowInfo(L"info"));
        EXPECT_FALSE(record.Remove());
    }
    EXPECT_TRUE(fake_.notifyCalls.empty());
}

TEST_F(TrayTest, LeftClickHidesAndShowsTheWindowInPlace)
{
    CSetupTray tray(owner_);
    tray.Create(window_);
    g_routedTray = &tray;
    RECT before = {};
    GetWindowRect(window_, &before);
    ASSERT_TRUE(IsWindowVisible(window_));

    SendMessageW(window_, kTrayCallbackMessage, kTrayIconId, WM_LBUTTONDOWN);
    EXPECT_FALSE(IsWindowVisible(window_));

    SendMessageW(window_, kTrayCallbackMessage, kTrayIconId, WM_LBUTTONDOWN);
    EXPECT_TRUE(IsWindowVisible(window_));
    RECT after = {};
    GetWindowRect(window_, &after);
    EXPECT_TRUE(EqualRect(&before, &after));
}

TEST_F(TrayTest, LeftClickRestoresAHiddenMinimisedWindow)
{
    CSetupTray tray(owner_);
    tray.Create(window_);
    g_routedTray = &tray;
    ShowWindow(window_, SW_MINIMIZE);
    ShowWindow(window_, SW_HIDE);
    PumpMessages();
    ASSERT_TRUE(IsIconic(window_));
    ASSERT_FALSE(IsWindowVisible(window_));

    SendMessageW(window_, kTrayCallbackMessage, kTrayIconId, WM_LBUTTONDOWN);
    PumpMessages();
    EXPECT_TRUE(IsWindowVisible(window_));
    EXPECT_FALSE(IsIconic(window_));
}

TEST_F(TrayTest, OtherMouseMessagesAreIgnored)
{
    CSetupTray tray(owner_);
    tray.Create(window_);
    const UINT ignored[] = {WM_MOUSEMOVE, WM_LBUTTONUP, WM_RBUTTONUP, WM_LBUTTONDBLCLK, WM_MBUTTONDOWN, NIN_SELECT};
    for (UINT mouse : ignored) {
        EXPECT_FALSE(tray.OnCallback(mouse)) << mouse;
        EXPECT_TRUE(IsWindowVisible(window_)) << mouse;
    }
    EXPECT_TRUE(fake_.menuCalls.empty());
}

TEST_F(TrayTest, RightClickOffersExitAndExitReachesTheOwner)
{
    CSetupTray tray(owner_);
    tray.Create(window_);
    g_routedTray = &tray;
    fake_.cursor = {700, 500};
    fake_.menuChoice = kTrayExitCommandId;
    // The menu is offered while the window is hidden too.
    ShowWindow(window_, SW_HIDE);

    SendMessageW(window_, kTrayCallbackMessage, kTrayIconId, WM_RBUTTONDOWN);

    ASSERT_EQ(fake_.menuCalls.size(), 1u);
    const MenuCall& menu = fake_.menuCalls[0];
    ASSERT_EQ(menu.items.size(), 1u);
    EXPECT_EQ(menu.items[0].first, 130u);
    EXPECT_EQ(menu.items[0].second, L"Exit");
    EXPECT_EQ(menu.flags, static_cast<UINT>(TPM_BOTTOMALIGN | TPM_RIGHTALIGN | TPM_RIGHTBUTTON));
    EXPECT_EQ(menu.at.x, 700);
    EXPECT_EQ(menu.at.y, 500);
    EXPECT_EQ(menu.owner, window_);
    EXPECT_EQ(owner_.exits, 0);

    // The choice arrives as WM_COMMAND 130, followed by the WM_NULL that lets the menu close.
    MSG msg = {};
    ASSERT_TRUE(PeekMessageW(&msg, window_, WM_COMMAND, WM_COMMAND, PM_NOREMOVE));
    ASSERT_TRUE(PeekMessageW(&msg, window_, WM_NULL, WM_NULL, PM_NOREMOVE));
    PumpMessages();
    EXPECT_EQ(owner_.exits, 1);
}

TEST_F(TrayTest, DismissedMenuAndOtherCommandsDoNotExit)
{
    CSetupTray tray(owner_);
    tray.Create(window_);
    g_routedTray = &tray;
    SendMessageW(window_, kTrayCallbackMessage, kTrayIconId, WM_RBUTTONDOWN);
    PumpMessages();
    EXPECT_EQ(fake_.menuCalls.size(), 1u);
    const WPARAM commands[] = {0, 129, 131, MAKEWPARAM(1130, 0)};
    for (WPARAM command : commands) EXPECT_FALSE(tray.OnCommand(command)) << command;
    EXPECT_EQ(owner_.exits, 0);
    EXPECT_TRUE(tray.OnCommand(MAKEWPARAM(130, 0)));
    EXPECT_EQ(owner_.exits, 1);
}

TEST_F(TrayTest, MenuPointOffEveryMonitorMovesIntoTheWorkArea)
{
    POINT onScreen = {10, 20};
    POINT kept = TrayMenuPoint(onScreen);
    EXPECT_EQ(kept.x, 10);
    EXPECT_EQ(kept.y, 20);

    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &info));
    const POINT offScreen[] = {{-30000, 40}, {info.rcMonitor.right + 5000, 40}};
    for (POINT cursor : offScreen) {
        POINT moved = TrayMenuPoint(cursor);
        EXPECT_GE(moved.x, info.rcWork.left) << cursor.x;
        EXPECT_LT(moved.x, info.rcWork.right) << cursor.x;
        EXPECT_EQ(moved.y, 40);
    }
}

TEST_F(TrayTest, ExitEndsTheSetupWithExitCodeOne)
{
    AppSettings& settings = GetAppSettings();
    int savedExitCode = settings.exitCode;
    settings.exitCode = 2;
    EndSetupFromTray(window_);
    EXPECT_EQ(settings.exitCode, 1);
    MSG msg = {};
    ASSERT_TRUE(PeekMessageW(&msg, window_, WM_CLOSE, WM_CLOSE, PM_NOREMOVE));
    PumpMessages();
    EXPECT_FALSE(IsWindow(window_));
    settings.exitCode = savedExitCode;
}

}  // namespace
