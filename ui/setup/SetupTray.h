#pragma once
// The setup's tray icon as the window uses it: twelve animation frames on
// timer 100, the status tooltip, the background notification, left-click to
// hide or bring back the window and a one-item menu whose "Exit" is handed
// to the owner. A suppressed tray makes no shell call at all.
#include <windows.h>

#include <array>

#include "ui/setup/ShowTray.h"

constexpr int kTrayFrameCount = 12;
constexpr int kFirstTrayFrameIconId = 1131;
constexpr UINT_PTR kTrayAnimationTimerId = 100;
constexpr UINT kTrayAnimationPeriodMs = 100;
constexpr UINT kTrayExitCommandId = 130;
constexpr wchar_t kTrayExitText[] = L"Exit";
// The report item of the menu's "Exit".
constexpr unsigned kTrayExitReportItem = 0x05002340;

// Receives the user's "Exit" from the tray menu.
class ITrayOwner {
public:
    virtual void OnTrayExit() = 0;

protected:
    ~ITrayOwner() = default;
};

// What the window does on "Exit": records the item, makes 1 the process exit
// code and closes itself.
void EndSetupFromTray(HWND window);

// Where the tray menu opens for a cursor at `cursor`: a point on no monitor
// gets its x moved into the horizontal extent of the nearest work area.
POINT TrayMenuPoint(POINT cursor);

class CSetupTray {
public:
    using FrameIcons = std::array<HICON, kTrayFrameCount>;

    explicit CSetupTray(ITrayOwner& owner);
    ~CSetupTray();
    CSetupTray(const CSetupTray&) = delete;
    CSetupTray& operator=(const CSetupTray&) = delete;

    // Loads the frames from the icon resources 1131 to 1142 of `module`;
    // a missing resource leaves its frame without an icon.
    void LoadFrames(HMODULE module);
    // Takes ownership of frames made elsewhere.
    void AdoptFrames(const FrameIcons& icons);

    // A suppressed tray keeps its state but never talks to the shell.
    void SetSuppressed(bool suppressed) { suppressed_ = suppressed; }
    bool Suppressed() const { return suppressed_; }

    // At window creation: registers the icon with the first frame and an empty tooltip.
    void Create(HWND window);
    // Before the window goes: unregisters the icon and stops the animation.
    void Destroy();

    // Timer 100 of the window, 100 ms: one frame further on each tick.
    void StartAnimation();
    void OnAnimationTick();
    // Stops the timer and shows the first frame again.
    void StopAnimation();

    void SetStatus(const wchar_t* text);
    void NotifyBackground(const wchar_t* text);

    // Message 1524: `lParam` is the mouse message. True when handled.
    bool OnCallback(LPARAM mouseMessage);
    // WM_COMMAND: true when it was the menu's "Exit".
    bool OnCommand(WPARAM wParam);

    int Frame() const { return frame_; }
    HICON FrameIcon(int frame) const { return frames_[frame]; }
    const CShowTray& Record() const { return tray_; }

private:
    void ToggleWindow();
    void ShowMenu();
    void ReleaseFrames();

    ITrayOwner& owner_;
    CShowTray tray_;
    FrameIcons frames_{};
    HWND window_ = nullptr;
    int frame_ = 0;
    bool suppressed_ = false;
};
