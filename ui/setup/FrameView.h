#pragma once
// The setup window's surface, apart from its behaviour. The window (CMainFrame)
// keeps the page, the flags and the texts in a FrameState and reacts to the
// commands of its controls; CFrameView turns a FrameState into pixels and tells
// which control a click reached.
#include <windows.h>

#include <memory>
#include <string>

class CTextTable;

constexpr int kFrameWidth = 620;
constexpr int kFrameHeight = 340;
constexpr int kFrameExpandedHeight = 387;

enum class FramePage { Start, Progress, DownloadFailed, InstallFailed, NotAdmin, UnsupportedSystem };

// The control a completed click reached.
enum class FrameCommand {
    None,
    Minimise,
    Close,          // the close button of the title area
    Install,
    HelpUs,         // the check box
    Browse,
    Language,       // the language drop-down button
    Retry,
    CloseButton,    // the text button of the failure pages
    Licence,
    Privacy,
    CustomInstall,  // the custom-installation link (opens or closes the panel)
};

// Everything the surface needs to draw one moment of the window.
struct FrameState {
    FramePage page = FramePage::Start;
    bool panelExpanded = false;
    bool helpUs = false;           // the check box value
    bool noSpaceTip = false;       // the space check fails: the tip is shown
    bool installEnabled = true;    // the Install button can be pressed
    int arrowFrame = 0;            // 0 to 3: the frame of the download arrow strip
    int progress = 0;              // the progress bar, 0 to 100
    std::wstring status;           // the status line of the progress page
    std::wstring folder;           // the destination folder
    std::wstring languageName;     // display name of the current language
    LANGID langId = 0;             // the current language (the Retry button moves for 1046)
    std::wstring installerMessage; // detail of InstallFailed; empty: the no-space text
};

class CFrameView {
public:
    CFrameView();
    ~CFrameView();
    CFrameView(const CFrameView&) = delete;
    CFrameView& operator=(const CFrameView&) = delete;

    // Images and fonts from the module's resources; false when one is missing
    // (the view still draws what it has).
    bool Load(HMODULE module);
    // The texts of the current language; the table outlives the view.
    void SetTexts(const CTextTable* texts);

    // Places and enables the controls for the state (page, panel, measured
    // text widths). Called whenever the state changed before drawing or hit
    // testing.
    void Arrange(const FrameState& state);

    // Draws the whole state into dc in client coordinates.
    void Draw(HDC dc, const FrameState& state);
    // WM_PAINT: draws the update rectangle off screen and copies it at once.
    void Paint(HWND window, const FrameState& state);

    // Mouse routing. Each returns the command of a click completed at pt (only
    // OnLButtonUp can complete one) and sets *redraw when a control's look
    // changed.
    FrameCommand OnMouseMove(POINT pt, bool* redraw);
    FrameCommand OnLButtonDown(POINT pt, bool* redraw);
    FrameCommand OnLButtonUp(POINT pt, bool* redraw);
    void OnMouseLeave(bool* redraw);

    // For WM_SETCURSOR: true over a visible link.
    bool IsOverLink(POINT pt) const;
    // The visible, enabled control under pt (None: the window may be dragged there).
    FrameCommand ControlAt(POINT pt) const;
    // The download arrow's box, invalidated alone by its animation timer.
    RECT ArrowBox() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
