#pragma once
// Small PNG files made in memory with libpng, and 32-bit bitmaps to draw into.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "DibCanvas.h"

namespace lessdui_test {

struct PngRecipe {
    int width = 1;
    int height = 1;
    int colorType = 0;   // PNG_COLOR_TYPE_*
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<std::vector<uint8_t>> rows;  // packed as the PNG stores them
    std::vector<uint8_t> palette;            // r, g, b per entry
    std::vector<uint8_t> trns;               // palette alphas, or a grey/RGB key as 16-bit big-endian samples
};

std::vector<uint8_t> WritePng(const PngRecipe& recipe);

// An opaque or translucent 32-bit image filled by a function of (x, y) that
// returns straight (not premultiplied) BGRA.
struct Bgra {
    uint8_t b, g, r, a;
};
HBITMAP MakeImage(int width, int height, Bgra (*pixel)(int x, int y));
HBITMAP MakeSolidImage(int width, int height, Bgra colour);

// A memory DC over a 32-bit top-down DIB section, cleared to one colour.
class CCanvas {
public:
    CCanvas(int width, int height, COLORREF clear = RGB(0, 0, 0)) : dib_(width, height, clear) {}
    HDC Dc() const { return dib_.Dc(); }
    Bgra At(int x, int y) const;
    COLORREF Rgb(int x, int y) const;

private:
    CDibCanvas dib_;
};

}  // namespace lessdui_test
