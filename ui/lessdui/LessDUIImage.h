#pragma once
// Images of the toolkit: PNG data decoded into top-down DIB sections, 32-bit
// with premultiplied alpha when the PNG has (or gains) an alpha channel, else
// 24-bit. Whoever loads an image owns it and deletes it with DeleteObject.
#include <windows.h>

#include <cstddef>

namespace lessdui {

// Where the decoder gets its bitmaps from. The screen one is used by the
// program; tests wrap it to see that a failed decode leaves nothing behind.
class IBitmapFactory {
public:
    virtual HBITMAP CreateDib(const BITMAPINFO& info, void** bits) = 0;
    virtual void Delete(HBITMAP bitmap) = 0;

protected:
    ~IBitmapFactory() = default;
};

IBitmapFactory& ScreenBitmapFactory();

// Null for data that is not a complete, sound PNG.
HBITMAP DecodePng(const void* data, std::size_t size);
HBITMAP DecodePng(const void* data, std::size_t size, IBitmapFactory& factory);

// A PNG resource of the program's own module; null when missing or empty.
HBITMAP LoadPngResource(UINT id, const wchar_t* type = L"PNGRES");

// Width and height of an image; false for a null or foreign handle.
bool GetImageSize(HBITMAP image, SIZE* size);

// Bits per pixel of an image (24 or 32 for ours), 0 for a null handle.
int GetImageDepth(HBITMAP image);

// Stores an image into a slot: the old one is deleted unless it is the same.
void ReplaceImage(HBITMAP* slot, HBITMAP image);

// An image slot that deletes what it holds.
class CImage {
public:
    CImage() = default;
    explicit CImage(HBITMAP image) : image_(image) {}
    ~CImage() { Reset(); }
    CImage(const CImage&) = delete;
    CImage& operator=(const CImage&) = delete;

    void Reset(HBITMAP image = nullptr) { ReplaceImage(&image_, image); }
    HBITMAP Get() const { return image_; }
    explicit operator bool() const { return image_ != nullptr; }

private:
    HBITMAP image_ = nullptr;
};

}  // namespace lessdui
