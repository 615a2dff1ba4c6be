#include "ui/setup/MainFrame.h"

CMainFrame* g_mainFrame = nullptr;

namespace {

constexpr wchar_t kClassName[] = L"NuvexMiniSetupFrame";
constexpr int kWidth = 520;
constexpr int kHeight = 340;

ATOM RegisterFrameClass(WNDPROC proc)
{
    static ATOM atom = 0;
    if (atom) return atom;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(wc.hInstance, L"IDR_MAINFRAME");
    wc.lpszClassName = kClassName;
    atom = RegisterClassExW(&wc);
    return atom;
}

}  // namespace

CMainFrame::CMainFrame() = default;

CMainFrame::~CMainFrame()
{
    if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

HWND CMainFrame::Create(HWND parent, const RECT& rect, DWORD style, DWORD exStyle)
{
    if (!RegisterFrameClass(&CMainFrame::WindowProc)) return nullptr;
    return CreateWindowExW(exStyle, kClassName, L"Nuvex Brisko", style, rect.left, rect.top, rect.right, rect.bottom,
                           parent, nullptr, GetModuleHandleW(nullptr), this);
}

LRESULT CALLBACK CMainFrame::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CMainFrame* self = reinterpret_cast<CMainFrame*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self = static_cast<CMainFrame*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    return self->HandleMessage(message, wParam, lParam);
}

LRESULT CMainFrame::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: {
        SetPropW(hwnd_, kMainFramePropName, reinterpret_cast<HANDLE>(1));
        int x = (GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
        int y = (GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
        SetWindowPos(hwnd_, nullptr, x, y, kWidth, kHeight, SWP_NOZORDER | SWP_NOACTIVATE);
        // Until the setup flow lands, a silent run has nothing to do: it ends.
        if (silent) PostMessageW(hwnd_, WM_CLOSE, 0, 0);
        return 0;
    }
    case WM_PAINT:
        Paint();
        return 0;
    case WM_CLOSE:
        DestroyWindow(hwnd_);
        return 0;
    case WM_DESTROY:
        RemovePropW(hwnd_, kMainFramePropName);
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY: {
        HWND hwnd = hwnd_;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        hwnd_ = nullptr;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    default:
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

void CMainFrame::Paint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    RECT client;
    GetClientRect(hwnd_, &client);
    HBRUSH background = CreateSolidBrush(RGB(0x1F, 0x5F, 0xB8));
    FillRect(dc, &client, background);
    DeleteObject(background);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    HFONT font = CreateFontW(-28, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Tahoma");
    HGDIOBJ old = SelectObject(dc, font);
    DrawTextW(dc, L"Nuvex Brisko", -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, old);
    DeleteObject(font);
    EndPaint(hwnd_, &ps);
}
