// Controls and the paint buffer with a real owner window: state changes and
// progress ticks invalidate it, nothing does after the bar is gone, and the
// buffered paint reaches the window in client coordinates.
#include <gtest/gtest.h>

#include <memory>

#include "ui/lessdui/LessDUIButton.h"
#include "ui/lessdui/LessDUIDraw.h"
#include "ui/lessdui/LessDUIProgress.h"
#include "ui/lessdui/LessDUIWindowClass.h"

using namespace lessdui;

namespace {

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        CPaintBuffer paint(hwnd);
        HBRUSH green = CreateSolidBrush(RGB(0, 200, 0));
        HBRUSH red = CreateSolidBrush(RGB(200, 0, 0));
        RECT all = {0, 0, 200, 100};
        FillRect(paint.Dc(), &all, green);
        RECT spot = {50, 40, 60, 50};
        FillRect(paint.Dc(), &spot, red);
        DeleteObject(green);
        DeleteObject(red);
        return 0;
    }
    if (message == WM_ERASEBKGND) return 1;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

class OwnerWindow : public ::testing::Test {
protected:
    void SetUp() override {
        static CWindowClass ownerClass(L"LessDuiTestOwner");
        ownerClass.Register(&OwnerProc);
        hwnd_ = CreateWindowExW(0, ownerClass.Name(), L"owner", WS_POPUP | WS_VISIBLE, 10, 10, 200, 100, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(nullptr, hwnd_);
        Settle();
    }
    void TearDown() override {
        if (hwnd_) DestroyWindow(hwnd_);
    }
    // Paints whatever is pending, then reports whether anything is invalid.
    void Settle() {
        UpdateWindow(hwnd_);
        ValidateRect(hwnd_, nullptr);
    }
    bool Invalid() const { return GetUpdateRect(hwnd_, nullptr, FALSE) != FALSE; }
    HWND hwnd_ = nullptr;
};

bool g_down = false;
bool Down() { return g_down; }

TEST_F(OwnerWindow, ButtonStateChangesRepaintTheOwnerOthersDoNot) {
    LeftButtonProbe previous = SetLeftButtonProbe(Down);
    CLessDUIButton button;
    button.SetOwner(hwnd_);
    HDC dc = GetDC(hwnd_);
    button.Draw(dc, RECT{10, 10, 90, 40}, RECT{});
    ReleaseDC(hwnd_, dc);
    Settle();

    button.OnMouseMove(POINT{150, 80});
    EXPECT_FALSE(Invalid()) << "outside, nothing changed";
    button.OnMouseMove(POINT{20, 20});
    EXPECT_TRUE(Invalid()) << "normal to hover";
    Settle();
    button.OnMouseMove(POINT{21, 21});
    EXPECT_FALSE(Invalid()) << "still hover";
    button.OnLButtonDown(POINT{21, 21});
    EXPECT_TRUE(Invalid()) << "pressed";
    SetLeftButtonProbe(previous);
}

TEST_F(OwnerWindow, ProgressTicksRepaintUntilTheBarIsDestroyed) {
    auto bar = std::make_unique<CLessDUIProgress>();
    bar->SetOwner(hwnd_);
    bar->SetRect(RECT{0, 0, 200, 17});
    EXPECT_FALSE(Invalid()) << "placing the bar does not repaint";
    bar->SetPosition(40);
    EXPECT_TRUE(Invalid()) << "a new position repaints";
    Settle();
    HDC dc = GetDC(hwnd_);
    bar->Draw(dc);
    ReleaseDC(hwnd_, dc);
    Settle();
    bool ticked = false;
    for (int i = 0; i < 100 && !ticked; ++i) {
        Sleep(20);
        ticked = Invalid();
    }
    EXPECT_TRUE(ticked) << "the 50 ms timer repaints the owner";
    bar.reset();
    Settle();
    Sleep(200);
    EXPECT_FALSE(Invalid()) << "no tick after the bar is gone";
}

TEST_F(OwnerWindow, BufferedPaintLandsInClientCoordinates) {
    InvalidateRect(hwnd_, nullptr, FALSE);
    UpdateWindow(hwnd_);
    HDC dc = GetDC(hwnd_);
    const COLORREF spot = GetPixel(dc, 55, 45);
    const COLORREF around = GetPixel(dc, 100, 80);
    ReleaseDC(hwnd_, dc);
    EXPECT_EQ(RGB(200, 0, 0), spot);
    EXPECT_EQ(RGB(0, 200, 0), around);
}

}  // namespace
