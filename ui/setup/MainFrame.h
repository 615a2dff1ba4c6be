#pragma once
// The setup window. For now a plain top-level window that marks itself for a
// second instance to find, paints the product name and closes on WM_CLOSE.
#include <windows.h>

#include "setup/DownloadControl.h"

class CMainFrame {
public:
    CMainFrame();
    ~CMainFrame();
    CMainFrame(const CMainFrame&) = delete;
    CMainFrame& operator=(const CMainFrame&) = delete;

    HWND Create(HWND parent, const RECT& rect, DWORD style, DWORD exStyle);
    HWND Handle() const { return hwnd_; }

    bool silent = false;
    bool traySuppressed = false;
    CDownloadControl downloadControl;

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Paint();
    HWND hwnd_ = nullptr;
};

// The one window object of the process, published by the run function.
extern CMainFrame* g_mainFrame;

// The property a second instance looks for to raise the first one's window.
constexpr wchar_t kMainFramePropName[] = L"Nuvex_MiniSetup_Hwnd_Flag";
