#pragma once
// The setup window: one custom-drawn top-level window. The user accepts the
// terms, may open the custom panel (folder and language) and presses Install;
// the window then follows the download control and the installer through
// their messages, offers Retry/Close on failures, and at the end hides itself,
// opens the thank-you page and closes. It also owns the tray icon. A silent run
// presses Install during creation, retries failed downloads every three
// seconds and never shows a failure page.
#include <windows.h>

#include <string>

#include "setup/DownloadControl.h"
#include "setup/InstallHwndBlock.h"
#include "setup/WindowContract.h"
#include "ui/setup/FrameView.h"
#include "ui/setup/LanguageChange.h"
#include "ui/setup/LanguageSelectWnd.h"
#include "ui/setup/SetupTray.h"
#include "ui/setup/TextTable.h"

class IFrameDisks;

class CMainFrame : private ITrayOwner, private ILanguageSelectSink, private ILanguageTextTarget {
public:
    CMainFrame();
    // Tests hand the download control their own engine and installer runner,
    // and the window their own drives (nullptr: the system's).
    explicit CMainFrame(const DownloadControlSeams& seams, IFrameDisks* disks = nullptr);
    ~CMainFrame();
    CMainFrame(const CMainFrame&) = delete;
    CMainFrame& operator=(const CMainFrame&) = delete;

    HWND Create(HWND parent, const RECT& rect, DWORD style, DWORD exStyle);
    HWND Handle() const { return hwnd_; }

    bool silent = false;
    bool traySuppressed = false;
    CDownloadControl downloadControl;

    // What the run has seen, for the exit report and for tests.
    FramePage Page() const { return state_.page; }
    const FrameState& State() const { return state_; }
    int StartCount() const { return startCount_; }
    int DownloadPercent() const { return downloadPercent_; }
    int InstallPercent() const { return installPercent_; }
    bool Installing() const { return installing_; }
    bool InstallDone() const { return installDone_; }
    bool InstallSucceeded() const { return installSucceeded_; }
    bool DownloadUnfinished() const { return downloadUnfinished_; }
    bool SkipThankPage() const { return skipThankPage_; }
    bool HasInstallerResult() const { return haveInstallerResult_; }
    const InstallerResult& LastInstallerResult() const { return installerResult_; }
    const std::wstring& DestinationFolder() const { return state_.folder; }
    const CTextTable& Texts() const { return texts_; }
    const CSetupTray& Tray() const { return tray_; }
    const CLanguageSelectWnd& LanguagePopup() const { return languagePopup_; }

    // What a completed click on a control does (the view names the control).
    void Execute(FrameCommand command);

private:
    // Creation and dispatch (MainFrame.cpp).
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCreate();
    void ChooseFolderAtStart();
    void ApplyWindowShape(int height);
    void CentreWindow();
    void RunStartChecks();
    void RecordCreationItems();
    void OnDestroy();
    void OnTimer(UINT_PTR id);
    LRESULT OnSysCommand(WPARAM wParam, LPARAM lParam);

    // Mouse routing (MainFrameMouse.cpp).
    void OnMouseMove(LPARAM lParam);
    void OnLButtonDown(LPARAM lParam);
    void OnLButtonUp(LPARAM lParam);
    void OnMouseLeave();
    bool OnSetCursor();

    // Pages, panel and the user's actions (MainFramePages.cpp).
    void EnterPage(FramePage page);
    void SetPanelExpanded(bool expanded);
    bool RunSpaceCheck();
    void PressInstall();
    void StartDownloadSequence();
    void ToggleHelpUs();
    void BrowseForFolder();
    void OpenLanguagePopup();
    void HideToBackground();
    void Refresh();

    // Messages of the download control and the installer (MainFrameMessages.cpp).
    void OnDownloadStarted();
    void OnDownloadProgress(LPARAM hundredths);
    void OnDownloadOver(WPARAM averageSpeed, LPARAM code);
    void OnInstallerStarting();
    void OnInstallProgress(WPARAM percent);
    void OnInstallerResult(const COPYDATASTRUCT* copyData);
    void OnInstallerEnded();
    void SetTrayTip(const std::wstring& text);
    void SetProgress(int percent);

    // ITrayOwner, ILanguageSelectSink, ILanguageTextTarget.
    void OnTrayExit() override;
    void OnLanguageSelected(int row) override;
    void SetControlText(ControlText control, const std::wstring& text) override;
    void ReloadInstallButtonImages() override;
    void RepaintWindow() override;

    HWND hwnd_ = nullptr;
    IFrameDisks& disks_;
    CTextTable texts_;
    CFrameView view_;
    CSetupTray tray_;
    CLanguageSelectWnd languagePopup_;
    CInstallHwndBlock installHwndBlock_;
    FrameState state_;

    bool openPanelAtStart_ = false;
    bool closePosted_ = false;
    bool skipThankPage_ = false;
    bool trackingMouse_ = false;
    int startCount_ = 0;
    bool downloadStartSeen_ = false;
    bool downloadUnfinished_ = false;
    int downloadPercent_ = 0;
    bool installing_ = false;
    int installPercent_ = 0;
    bool haveInstallerResult_ = false;
    InstallerResult installerResult_;
    bool installDone_ = false;
    bool installSucceeded_ = false;
};

// The one window object of the process, published by the run function.
extern CMainFrame* g_mainFrame;

// The property a second instance looks for to raise the first one's window.
constexpr wchar_t kMainFramePropName[] = L"Nuvex_MiniSetup_Hwnd_Flag";
constexpr wchar_t kMainFrameTitle[] = L"Nuvex Brisko";

// Timers of the window (the tray animation, 100, is the tray's).
constexpr UINT_PTR kArrowTimer = 102;
constexpr UINT kArrowPeriodMs = 100;
constexpr int kArrowFrameCount = 4;
constexpr UINT_PTR kSilentRetryTimer = 105;
constexpr UINT kSilentRetryDelayMs = 3000;

// Report items the window records.
namespace frame_items {
constexpr uint32_t kCreated = 0x05002333;
constexpr uint32_t kCreationSent = 0x0500233A;
constexpr uint32_t kDownloadStarted = 0x0500232D;
constexpr uint32_t kDownloadSucceeded = 0x0500232E;
constexpr uint32_t kStartCount = 0x04001B5D;
constexpr uint32_t kAverageSpeed = 0x04001B5E;
constexpr uint32_t kLicence = 0x05002334;
constexpr uint32_t kHelpUsCleared = 0x05002335;
constexpr uint32_t kHelpUsSet = 0x05002336;
constexpr uint32_t kInstallPressed = 0x05002338;
constexpr uint32_t kCustomInstall = 0x05002339;
constexpr uint32_t kFolderChosen = 0x0500233B;
constexpr uint32_t kFailureClosed = 0x0500233C;
constexpr uint32_t kRetry = 0x0500233D;
constexpr uint32_t kDownloadUnfinished = 0x0500233E;
constexpr uint32_t kSequenceStarted = 0x0500233F;
constexpr uint32_t kTrayExit = 0x05002340;
constexpr uint32_t kInstallerSucceeded = 0x05002341;
}  // namespace frame_items
