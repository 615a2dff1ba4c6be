// The setup window following the download control (2024 to 2028) and the
// installer (1125 and its WM_COPYDATA result block).
#include "base/AppSettings.h"
#include "base/DebugLog.h"
#include "report/Report.h"
#include "setup/SetupReport.h"
#include "ui/setup/MainFrame.h"
#include "ui/setup/WebLinks.h"

namespace {

constexpr int kReportKind = 0;

bool IsSuccessCode(LPARAM code) { return code == kResultPackageReady || code == kResultPackageSigned; }

int ClampPercent(long long value) { return value < 0 ? 0 : value > 100 ? 100 : static_cast<int>(value); }

}  // namespace

void CMainFrame::SetTrayTip(const std::wstring& text) { tray_.SetStatus(text.c_str()); }

void CMainFrame::SetProgress(int percent)
{
    state_.progress = ClampPercent(percent);
    Refresh();
}

void CMainFrame::OnDownloadStarted()
{
    if (!downloadStartSeen_) {
        downloadStartSeen_ = true;
        ReportMark(frame_items::kDownloadStarted, kReportKind);
        SendSetupReport();
    }
    SetTrayTip(texts_.Text(IDS_StartToDownload));
    tray_.StartAnimation();
}

void CMainFrame::OnDownloadProgress(LPARAM hundredths)
{
    downloadPercent_ = ClampPercent(static_cast<long long>(hundredths) / 100);
    const std::wstring text = texts_.Format(IDS_DownloadProgress, downloadPercent_);
    SetTrayTip(text);
    state_.status = text;
    SetProgress(downloadPercent_);
}

void CMainFrame::OnDownloadOver(WPARAM averageSpeed, LPARAM code)
{
    if (IsSuccessCode(code)) {
        downloadPercent_ = 100;
        SetTrayTip(texts_.Format(IDS_DownloadProgress, 100));
        SetProgress(100);
        ReportMark(frame_items::kDownloadSucceeded, kReportKind);
        ReportSetInt(frame_items::kStartCount, startCount_, kReportKind);
        ReportSetInt(frame_items::kAverageSpeed, static_cast<int32_t>(averageSpeed), kReportKind);
        SendSetupReport();
        downloadUnfinished_ = false;
    } else {
        downloadUnfinished_ = true;
        DebugLog(L"download sequence failed with %ld", static_cast<long>(code));
        if (silent) {
            SetTimer(hwnd_, kSilentRetryTimer, kSilentRetryDelayMs, nullptr);
            return;
        }
        SetTrayTip(texts_.Text(IDS_DownloadFail));
        downloadPercent_ = 0;
        state_.progress = 0;
        state_.status = texts_.Text(IDS_DownloadFail);
        EnterPage(FramePage::DownloadFailed);
    }
    tray_.StopAnimation();
    Refresh();
}

void CMainFrame::OnInstallerStarting()
{
    installing_ = true;
    installPercent_ = 0;
    state_.status = texts_.Text(IDS_InstallTip);
    SetTrayTip(state_.status);
    SetProgress(0);
}

void CMainFrame::OnInstallProgress(WPARAM percent)
{
    if (!installing_) return;
    installPercent_ = ClampPercent(static_cast<long long>(percent));
    const std::wstring text = texts_.Format(IDS_InstallProgress, installPercent_);
    SetTrayTip(text);
    state_.status = text;
    SetProgress(installPercent_);
}

void CMainFrame::OnInstallerResult(const COPYDATASTRUCT* copyData)
{
    InstallerResult result;
    if (!ParseInstallerResult(copyData, &result)) {
        DebugLog(L"installer result refused");
        return;
    }
    installerResult_ = result;
    haveInstallerResult_ = true;
    if (result.Succeeded()) {
        ReportMark(frame_items::kInstallerSucceeded, kReportKind);
        SetProgress(100);
        installDone_ = true;
        installSucceeded_ = true;
    } else if (silent) {
        installDone_ = true;
    } else {
        state_.installerMessage = result.message;
        EnterPage(FramePage::InstallFailed);
    }
}

void CMainFrame::OnInstallerEnded()
{
    // A visible run keeps the installer's failure on screen.
    if (haveInstallerResult_ && !installDone_) return;
    installing_ = false;
    ShowWindow(hwnd_, SW_HIDE);
    PostMessageW(hwnd_, WM_CLOSE, 0, 0);
    if (installSucceeded_) OpenThankPage(skipThankPage_, GetAppSettings().channelName);
}
