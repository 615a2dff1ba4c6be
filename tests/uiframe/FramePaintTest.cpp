// WM_PAINT through the view in a real window: the whole page on the first
// paint, afterwards only the update rectangle.
#include <gtest/gtest.h>

#include "FrameTestSupport.h"
#include "ui/setup/FrameLayout.h"

using namespace uiframe_test;

namespace {

struct PaintTarget {
    CFrameView* view = nullptr;
    FrameState state;
    int paints = 0;
};

PaintTarget g_target;

LRESULT CALLBACK PaintWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            ++g_target.paints;
            g_target.view->Paint(hwnd, g_target.state);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        default:
            return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

// A visible pop-up of the window's size, destroyed with the object.
class CPaintWindow {
public:
    CPaintWindow() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = PaintWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"UiFramePaintTest";
        RegisterClassW(&wc);
        hwnd_ = CreateWindowExW(0, wc.lpszClassName, L"paint test", WS_POPUP, 0, 0, kFrameWidth, kFrameHeight, nullptr,
                                nullptr, wc.hInstance, nullptr);
    }
    ~CPaintWindow() {
        if (hwnd_) DestroyWindow(hwnd_);
        UnregisterClassW(L"UiFramePaintTest", GetModuleHandleW(nullptr));
    }
    HWND Get() const { return hwnd_; }

    // What the window shows now.
    std::unique_ptr<CFrameCanvas> Capture() const {
        auto canvas = std::make_unique<CFrameCanvas>(kFrameWidth, kFrameHeight);
        canvas->Fill(kUntouched);
        HDC dc = GetDC(hwnd_);
        BitBlt(canvas->Dc(), 0, 0, kFrameWidth, kFrameHeight, dc, 0, 0, SRCCOPY);
        ReleaseDC(hwnd_, dc);
        return canvas;
    }

private:
    HWND hwnd_ = nullptr;
};

TEST(FramePaintTest, PaintsTheWholePageThenOnlyTheUpdateRectangle) {
    auto view = MakeView();
    g_target = PaintTarget{};
    g_target.view = view.get();
    g_target.state.languageName = L"English";

    CPaintWindow window;
    ASSERT_NE(window.Get(), nullptr);
    ShowWindow(window.Get(), SW_SHOWNOACTIVATE);
    UpdateWindow(window.Get());
    ASSERT_GE(g_target.paints, 1);

    auto first = window.Capture();
    EXPECT_EQ(first->At(0, 0), FixtureColour(frame::kImageBackground));
    EXPECT_EQ(first->At(60, 70), FixtureColour(frame::kImageLogo));
    EXPECT_EQ(first->At(419, 100), FixtureColour(frame::kImageArrowStrip, 0));
    EXPECT_EQ(first->At(160, 280), FixtureColour(frame::kImageUnchecked));

    // The arrow timer's repaint: a new frame, and a change elsewhere that
    // must wait for its own invalidation.
    g_target.state.arrowFrame = 2;
    g_target.state.helpUs = true;
    const RECT arrow = view->ArrowBox();
    InvalidateRect(window.Get(), &arrow, FALSE);
    const int paintsBefore = g_target.paints;
    UpdateWindow(window.Get());
    ASSERT_GT(g_target.paints, paintsBefore);

    auto second = window.Capture();
    EXPECT_EQ(second->At(419, 100), FixtureColour(frame::kImageArrowStrip, 2));
    EXPECT_EQ(second->At(450, 128), FixtureColour(frame::kImageArrowStrip, 2));
    EXPECT_EQ(second->At(160, 280), FixtureColour(frame::kImageUnchecked)) << "outside the update rectangle";
    EXPECT_TRUE(SameIn(*first, *second, RECT{0, 0, kFrameWidth, 100}));
    EXPECT_TRUE(SameIn(*first, *second, RECT{0, 129, kFrameWidth, kFrameHeight}));

    InvalidateRect(window.Get(), nullptr, FALSE);
    UpdateWindow(window.Get());
    EXPECT_EQ(window.Capture()->At(160, 280), FixtureColour(frame::kImageChecked));
}

}  // namespace
