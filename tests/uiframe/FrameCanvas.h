#pragma once
// A 32-bit top-down memory bitmap the setup window's view draws into, read
// back pixel by pixel as RGB() colours and written out as PNG.
#include <windows.h>

#include <string>

#include "DibCanvas.h"

class CFrameCanvas {
public:
    CFrameCanvas(int width, int height);

    bool Ok() const { return dib_.Valid(); }
    HDC Dc() const { return dib_.Dc(); }
    int Width() const { return dib_.Width(); }
    int Height() const { return dib_.Height(); }
    // Every pixel set to one colour.
    void Fill(COLORREF colour);
    // The colour at (x, y) as RGB(); black outside the canvas.
    COLORREF At(int x, int y) const;
    bool SavePng(const std::wstring& path) const { return dib_.WritePng(path); }

private:
    CDibCanvas dib_;
};
