// The toolkit's own sections: every image, every control state, the
// progress bar along its range, the tip, and two pages put together.
#include <string>

#include "GallerySheet.h"
#include "ui/lessdui/LessDUIButton.h"
#include "ui/lessdui/LessDUIDraw.h"
#include "ui/lessdui/LessDUIImage.h"
#include "ui/lessdui/LessDUILink.h"
#include "ui/lessdui/LessDUIProgress.h"
#include "ui/lessdui/LessDUITip.h"

using namespace lessdui;

namespace {

const wchar_t* const kStateNames[5] = {L"hidden", L"normal", L"hover", L"pressed", L"disabled"};

struct ImageInfo {
    UINT id;
    const wchar_t* what;
};

const ImageInfo kImages[] = {
    {2011, L"background"}, {2013, L"panel"}, {2151, L"logo"}, {2012, L"arrow strip"},
    {2021, L"install"}, {2022, L"install hover"}, {2023, L"install pressed"}, {2024, L"install disabled"},
    {2031, L"min"}, {2032, L"min hover"}, {2033, L"min pressed"}, {2041, L"close"}, {2042, L"close hover"},
    {2043, L"close dark"}, {2051, L"track"}, {2052, L"fill"}, {2053, L"shine"}, {2061, L"checked"},
    {2062, L"checked hover"}, {2071, L"unchecked"}, {2072, L"unchecked hover"}, {2081, L"collapsed"},
    {2082, L"expanded"}, {2091, L"browse"}, {2092, L"browse hover"}, {2093, L"browse pressed"},
    {2094, L"language"}, {2095, L"language hover"}, {2096, L"language pressed"}, {2097, L"tip icon"},
    {2098, L"ok icon"}, {2099, L"bubble"}, {2110, L"status icon"},
};

// A piece of the window background behind a sample, so white art shows as it will.
void Backdrop(HDC dc, HBITMAP background, const RECT& r) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    const int srcW = w < 420 ? w : 420, srcH = h < 190 ? h : 190;  // stretched when the cell is larger
    DrawImage(dc, r.left, r.top, w, h, background, 200, 150, srcW, srcH);
}

void Images(CGallerySheet& sheet) {
    for (const ImageInfo& info : kImages) {
        CImage image(LoadPngResource(info.id));
        SIZE size = {40, 20};
        const bool ok = GetImageSize(image.Get(), &size);
        const int scale = size.cx < 40 ? 2 : 1;  // small art twice as large as well
        const int w = size.cx * scale + (scale > 1 ? size.cx + 8 : 0);
        wchar_t caption[96];
        swprintf(caption, 96, L"%u %ls %ldx%ld %d-bit%ls", info.id, info.what, size.cx, size.cy,
                 GetImageDepth(image.Get()), ok ? L"" : L" MISSING");
        const POINT at = sheet.Place(w, size.cy * scale, caption);
        sheet.Checker(RECT{at.x, at.y, at.x + w, at.y + size.cy * scale});
        DrawImageByDepth(sheet.Dc(), RECT{at.x, at.y, at.x + size.cx, at.y + size.cy}, image.Get(),
                         RECT{0, 0, size.cx, size.cy}, 255);
        if (scale > 1) {
            const int x = at.x + size.cx + 8;
            DrawImageByDepth(sheet.Dc(), RECT{x, at.y, x + size.cx * 2, at.y + size.cy * 2}, image.Get(),
                             RECT{0, 0, size.cx, size.cy}, 255);
        }
    }
}

void Icons(CGallerySheet& sheet) {
    HMODULE self = GetModuleHandleW(nullptr);
    for (UINT id = 1131; id <= 1142; ++id) {
        HICON icon = static_cast<HICON>(LoadImageW(self, MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0));
        const POINT at = sheet.Place(52, 36, std::to_wstring(id));
        sheet.Checker(RECT{at.x, at.y, at.x + 52, at.y + 36});
        if (icon) {
            DrawIconEx(sheet.Dc(), at.x + 2, at.y + 10, icon, 16, 16, 0, nullptr, DI_NORMAL);
            DrawIconEx(sheet.Dc(), at.x + 20, at.y + 2, icon, 32, 32, 0, nullptr, DI_NORMAL);
            DestroyIcon(icon);
        }
    }
    sheet.NewRow();
    for (int size : {16, 24, 32, 48, 256}) {
        HICON icon = static_cast<HICON>(LoadImageW(self, L"IDR_MAINFRAME", IMAGE_ICON, size, size, 0));
        const POINT at = sheet.Place(size, size, L"IDR_MAINFRAME " + std::to_wstring(size));
        sheet.Checker(RECT{at.x, at.y, at.x + size, at.y + size});
        if (icon) {
            DrawIconEx(sheet.Dc(), at.x, at.y, icon, size, size, 0, nullptr, DI_NORMAL);
            DestroyIcon(icon);
        }
    }
}

struct ImageButtonInfo {
    const wchar_t* name;
    UINT ids[4];
    int width, height;
    bool label;
};

void ImageButtons(CGallerySheet& sheet) {
    CImage background(LoadPngResource(2011));
    const ImageButtonInfo buttons[] = {
        {L"minimise", {2031, 2032, 2033, 0}, 31, 23, false},
        {L"close", {2041, 2042, 2042, 0}, 45, 23, false},
        {L"check box checked", {2061, 2062, 2062, 0}, 17, 15, false},
        {L"check box unchecked", {2071, 2072, 2072, 0}, 17, 15, false},
        {L"browse", {2091, 2092, 2093, 0}, 26, 21, false},
        {L"language", {2094, 2095, 2096, 0}, 10, 6, false},
        {L"Install", {2021, 2022, 2023, 2024}, 172, 51, true},
    };
    for (const ImageButtonInfo& b : buttons) {
        CLessDUIButton button;
        button.SetImages(b.ids[0], b.ids[1], b.ids[2], b.ids[3]);
        if (b.label) {
            button.SetText(L"Install");
            button.SetLabelFont(27, RGB(255, 255, 255));
        }
        CImage arrow(b.label ? LoadPngResource(2012) : nullptr);
        for (int state = 1; state <= (b.ids[3] ? 4 : 3); ++state) {
            const int pad = 8;
            const POINT at = sheet.Place(b.width + 2 * pad, b.height + 2 * pad,
                                         std::wstring(b.name) + L" " + kStateNames[state]);
            Backdrop(sheet.Dc(), background.Get(), RECT{at.x, at.y, at.x + b.width + 2 * pad, at.y + b.height + 2 * pad});
            const RECT dst = {at.x + pad, at.y + pad, at.x + pad + b.width, at.y + pad + b.height};
            if (b.label) button.SetTextRect(RECT{dst.left + 80, dst.top, dst.right, dst.bottom});
            button.SetState(state);
            button.Draw(sheet.Dc(), dst, RECT{0, 0, b.width, b.height});
            if (arrow) DrawImage(sheet.Dc(), dst.left + 29, dst.top + 10, 32, 29, arrow.Get(), 32 * (state - 1), 0, 32, 29);
        }
        sheet.NewRow();
    }
}

void TextButtons(CGallerySheet& sheet) {
    CImage background(LoadPngResource(2011));
    for (int style = 0; style <= 1; ++style) {
        for (int state = 1; state <= 4; ++state) {
            CLessDUIButton button;
            button.SetStyle(style);
            button.SetText(style ? L"Retry" : L"Close");
            button.SetState(state);
            const POINT at = sheet.Place(106, 43, std::wstring(style ? L"green " : L"light ") + kStateNames[state]);
            Backdrop(sheet.Dc(), background.Get(), RECT{at.x, at.y, at.x + 106, at.y + 43});
            button.Draw(sheet.Dc(), RECT{at.x + 8, at.y + 8, at.x + 98, at.y + 35}, RECT{});
        }
        sheet.NewRow();
    }
    // A label wider than its button: the button grows evenly to label + 20.
    for (int odd = 0; odd <= 1; ++odd) {
        CLessDUIButton button;
        button.SetStyle(1);
        button.SetText(odd ? L"Tentar novamente agora" : L"Tentar novamente!");
        button.SetState(1);
        const POINT at = sheet.Place(260, 43, odd ? L"grown (long label); red: given box" : L"grown; red: given box");
        Backdrop(sheet.Dc(), background.Get(), RECT{at.x, at.y, at.x + 260, at.y + 43});
        const RECT given = {at.x + 90, at.y + 8, at.x + 170, at.y + 35};
        button.Draw(sheet.Dc(), given, RECT{});
        HBRUSH red = CreateSolidBrush(RGB(255, 60, 60));
        FrameRect(sheet.Dc(), &given, red);
        DeleteObject(red);
    }
}

void Links(CGallerySheet& sheet) {
    CImage background(LoadPngResource(2011));
    for (int state = 1; state <= 3; ++state) {
        CLessDUILink link;
        link.SetColour(RGB(0x56, 0xD5, 0xFF));
        link.SetText(L"View license agreement");
        link.SetState(state);
        const POINT at = sheet.Place(216, 31, std::wstring(L"link ") + kStateNames[state]);
        Backdrop(sheet.Dc(), background.Get(), RECT{at.x, at.y, at.x + 216, at.y + 31});
        link.SetRect(RECT{at.x + 8, at.y + 8, at.x + 208, at.y + 23});
        link.Draw(sheet.Dc());
    }
}

void Progress(CGallerySheet& sheet) {
    CImage background(LoadPngResource(2011));
    for (unsigned position : {0u, 1u, 12u, 37u, 68u, 100u, 150u}) {
        CLessDUIProgress bar;
        bar.SetImages(2051, 2052, 2053);
        const POINT at = sheet.Place(571, 33, L"position " + std::to_wstring(position) +
                                                  (position > 100 ? L" (drawn as 100)" : L""));
        Backdrop(sheet.Dc(), background.Get(), RECT{at.x, at.y, at.x + 571, at.y + 33});
        bar.SetRect(RECT{at.x + 8, at.y + 8, at.x + 563, at.y + 25});
        bar.SetPosition(position);
        bar.Draw(sheet.Dc());
    }
}

void Tips(CGallerySheet& sheet) {
    CImage background(LoadPngResource(2011));
    const POINT a = sheet.Place(290, 60, L"tip with bubble 2099 and icon 2097");
    Backdrop(sheet.Dc(), background.Get(), RECT{a.x, a.y, a.x + 290, a.y + 60});
    CLessDUITip tip;
    tip.SetVisible(1);
    tip.SetIcon(2097);
    tip.SetBubble(2099);
    tip.SetText(L"There is no Space avaliable!");
    tip.SetRect(RECT{a.x + 10, a.y + 10, a.x + 250, a.y + 37});
    tip.Draw(sheet.Dc());

    const POINT b = sheet.Place(290, 60, L"tip drawn without a bubble image");
    Backdrop(sheet.Dc(), background.Get(), RECT{b.x, b.y, b.x + 290, b.y + 60});
    CLessDUITip drawn;
    drawn.SetVisible(1);
    drawn.SetIcon(2097);
    drawn.SetText(L"There is no Space avaliable!");
    drawn.SetRect(RECT{b.x + 10, b.y + 10, b.x + 250, b.y + 45});
    drawn.Draw(sheet.Dc());
}

// The start page put together from the images and controls at their places.
void StartPage(CGallerySheet& sheet) {
    const POINT o = sheet.Place(620, 387, L"start page, panel open (English built-in texts)");
    HDC dc = sheet.Dc();
    CImage bg(LoadPngResource(2011)), panel(LoadPngResource(2013)), logo(LoadPngResource(2151)),
        arrow(LoadPngResource(2012)), chevron(LoadPngResource(2082));
    CGdiObject<HFONT> font13(CreateTahomaFont(13, FW_NORMAL)), bold13(CreateTahomaFont(13, FW_BOLD));
    const int x = o.x, y = o.y;
    DrawImageAt(dc, x, y, bg.Get());
    DrawImageAt(dc, x, y + 340, panel.Get());
    CLessDUIButton minimise, close, install, check, browse, language;
    minimise.SetImages(2031, 2032, 2033, 0);
    close.SetImages(2041, 2042, 2042, 0);
    close.SetState(2);
    minimise.Draw(dc, RECT{x + 543, y + 1, x + 574, y + 24}, RECT{0, 0, 31, 23});
    close.Draw(dc, RECT{x + 574, y + 1, x + 619, y + 24}, RECT{0, 0, 45, 23});
    DrawImageAt(dc, x + 60, y + 70, logo.Get());
    install.SetImages(2021, 2022, 2023, 2024);
    install.SetText(L"Install");
    install.SetLabelFont(27, RGB(255, 255, 255));
    install.SetTextRect(RECT{x + 470, y + 90, x + 562, y + 141});
    install.Draw(dc, RECT{x + 390, y + 90, x + 562, y + 141}, RECT{0, 0, 172, 51});
    DrawImage(dc, x + 419, y + 100, 32, 29, arrow.Get(), 0, 0, 32, 29);
    DrawTextIn(dc, RECT{x + 154, y + 195, x + 412, y + 225},
               L"By installing this product you agree to the privacy policy and license agreement", RGB(255, 255, 255),
               font13.Get(), false);
    CLessDUILink privacy, licence, custom;
    for (CLessDUILink* link : {&privacy, &licence, &custom}) link->SetColour(RGB(0x56, 0xD5, 0xFF));
    privacy.SetText(L"View privacy policy");
    privacy.SetRect(RECT{x + 155, y + 230, x + 355, y + 245});
    licence.SetText(L"View license agreement");
    licence.SetRect(RECT{x + 155, y + 250, x + 355, y + 265});
    licence.SetState(2);
    privacy.Draw(dc);
    licence.Draw(dc);
    check.SetImages(2061, 2062, 2062, 0);
    check.Draw(dc, RECT{x + 155, y + 276, x + 172, y + 291}, RECT{0, 0, 17, 15});
    const wchar_t* label = L"Join customer experience improvement program";
    const int w = MeasureText(dc, label, font13.Get()).cx;
    DrawTextIn(dc, RECT{x + 174, y + 273, x + 174 + w, y + 293}, label, RGB(255, 255, 255), font13.Get(), true);
    const wchar_t* customText = L"Custom installation";
    const int cw = MeasureText(dc, customText, font13.Get()).cx;
    DrawImageAt(dc, x + 585 - cw, y + 317, chevron.Get());
    custom.SetText(customText);
    custom.SetRect(RECT{x + 600 - cw, y + 310, x + 605, y + 330});
    custom.Draw(dc);
    const wchar_t* folderLabel = L"Destination Folder:";
    const int f = MeasureText(dc, folderLabel, bold13.Get()).cx;
    DrawTextIn(dc, RECT{x + 22, y + 353, x + 47 + f, y + 373}, folderLabel, RGB(0xF4, 0xF4, 0xF4), bold13.Get(), true);
    DrawTextIn(dc, RECT{x + 47 + f, y + 353, x + 272, y + 373}, L"C:\\Program Files\\Nuvex Security\\Brisko",
               RGB(255, 255, 255), font13.Get(), true);
    browse.SetImages(2091, 2092, 2093, 0);
    browse.Draw(dc, RECT{x + 282, y + 353, x + 308, y + 374}, RECT{0, 0, 26, 21});
    const int n = MeasureText(dc, L"English", font13.Get()).cx;
    DrawTextIn(dc, RECT{x + 585 - n, y + 353, x + 590, y + 373}, L"English", RGB(255, 255, 255), font13.Get(), true);
    language.SetImages(2094, 2095, 2096, 0);
    language.Draw(dc, RECT{x + 590, y + 359, x + 600, y + 365}, RECT{0, 0, 10, 6});
    CLessDUITip tip;
    tip.SetVisible(1);
    tip.SetIcon(2097);
    tip.SetBubble(2099);
    tip.SetText(L"There is no Space avaliable!");
    tip.SetRect(RECT{x + 22, y + 318, x + 262, y + 345});
    tip.Draw(dc);
}

void ProgressAndFailurePages(CGallerySheet& sheet) {
    CImage bg(LoadPngResource(2011)), logo(LoadPngResource(2151)), status(LoadPngResource(2110));
    CGdiObject<HFONT> font13(CreateTahomaFont(13, FW_NORMAL)), font16(CreateTahomaFont(16, FW_NORMAL));
    {
        const POINT o = sheet.Place(620, 340, L"progress page at 64%");
        HDC dc = sheet.Dc();
        DrawImageAt(dc, o.x, o.y, bg.Get());
        DrawImageAt(dc, o.x + 155, o.y + 70, logo.Get());
        CLessDUIProgress bar;
        bar.SetImages(2051, 2052, 2053);
        bar.SetRect(RECT{o.x + 36, o.y + 273, o.x + 591, o.y + 290});
        bar.SetPosition(64);
        bar.Draw(dc);
        DrawTextIn(dc, RECT{o.x + 36, o.y + 255, o.x + 516, o.y + 273}, L"Download progress 64%",
                   RGB(0xF5, 0xF5, 0xF5), font13.Get(), true);
    }
    {
        const POINT o = sheet.Place(620, 340, L"download failed page");
        HDC dc = sheet.Dc();
        DrawImageAt(dc, o.x, o.y, bg.Get());
        DrawImageAt(dc, o.x + 155, o.y + 70, logo.Get());
        DrawImageAt(dc, o.x + 251, o.y + 185, status.Get());
        DrawTextIn(dc, RECT{o.x + 268, o.y + 185, o.x + 448, o.y + 197}, L"Download failed!", RGB(0xFF, 0xCC, 0x8F),
                   font16.Get(), true);
        DrawTextIn(dc, RECT{o.x + 251, o.y + 215, o.x + 471, o.y + 235}, L"Please Check the network.",
                   RGB(255, 255, 255), font13.Get(), true);
        CLessDUIButton closeButton, retry;
        closeButton.SetText(L"Close");
        retry.SetText(L"Retry");
        retry.SetStyle(1);
        closeButton.Draw(dc, RECT{o.x + 22, o.y + 291, o.x + 112, o.y + 318}, RECT{});
        retry.Draw(dc, RECT{o.x + 508, o.y + 291, o.x + 598, o.y + 318}, RECT{});
    }
}

const CGalleryRegistrar kSectionImages(L"Images (PNGRES), natural size and twice as large", 100, Images);
const CGalleryRegistrar kSectionIcons(L"Tray animation (1131-1142) and program icon", 150, Icons);
const CGalleryRegistrar kSectionImageButtons(L"Image buttons by state", 200, ImageButtons);
const CGalleryRegistrar kSectionTextButtons(L"Text buttons: light and green style by state", 220, TextButtons);
const CGalleryRegistrar kSectionLinks(L"Links: normal, hover, pressed", 240, Links);
const CGalleryRegistrar kSectionProgress(L"Progress bar (555-pixel box)", 260, Progress);
const CGalleryRegistrar kSectionTips(L"No-space tip", 280, Tips);
const CGalleryRegistrar kSectionStart(L"Pages put together from the toolkit", 300, StartPage);
const CGalleryRegistrar kSectionOthers(L"Progress and failure pages", 310, ProgressAndFailurePages);

}  // namespace
