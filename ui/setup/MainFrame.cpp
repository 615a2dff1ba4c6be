#include "ui/setup/MainFrame.h"

#include <windowsx.h>

#include "base/AppSettings.h"
#include "base/DebugLog.h"
#include "report/Report.h"
#include "setup/SetupReport.h"
#include "setup/SystemCheck.h"
#include "ui/lessdui/LessDUIWindowClass.h"
#include "ui/setup/Environment.h"
#include "ui/setup/MainFrameDisks.h"
#include "ui/setup/ThankPageSkip.h"

CMainFrame* g_mainFrame = nullptr;

namespace {

lessdui::CWindowClass g_frameClass(L"NuvexMiniSetupFrame", L"IDR_MAINFRAME");
constexpr int kReportKind = 0;

bool IsSupportedSystem()
{
    OSVERSIONINFOEXW version = {};
    if (!Env().WindowsVersion(&version)) return false;
    return IsSupportedWindowsVersion(version.dwMajorVersion, version.dwMinorVersion, version.wServicePackMajor,
                                     version.wProductType, Env().ProcessorArchitecture());
}

// Moves `box` (a window rectangle) into `area` as far as it fits.
RECT ClampInto(RECT box, const RECT& area)
{
    const int width = box.right - box.left;
    const int height = box.bottom - box.top;
    if (box.right > area.right) box.left = area.right - width;
    if (box.bottom > area.bottom) box.top = area.bottom - height;
    if (box.left < area.left) box.left = area.left;
    if (box.top < area.top) box.top = area.top;
    box.right = box.left + width;
    box.bottom = box.top + height;
    return box;
}

}  // namespace

CMainFrame::CMainFrame() : CMainFrame(DownloadControlSeams()) {}

CMainFrame::CMainFrame(const DownloadControlSeams& seams, IFrameDisks* disks)
    : downloadControl(seams), disks_(disks ? *disks : SystemFrameDisks()), tray_(*this)
{
    HMODULE module = GetModuleHandleW(nullptr);
    texts_.Load(module, Env().UserDefaultLangId());
    if (!view_.Load(module)) DebugLog(L"some images of the window are missing");
    view_.SetTexts(&texts_);
    state_.langId = texts_.CurrentLangId();
    state_.languageName = texts_.CurrentName();
    if (!downloadControl.InitWorkFolder()) openPanelAtStart_ = true;
}

CMainFrame::~CMainFrame()
{
    if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
    if (downloadUnfinished_) ReportMark(frame_items::kDownloadUnfinished, kReportKind);
}

HWND CMainFrame::Create(HWND parent, const RECT& rect, DWORD style, DWORD exStyle)
{
    if (!g_frameClass.Register(&CMainFrame::WindowProc)) return nullptr;
    return CreateWindowExW(exStyle, g_frameClass.Name(), kMainFrameTitle, style, rect.left, rect.top, rect.right,
                           rect.bottom, parent, nullptr, GetModuleHandleW(nullptr), this);
}

LRESULT CALLBACK CMainFrame::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = lessdui::WindowObject<CMainFrame>(hwnd, message, lParam);
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCCREATE) self->hwnd_ = hwnd;
    return self->HandleMessage(message, wParam, lParam);
}

LRESULT CMainFrame::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        OnCreate();
        return 0;
    case WM_PAINT:
        view_.Paint(hwnd_, state_);
        return 0;
    case WM_ERASEBKGND:
        return 1;  // the page covers the whole client area
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_SYSCOMMAND:
        return OnSysCommand(wParam, lParam);
    case WM_MOUSEMOVE:
        OnMouseMove(lParam);
        return 0;
    case WM_LBUTTONDOWN:
        OnLButtonDown(lParam);
        return 0;
    case WM_LBUTTONUP:
        OnLButtonUp(lParam);
        return 0;
    case WM_MOUSELEAVE:
        OnMouseLeave();
        return 0;
    case WM_SETCURSOR:
        if (OnSetCursor()) return TRUE;
        break;
    case WM_COMMAND:
        if (tray_.OnCommand(wParam)) return 0;
        break;
    case kTrayCallbackMessage:
        tray_.OnCallback(lParam);
        return 0;
    case WM_COPYDATA:
        OnInstallerResult(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        return TRUE;
    case kMsgDownloadStarted:
        OnDownloadStarted();
        return 0;
    case kMsgDownloadProgress:
        OnDownloadProgress(lParam);
        return 0;
    case kMsgDownloadOver:
        OnDownloadOver(wParam, lParam);
        return 0;
    case kMsgInstallerStarting:
        OnInstallerStarting();
        return 0;
    case kMsgInstallProgress:
        OnInstallProgress(wParam);
        return 0;
    case kMsgInstallerEnded:
        OnInstallerEnded();
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_NCDESTROY: {
        HWND hwnd = hwnd_;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        hwnd_ = nullptr;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    default:
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void CMainFrame::OnCreate()
{
    skipThankPage_ = ShouldSkipThankPage();

    tray_.SetSuppressed(traySuppressed);
    tray_.LoadFrames(GetModuleHandleW(nullptr));
    SetTimer(hwnd_, kArrowTimer, kArrowPeriodMs, nullptr);

    ChooseFolderAtStart();
    if (!installHwndBlock_.Create(hwnd_)) DebugLog(L"MiniInstallHwnd not created (%lu)", GetLastError());
    tray_.Create(hwnd_);

    ApplyWindowShape(kFrameHeight);
    CentreWindow();
    SetWindowLongPtrW(hwnd_, GWL_STYLE, GetWindowLongPtrW(hwnd_, GWL_STYLE) | WS_MINIMIZEBOX);
    SetWindowTextW(hwnd_, kMainFrameTitle);
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), L"IDR_MAINFRAME");
    if (icon) SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SetPropW(hwnd_, kMainFramePropName, reinterpret_cast<HANDLE>(1));

    RunStartChecks();
    RecordCreationItems();

    if (silent) {
        // A silent run whose checks already closed it has nothing to install.
        if (!closePosted_) PressInstall();
    } else if (openPanelAtStart_ && state_.page == FramePage::Start) {
        state_.noSpaceTip = true;
        state_.installEnabled = false;
        SetPanelExpanded(true);
    }
    Refresh();
}

void CMainFrame::ChooseFolderAtStart()
{
    DestinationChoice choice = ChooseDestinationFolder(disks_);
    state_.folder = choice.folder;
    state_.noSpaceTip = false;
    if (choice.openPanel) {
        openPanelAtStart_ = true;
        if (silent) {
            DebugLog(L"no drive has room for the product");
            PostMessageW(hwnd_, WM_CLOSE, 0, 0);
            closePosted_ = true;
        }
    }
    if (!disks_.IsDirectory(state_.folder)) disks_.CreateFolder(state_.folder);
}

void CMainFrame::ApplyWindowShape(int height)
{
    SetWindowPos(hwnd_, nullptr, 0, 0, kFrameWidth, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    HRGN region = CreateRoundRectRgn(1, 1, kFrameWidth, height, 2, 2);
    // The window owns the region from here on, also when the call fails.
    if (region && !SetWindowRgn(hwnd_, region, TRUE)) DeleteObject(region);
}

void CMainFrame::CentreWindow()
{
    RECT box = {};
    GetWindowRect(hwnd_, &box);
    const int width = box.right - box.left;
    const int height = box.bottom - box.top;

    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (!GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &monitor)) return;
    RECT centre = monitor.rcWork;
    HWND owner = GetWindow(hwnd_, GW_OWNER);
    if (owner && IsWindowVisible(owner) && !IsIconic(owner)) GetWindowRect(owner, &centre);

    RECT placed = {};
    placed.left = centre.left + ((centre.right - centre.left) - width) / 2;
    placed.top = centre.top + ((centre.bottom - centre.top) - height) / 2;
    placed.right = placed.left + width;
    placed.bottom = placed.top + height;
    placed = ClampInto(placed, monitor.rcWork);
    SetWindowPos(hwnd_, nullptr, placed.left, placed.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CMainFrame::RunStartChecks()
{
    if (!IsSupportedSystem()) {
        DebugLog(L"this Windows is not supported");
        EnterPage(FramePage::UnsupportedSystem);
        if (silent) {
            PostMessageW(hwnd_, WM_CLOSE, 0, 0);
            closePosted_ = true;
        }
    }
    if (!Env().IsUserAdmin()) {
        DebugLog(L"not running as an administrator");
        EnterPage(FramePage::NotAdmin);
        if (silent) {
            PostMessageW(hwnd_, WM_CLOSE, 0, 0);
            closePosted_ = true;
        }
    }
}

void CMainFrame::RecordCreationItems()
{
    ReportMark(frame_items::kCreated, kReportKind);
    SendSetupReport();
    ReportMark(frame_items::kCreationSent, kReportKind);
}

void CMainFrame::OnDestroy()
{
    KillTimer(hwnd_, kTrayAnimationTimerId);
    KillTimer(hwnd_, kArrowTimer);
    KillTimer(hwnd_, kSilentRetryTimer);
    tray_.Destroy();
    RemovePropW(hwnd_, kMainFramePropName);
    PostQuitMessage(0);
    installHwndBlock_.Close();
}

void CMainFrame::OnTimer(UINT_PTR id)
{
    switch (id) {
    case kTrayAnimationTimerId:
        tray_.OnAnimationTick();
        break;
    case kArrowTimer: {
        state_.arrowFrame = (state_.arrowFrame + 1) % kArrowFrameCount;
        RECT arrow = view_.ArrowBox();
        InvalidateRect(hwnd_, &arrow, FALSE);
        break;
    }
    case kSilentRetryTimer:
        KillTimer(hwnd_, kSilentRetryTimer);
        StartDownloadSequence();
        break;
    default:
        break;
    }
}

LRESULT CMainFrame::OnSysCommand(WPARAM wParam, LPARAM lParam)
{
    // While the setup works, closing only sends it to the background.
    if ((wParam & 0xFFF0) == SC_CLOSE && state_.page == FramePage::Progress) {
        HideToBackground();
        return 0;
    }
    return DefWindowProcW(hwnd_, WM_SYSCOMMAND, wParam, lParam);
}
