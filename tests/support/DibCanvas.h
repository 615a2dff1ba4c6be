#pragma once
// A 32-bit top-down memory bitmap selected into a DC of its own: tests draw
// into it and read pixels back, picture sheets write it out as a PNG.
#include <windows.h>

#include <cstdint>
#include <string>

class CDibCanvas {
public:
    CDibCanvas(int width, int height, COLORREF clear);
    ~CDibCanvas();
    CDibCanvas(const CDibCanvas&) = delete;
    CDibCanvas& operator=(const CDibCanvas&) = delete;

    bool Valid() const { return bits_ != nullptr; }
    HDC Dc() const { return dc_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    // The pixel as 0xAARRGGBB, after pending drawing has landed.
    uint32_t Pixel(int x, int y) const;
    // The first `rows` rows (all when negative) as an RGB PNG.
    bool WritePng(const std::wstring& path, int rows = -1) const;

private:
    int width_, height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    uint32_t* bits_ = nullptr;
};

// A 32-bit top-down DIB section; `bits` receives its pixels. Null on failure.
HBITMAP CreateTopDownDib(int width, int height, void** bits);

// Writes width × height pixels of 0xAARRGGBB, top row first, as an RGB PNG.
bool WriteBgraPng(const std::wstring& path, const uint32_t* bits, int width, int height);
