#include "FrameCanvas.h"

CFrameCanvas::CFrameCanvas(int width, int height) : dib_(width, height, RGB(0, 0, 0)) {}

void CFrameCanvas::Fill(COLORREF colour) {
    if (!Ok()) return;
    HBRUSH brush = CreateSolidBrush(colour);
    RECT all = {0, 0, Width(), Height()};
    FillRect(Dc(), &all, brush);
    DeleteObject(brush);
}

COLORREF CFrameCanvas::At(int x, int y) const {
    if (!Ok() || x < 0 || y < 0 || x >= Width() || y >= Height()) return RGB(0, 0, 0);
    const uint32_t bgra = dib_.Pixel(x, y);
    return RGB((bgra >> 16) & 0xFF, (bgra >> 8) & 0xFF, bgra & 0xFF);
}
