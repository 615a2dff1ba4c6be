// The setup window's pages, its custom panel and what the user's clicks do.
#include "base/AppSettings.h"
#include "base/DebugLog.h"
#include "report/Report.h"
#include "ui/setup/Environment.h"
#include "ui/setup/MainFrame.h"
#include "ui/setup/MainFrameDisks.h"
#include "ui/setup/WebLinks.h"

namespace {

constexpr int kReportKind = 0;

void Mark(uint32_t item) { ReportMark(item, kReportKind); }

}  // namespace

void CMainFrame::Execute(FrameCommand command)
{
    const bool onStart = state_.page == FramePage::Start;
    switch (command) {
    case FrameCommand::None:
        break;
    case FrameCommand::Minimise:
        ShowWindow(hwnd_, SW_MINIMIZE);
        break;
    case FrameCommand::Close:
        HideToBackground();
        break;
    case FrameCommand::Install:
        if (onStart && state_.installEnabled) PressInstall();
        break;
    case FrameCommand::HelpUs:
        if (onStart) ToggleHelpUs();
        break;
    case FrameCommand::Browse:
        if (onStart && state_.panelExpanded) BrowseForFolder();
        break;
    case FrameCommand::Language:
        if (onStart && state_.panelExpanded) OpenLanguagePopup();
        break;
    case FrameCommand::Retry:
        if (state_.page != FramePage::DownloadFailed) break;
        Mark(frame_items::kRetry);
        Mark(frame_items::kSequenceStarted);
        StartDownloadSequence();
        break;
    case FrameCommand::CloseButton:
        if (onStart || state_.page == FramePage::Progress) break;
        Mark(frame_items::kFailureClosed);
        PostMessageW(hwnd_, WM_CLOSE, 0, 0);
        break;
    case FrameCommand::Licence:
        if (!onStart) break;
        Mark(frame_items::kLicence);
        OpenLink(LicenceAddress(texts_.CurrentLangId()));
        break;
    case FrameCommand::Privacy:
        if (onStart) OpenLink(PrivacyAddress(texts_.CurrentLangId()));
        break;
    case FrameCommand::CustomInstall:
        if (!onStart) break;
        Mark(frame_items::kCustomInstall);
        SetPanelExpanded(!state_.panelExpanded);
        break;
    }
}

void CMainFrame::EnterPage(FramePage page)
{
    KillTimer(hwnd_, kArrowTimer);
    if (state_.panelExpanded) SetPanelExpanded(false);
    state_.page = page;
    if (page == FramePage::Start) {
        state_.installEnabled = true;
        SetTimer(hwnd_, kArrowTimer, kArrowPeriodMs, nullptr);
    }
    Refresh();
}

void CMainFrame::SetPanelExpanded(bool expanded)
{
    state_.panelExpanded = expanded;
    ApplyWindowShape(expanded ? kFrameExpandedHeight : kFrameHeight);
    Refresh();
}

bool CMainFrame::RunSpaceCheck()
{
    const bool room = HasRoomFor(disks_, state_.folder);
    state_.noSpaceTip = !room;
    return room;
}

void CMainFrame::PressInstall()
{
    if (!silent) {
        Mark(frame_items::kInstallPressed);
        if (state_.panelExpanded) {
            if (!RunSpaceCheck()) {
                Refresh();
                return;
            }
            SetPanelExpanded(false);
        }
    }
    tray_.StartAnimation();
    StartDownloadSequence();
    Mark(frame_items::kSequenceStarted);
}

void CMainFrame::StartDownloadSequence()
{
    if (!silent && !RunSpaceCheck()) {
        EnterPage(FramePage::Start);
        SetPanelExpanded(true);
        return;
    }
    ++startCount_;
    state_.status = texts_.Text(IDS_PreDownloadTip);
    EnterPage(FramePage::Progress);
    SetTrayTip(texts_.Text(IDS_PreDownloadTip));

    downloadControl.SetHelpUs(state_.helpUs ? 1 : 0);
    if (!downloadControl.BeginDownloads(hwnd_, texts_.CurrentLangId(), state_.folder)) {
        // The previous start is still winding down: try again shortly.
        DebugLog(L"downloads not started: the previous start still runs");
        --startCount_;
        SetTimer(hwnd_, kSilentRetryTimer, kSilentRetryDelayMs, nullptr);
    }
}

void CMainFrame::ToggleHelpUs()
{
    state_.helpUs = !state_.helpUs;
    Mark(state_.helpUs ? frame_items::kHelpUsSet : frame_items::kHelpUsCleared);
    downloadControl.SetHelpUs(state_.helpUs ? 1 : 0);
    Refresh();
}

void CMainFrame::BrowseForFolder()
{
    std::wstring chosen;
    if (!Env().BrowseForFolder(hwnd_, state_.folder, &chosen) || chosen.empty()) return;
    // The destination is a buffer of MAX_PATH characters for the download control.
    if (chosen.size() >= MAX_PATH) return;
    Mark(frame_items::kFolderChosen);
    state_.folder = chosen;
    state_.installEnabled = RunSpaceCheck();
    Refresh();
}

void CMainFrame::OpenLanguagePopup()
{
    if (!languagePopup_.Open(hwnd_, texts_.DisplayNames(), this))
        DebugLog(L"language list not opened (%lu)", GetLastError());
}

void CMainFrame::HideToBackground()
{
    ShowWindow(hwnd_, SW_HIDE);
    tray_.NotifyBackground(texts_.Text(IDS_TrayToolTip_Background).c_str());
}

void CMainFrame::Refresh()
{
    if (!hwnd_) return;
    view_.Arrange(state_);
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void CMainFrame::OnTrayExit() { EndSetupFromTray(hwnd_); }

void CMainFrame::OnLanguageSelected(int row) { ChangeLanguage(texts_, row, *this); }

// The view looks its texts up in the table when it arranges and draws, so the
// controls keep no copies of their own.
void CMainFrame::SetControlText(ControlText, const std::wstring&) {}

void CMainFrame::ReloadInstallButtonImages() {}

void CMainFrame::RepaintWindow()
{
    state_.langId = texts_.CurrentLangId();
    state_.languageName = texts_.CurrentName();
    Refresh();
}
