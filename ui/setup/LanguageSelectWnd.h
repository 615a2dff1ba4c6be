#pragma once
// The language pop-up of the custom installation panel: a small owned list of
// display names under the language button; a click picks a row and hides it.
#include <windows.h>

#include <string>
#include <vector>

class ILanguageSelectSink {
public:
    virtual void OnLanguageSelected(int row) = 0;

protected:
    ~ILanguageSelectSink() = default;
};

class CLanguageSelectWnd {
public:
    static constexpr int kMaxRows = 32;
    static constexpr int kWidth = 70;
    static constexpr int kRowPitch = 23;      // rows overlap by their shared border line
    static constexpr int kRowHeight = 24;
    static constexpr int kTextIndent = 5;
    static constexpr COLORREF kBorderColour = RGB(0xD2, 0xD2, 0xD2);
    static constexpr COLORREF kHoverColour = RGB(0x2C, 0x90, 0xFF);
    static constexpr COLORREF kTextColour = RGB(0x99, 0x99, 0x99);
    static constexpr COLORREF kHoverTextColour = RGB(0xFF, 0xFF, 0xFF);

    CLanguageSelectWnd();
    ~CLanguageSelectWnd();
    CLanguageSelectWnd(const CLanguageSelectWnd&) = delete;
    CLanguageSelectWnd& operator=(const CLanguageSelectWnd&) = delete;

    // Shows the list under the language button of `owner`; the window is made
    // on the first call and keeps the names it was made with. `sink` hears the
    // chosen row. False when the window cannot be created.
    bool Open(HWND owner, const std::vector<std::wstring>& names, ILanguageSelectSink* sink,
              int languageButtonHeight = 6);

    HWND Handle() const { return hwnd_; }
    int HoveredRow() const { return hovered_; }
    const std::vector<std::wstring>& Names() const { return names_; }

    // The row under a client y coordinate (the pitch is 23, the divisor 24).
    static int RowAt(int y, int rowCount);
    // Where the list goes, in client coordinates of the owner.
    static RECT PlacementInOwner(int rowCount, int languageButtonHeight);

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool CreateOnce(HWND owner, const std::vector<std::wstring>& names);
    void OnMouseMove(int y);
    void Paint();

    HWND hwnd_ = nullptr;
    HFONT font_ = nullptr;
    ILanguageSelectSink* sink_ = nullptr;
    std::vector<std::wstring> names_;
    int hovered_ = 0;
    bool tracking_ = false;
};

// Draws the list as the pop-up shows it into `dc` (client rectangle `client`).
void PaintLanguageList(HDC dc, const RECT& client, const std::vector<std::wstring>& names, int hoveredRow,
                       HFONT font);
