#include "GallerySheet.h"

#include "ui/lessdui/LessDUIDraw.h"

CGallerySheet::CGallerySheet(int width, int maxHeight)
    : width_(width), maxHeight_(maxHeight), canvas_(width, maxHeight, RGB(0x26, 0x28, 0x2C)), dc_(canvas_.Dc()) {
    SetBkMode(dc_, TRANSPARENT);
}

void CGallerySheet::NewRow() {
    if (rowHeight_ > 0) y_ += rowHeight_ + 12;
    x_ = kMargin;
    rowHeight_ = 0;
}

void CGallerySheet::Heading(const std::wstring& title) {
    NewRow();
    y_ += 6;
    Text(kMargin, y_, title, RGB(0xFF, 0xFF, 0xFF), 18, FW_BOLD);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0x55, 0x5A, 0x62));
    HGDIOBJ old = SelectObject(dc_, pen);
    MoveToEx(dc_, kMargin, y_ + 24, nullptr);
    LineTo(dc_, width_ - kMargin, y_ + 24);
    SelectObject(dc_, old);
    DeleteObject(pen);
    y_ += 32;
    used_ = y_;
}

POINT CGallerySheet::Place(int width, int height, const std::wstring& caption) {
    const int cellHeight = height + (caption.empty() ? 0 : 18);
    if (!caption.empty()) {
        HFONT font = lessdui::CreateTahomaFont(12, FW_NORMAL);
        const int captionWidth = lessdui::MeasureText(dc_, caption.c_str(), font).cx;
        DeleteObject(font);
        if (captionWidth > width) width = captionWidth;
    }
    if (x_ > kMargin && x_ + width > width_ - kMargin) NewRow();
    const POINT at = {x_, y_};
    if (!caption.empty()) Text(x_, y_ + height + 3, caption, RGB(0xB0, 0xB4, 0xBA), 12);
    x_ += (width > 60 ? width : 60) + 14;
    if (cellHeight > rowHeight_) rowHeight_ = cellHeight;
    if (y_ + cellHeight > used_) used_ = y_ + cellHeight;
    return at;
}

void CGallerySheet::Checker(const RECT& rect) {
    HBRUSH dark = CreateSolidBrush(RGB(0x3A, 0x3D, 0x42));
    HBRUSH light = CreateSolidBrush(RGB(0x4A, 0x4E, 0x54));
    for (int y = rect.top; y < rect.bottom; y += 6) {
        for (int x = rect.left; x < rect.right; x += 6) {
            RECT tile = {x, y, x + 6 < rect.right ? x + 6 : rect.right, y + 6 < rect.bottom ? y + 6 : rect.bottom};
            FillRect(dc_, &tile, (((x - rect.left) / 6 + (y - rect.top) / 6) % 2) ? dark : light);
        }
    }
    DeleteObject(dark);
    DeleteObject(light);
}

void CGallerySheet::Text(int x, int y, const std::wstring& text, COLORREF colour, int height, int weight) {
    HFONT font = lessdui::CreateTahomaFont(height, weight);
    RECT box = {x, y, width_ - kMargin, y + height + 6};
    const COLORREF old = SetTextColor(dc_, colour);
    HGDIOBJ oldFont = SelectObject(dc_, font);
    DrawTextW(dc_, text.c_str(), -1, &box, DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc_, oldFont);
    SetTextColor(dc_, old);
    DeleteObject(font);
}

bool CGallerySheet::WritePng(const std::wstring& path) {
    return canvas_.WritePng(path, (used_ + kMargin < maxHeight_) ? used_ + kMargin : maxHeight_);
}
