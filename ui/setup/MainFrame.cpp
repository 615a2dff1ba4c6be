#include "ui/setup/MainFrame.h"

#include <shellapi.h>
#include <shlobj.h>

#include "base/DebugLog.h"
#include "report/Report.h"
#include "setup/SetupReport.h"
#include "setup/SystemCheck.h"

CMainFrame* g_mainFrame = nullptr;

namespace {

constexpr wchar_t kClassName[] = L"NuvexMiniSetupFrame";
constexpr int kWidth = 520;
constexpr int kHeight = 340;
constexpr int kReportKind = 0;

constexpr uint32_t kItemCreated = 0x05002333;
constexpr uint32_t kItemCreationSent = 0x0500233A;
constexpr uint32_t kItemDownloadStarted = 0x0500232D;
constexpr uint32_t kItemDownloadSucceeded = 0x0500232E;
constexpr uint32_t kItemStartCount = 0x04001B5D;
constexpr uint32_t kItemAverageSpeed = 0x04001B5E;
constexpr uint32_t kItemSequenceStarted = 0x0500233F;
constexpr uint32_t kItemDownloadUnfinished = 0x0500233E;
constexpr uint32_t kItemInstallerSucceeded = 0x05002341;

std::wstring DefaultDestinationFolder()
{
    wchar_t programFiles[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, programFiles, CSIDL_PROGRAM_FILES, TRUE)) return std::wstring();
    return std::wstring(programFiles) + L"\\Nuvex Security\\Brisko";
}

bool IsSuccessCode(LPARAM code) { return code == kResultPackageReady || code == kResultPackageSigned; }

ATOM RegisterFrameClass(WNDPROC proc)
{
    static ATOM atom = 0;
    if (atom) return atom;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(wc.hInstance, L"IDR_MAINFRAME");
    wc.lpszClassName = kClassName;
    atom = RegisterClassExW(&wc);
    return atom;
}

}  // namespace

CMainFrame::CMainFrame() : CMainFrame(DownloadControlSeams()) {}

CMainFrame::CMainFrame(const DownloadControlSeams& seams) : downloadControl(seams)
{
    if (!downloadControl.InitWorkFolder()) openPanelAtStart_ = true;
}

CMainFrame::~CMainFrame()
{
    if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
    if (downloadUnfinished_) ReportMark(kItemDownloadUnfinished, kReportKind);
}

HWND CMainFrame::Create(HWND parent, const RECT& rect, DWORD style, DWORD exStyle)
{
    if (!RegisterFrameClass(&CMainFrame::WindowProc)) return nullptr;
    return CreateWindowExW(exStyle, kClassName, L"Nuvex Brisko", style, rect.left, rect.top, rect.right, rect.bottom,
                           parent, nullptr, GetModuleHandleW(nullptr), this);
}

LRESULT CALLBACK CMainFrame::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CMainFrame* self = reinterpret_cast<CMainFrame*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self = static_cast<CMainFrame*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    return self->HandleMessage(message, wParam, lParam);
}

LRESULT CMainFrame::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        OnCreate();
        return 0;
    case WM_TIMER:
        if (wParam == kSilentRetryTimer) {
            KillTimer(hwnd_, kSilentRetryTimer);
            StartDownloadSequence();
        }
        return 0;
    case kMsgDownloadStarted:
        OnDownloadStarted();
        return 0;
    case kMsgDownloadProgress:
        downloadPercent_ = int(lParam / 100);
        InvalidateRect(hwnd_, nullptr, FALSE);
        return 0;
    case kMsgDownloadOver:
        OnDownloadOver(wParam, lParam);
        return 0;
    case kMsgInstallerStarting:
        installing_ = true;
        installPercent_ = 0;
        InvalidateRect(hwnd_, nullptr, FALSE);
        return 0;
    case kMsgInstallProgress:
        if (installing_) {
            installPercent_ = int(wParam);
            InvalidateRect(hwnd_, nullptr, FALSE);
        }
        return 0;
    case WM_COPYDATA:
        OnInstallerResult(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        return TRUE;
    case kMsgInstallerEnded:
        OnInstallerEnded();
        return 0;
    case WM_PAINT:
        Paint();
        return 0;
    case WM_CLOSE:
        DestroyWindow(hwnd_);
        return 0;
    case WM_DESTROY:
        KillTimer(hwnd_, kSilentRetryTimer);
        RemovePropW(hwnd_, kMainFramePropName);
        installHwndBlock_.Close();
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY: {
        HWND hwnd = hwnd_;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        hwnd_ = nullptr;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    default:
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

void CMainFrame::OnCreate()
{
    SetPropW(hwnd_, kMainFramePropName, reinterpret_cast<HANDLE>(1));
    int x = (GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
    SetWindowPos(hwnd_, nullptr, x, y, kWidth, kHeight, SWP_NOZORDER | SWP_NOACTIVATE);

    destinationFolder_ = DefaultDestinationFolder();
    if (!destinationFolder_.empty() && GetFileAttributesW(destinationFolder_.c_str()) == INVALID_FILE_ATTRIBUTES)
        SHCreateDirectoryExW(nullptr, (destinationFolder_ + L"\\").c_str(), nullptr);
    if (!installHwndBlock_.Create(hwnd_)) DebugLog(L"MiniInstallHwnd not created (%lu)", GetLastError());

    bool checksPass = StartChecksPass();
    ReportMark(kItemCreated, kReportKind);
    SendSetupReport();
    ReportMark(kItemCreationSent, kReportKind);
    if (!checksPass) return;
    if (silent) PressInstall();
}

bool CMainFrame::StartChecksPass()
{
    bool pass = true;
    if (!IsSupportedWindows()) {
        DebugLog(L"this Windows is not supported");
        pass = false;
    }
    if (!IsUserAnAdmin()) {
        DebugLog(L"not running as an administrator");
        pass = false;
    }
    // A silent run has nobody to tell: it ends at once.
    if (!pass && silent) PostMessageW(hwnd_, WM_CLOSE, 0, 0);
    return pass;
}

void CMainFrame::PressInstall()
{
    StartDownloadSequence();
    ReportMark(kItemSequenceStarted, kReportKind);
}

void CMainFrame::StartDownloadSequence()
{
    ++startCount_;
    downloadPercent_ = 0;
    InvalidateRect(hwnd_, nullptr, FALSE);
    if (!downloadControl.BeginDownloads(hwnd_, GetUserDefaultUILanguage(), destinationFolder_) && silent) {
        // The previous start is still winding down: a silent run tries again later.
        SetTimer(hwnd_, kSilentRetryTimer, kSilentRetryDelayMs, nullptr);
    }
}

void CMainFrame::OnDownloadStarted()
{
    if (downloadStartSeen_) return;
    downloadStartSeen_ = true;
    ReportMark(kItemDownloadStarted, kReportKind);
    SendSetupReport();
}

void CMainFrame::OnDownloadOver(WPARAM averageSpeed, LPARAM code)
{
    if (IsSuccessCode(code)) {
        downloadPercent_ = 100;
        downloadUnfinished_ = false;
        ReportMark(kItemDownloadSucceeded, kReportKind);
        ReportSetInt(kItemStartCount, startCount_, kReportKind);
        ReportSetInt(kItemAverageSpeed, int32_t(averageSpeed), kReportKind);
        SendSetupReport();
    } else {
        downloadUnfinished_ = true;
        DebugLog(L"download sequence failed with %ld", long(code));
        if (silent) {
            SetTimer(hwnd_, kSilentRetryTimer, kSilentRetryDelayMs, nullptr);
            return;
        }
        downloadPercent_ = 0;
    }
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void CMainFrame::OnInstallerResult(const COPYDATASTRUCT* copyData)
{
    InstallerResult result;
    if (!ParseInstallerResult(copyData, &result)) return;
    installerResult_ = result;
    haveInstallerResult_ = true;
    if (result.Succeeded()) {
        ReportMark(kItemInstallerSucceeded, kReportKind);
        installPercent_ = 100;
        installDone_ = true;
        installSucceeded_ = true;
    } else if (silent) {
        installDone_ = true;
    }
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void CMainFrame::OnInstallerEnded()
{
    installing_ = false;
    // A visible run keeps the installer's failure on screen.
    if (haveInstallerResult_ && !installDone_) return;
    ShowWindow(hwnd_, SW_HIDE);
    PostMessageW(hwnd_, WM_CLOSE, 0, 0);
}

void CMainFrame::Paint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    RECT client;
    GetClientRect(hwnd_, &client);
    HBRUSH background = CreateSolidBrush(RGB(0x1F, 0x5F, 0xB8));
    FillRect(dc, &client, background);
    DeleteObject(background);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    HFONT font = CreateFontW(-28, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Tahoma");
    HGDIOBJ old = SelectObject(dc, font);
    DrawTextW(dc, L"Nuvex Brisko", -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, old);
    DeleteObject(font);
    EndPaint(hwnd_, &ps);
}
