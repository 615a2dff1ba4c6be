#pragma once
// A 32-bit top-down memory bitmap the setup window's view draws into, read
// back pixel by pixel and written out as PNG.
#include <windows.h>

#include <string>

class CFrameCanvas {
public:
    CFrameCanvas(int width, int height);
    ~CFrameCanvas();
    CFrameCanvas(const CFrameCanvas&) = delete;
    CFrameCanvas& operator=(const CFrameCanvas&) = delete;

    bool Ok() const { return bits_ != nullptr; }
    HDC Dc() const { return dc_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    // Every pixel set to one colour.
    void Fill(COLORREF colour);
    // The colour at (x, y) as RGB(); black outside the canvas.
    COLORREF At(int x, int y) const;
    bool SavePng(const std::wstring& path) const;

private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    const DWORD* bits_ = nullptr;
};
