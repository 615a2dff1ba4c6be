#include "ui/setup/LanguageSelectWnd.h"

#include <algorithm>

#include "ui/lessdui/LessDUIWindowClass.h"

namespace {

lessdui::CWindowClass g_listClass(L"NuvexMiniSetupLanguageList");

// The language name ends at x = 590; the list hangs below the button row.
constexpr int kListRight = 590;
constexpr int kButtonRowTop = 353;
constexpr int kButtonOffset = 7;

void FillWithBorder(HDC dc, const RECT& box, COLORREF fill, COLORREF border)
{
    HBRUSH brush = CreateSolidBrush(fill);
    HPEN pen = CreatePen(PS_SOLID, 1, border);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    Rectangle(dc, box.left, box.top, box.right, box.bottom);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);
}

}  // namespace

void PaintLanguageList(HDC dc, const RECT& client, const std::vector<std::wstring>& names, int hoveredRow,
                       HFONT font)
{
    FillWithBorder(dc, client, RGB(0xFF, 0xFF, 0xFF), CLanguageSelectWnd::kBorderColour);
    int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF oldColour = GetTextColor(dc);
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    int width = client.right - client.left;
    for (int row = 0; row < static_cast<int>(names.size()); ++row) {
        RECT box = {client.left, client.top + CLanguageSelectWnd::kRowPitch * row, client.left + width,
                    client.top + CLanguageSelectWnd::kRowPitch * row + CLanguageSelectWnd::kRowHeight};
        bool hovered = row == hoveredRow;
        if (hovered) FillWithBorder(dc, box, CLanguageSelectWnd::kHoverColour, CLanguageSelectWnd::kBorderColour);
        SetTextColor(dc, hovered ? CLanguageSelectWnd::kHoverTextColour : CLanguageSelectWnd::kTextColour);
        RECT textBox = box;
        textBox.left += CLanguageSelectWnd::kTextIndent;
        DrawTextW(dc, names[row].c_str(), -1, &textBox, DT_SINGLELINE | DT_VCENTER);
    }
    if (oldFont) SelectObject(dc, oldFont);
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
}

CLanguageSelectWnd::CLanguageSelectWnd() = default;

CLanguageSelectWnd::~CLanguageSelectWnd()
{
    if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
    if (font_) DeleteObject(font_);
}

int CLanguageSelectWnd::RowAt(int y, int rowCount)
{
    if (rowCount <= 0 || y < 0) return 0;
    return std::min(y / kRowHeight, rowCount - 1);
}

RECT CLanguageSelectWnd::PlacementInOwner(int rowCount, int languageButtonHeight)
{
    int rows = std::min(std::max(rowCount, 0), kMaxRows);
    int top = kButtonRowTop + kButtonOffset + languageButtonHeight + 1;
    return RECT{kListRight - kWidth, top, kListRight, top + kRowPitch * rows + 1};
}

bool CLanguageSelectWnd::CreateOnce(HWND owner, const std::vector<std::wstring>& names)
{
    if (hwnd_) return true;
    if (!g_listClass.Register(&CLanguageSelectWnd::WindowProc)) return false;
    if (!font_) {
        font_ = CreateFontW(13, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, PROOF_QUALITY, FF_SWISS,
                            L"Tahoma");
    }
    names_.assign(names.begin(), names.begin() + std::min<size_t>(names.size(), kMaxRows));
    hovered_ = 0;
    HWND hwnd = CreateWindowExW(0, g_listClass.Name(), L"", WS_POPUP, 0, 0, kWidth, kRowPitch + 1, owner,
                                nullptr, GetModuleHandleW(nullptr), this);
    return hwnd != nullptr;
}

bool CLanguageSelectWnd::Open(HWND owner, const std::vector<std::wstring>& names, ILanguageSelectSink* sink,
                              int languageButtonHeight)
{
    if (!CreateOnce(owner, names)) return false;
    sink_ = sink;
    RECT place = PlacementInOwner(static_cast<int>(names_.size()), languageButtonHeight);
    POINT topLeft = {place.left, place.top};
    POINT bottomRight = {place.right, place.bottom};
    ClientToScreen(owner, &topLeft);
    ClientToScreen(owner, &bottomRight);
    SetWindowPos(hwnd_, nullptr, topLeft.x, topLeft.y, bottomRight.x - topLeft.x, bottomRight.y - topLeft.y,
                 SWP_SHOWWINDOW | SWP_NOZORDER);
    return true;
}

LRESULT CALLBACK CLanguageSelectWnd::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = lessdui::WindowObject<CLanguageSelectWnd>(hwnd, message, lParam);
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCCREATE) self->hwnd_ = hwnd;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        self->tracking_ = false;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return self->HandleMessage(message, wParam, lParam);
}

LRESULT CLanguageSelectWnd::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        return 1;  // the paint covers every pixel
    case WM_PAINT:
        Paint();
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(static_cast<short>(HIWORD(lParam)));
        return 0;
    case WM_MOUSELEAVE:
        tracking_ = false;
        return 0;
    case WM_LBUTTONUP:
        if (sink_ && !names_.empty()) sink_->OnLanguageSelected(hovered_);
        ShowWindow(hwnd_, SW_HIDE);
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            ShowWindow(hwnd_, SW_HIDE);
            return 0;
        }
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    case WM_KILLFOCUS:
        ShowWindow(hwnd_, SW_HIDE);
        return 0;
    case WM_SETFOCUS:
        ShowWindow(hwnd_, SW_SHOWNA);
        return 0;
    default:
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

void CLanguageSelectWnd::OnMouseMove(int y)
{
    if (!tracking_) {
        TRACKMOUSEEVENT track = {sizeof(track), TME_HOVER | TME_LEAVE, hwnd_, 1};
        tracking_ = TrackMouseEvent(&track) != FALSE;
    }
    int row = RowAt(y, static_cast<int>(names_.size()));
    if (row != hovered_) {
        hovered_ = row;
        InvalidateRect(hwnd_, nullptr, FALSE);
    }
}

void CLanguageSelectWnd::Paint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    RECT client;
    GetClientRect(hwnd_, &client);
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
    if (memory && bitmap) {
        HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
        PaintLanguageList(memory, client, names_, hovered_, font_);
        BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
        SelectObject(memory, oldBitmap);
    }
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    EndPaint(hwnd_, &ps);
}
