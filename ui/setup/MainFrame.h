#pragma once
// The setup window. For now a plain top-level window that marks itself for a
// second instance to find and paints the product name; a silent run drives the
// whole setup chain from it: it starts the downloads at creation, retries a
// failed download every three seconds and closes when the installer has ended.
#include <windows.h>

#include <string>

#include "setup/DownloadControl.h"
#include "setup/InstallHwndBlock.h"
#include "setup/WindowContract.h"

class CMainFrame {
public:
    CMainFrame();
    // Tests hand the download control their own engine and installer runner.
    explicit CMainFrame(const DownloadControlSeams& seams);
    ~CMainFrame();
    CMainFrame(const CMainFrame&) = delete;
    CMainFrame& operator=(const CMainFrame&) = delete;

    HWND Create(HWND parent, const RECT& rect, DWORD style, DWORD exStyle);
    HWND Handle() const { return hwnd_; }

    bool silent = false;
    bool traySuppressed = false;
    CDownloadControl downloadControl;

    // What the run has seen, for the exit report and for tests.
    int StartCount() const { return startCount_; }
    bool InstallSucceeded() const { return installSucceeded_; }
    const std::wstring& DestinationFolder() const { return destinationFolder_; }

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCreate();
    bool StartChecksPass();
    void PressInstall();
    void StartDownloadSequence();
    void OnDownloadStarted();
    void OnDownloadOver(WPARAM averageSpeed, LPARAM code);
    void OnInstallerResult(const COPYDATASTRUCT* copyData);
    void OnInstallerEnded();
    void Paint();

    HWND hwnd_ = nullptr;
    CInstallHwndBlock installHwndBlock_;
    std::wstring destinationFolder_;
    bool openPanelAtStart_ = false;
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

// Timer of a silent run: the downloads start again three seconds after a failure.
constexpr UINT_PTR kSilentRetryTimer = 105;
constexpr UINT kSilentRetryDelayMs = 3000;
