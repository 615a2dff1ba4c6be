// Draws the start-page texts of every language the program carries into one
// PNG sheet, with the language pop-up beside each, so a person can see that
// every script renders with real glyphs (no empty boxes) under this system's
// fonts.
//
//     texts_gallery.exe OUTPUT.png
#include <windows.h>

#include "DibCanvas.h"

#include <cstdio>
#include <string>
#include <vector>

#include "ui/setup/LanguageSelectWnd.h"
#include "ui/setup/TextTable.h"

namespace {

constexpr int kTileWidth = 720;
constexpr int kTileHeight = 215;
constexpr COLORREF kBackground = RGB(0x1E, 0x63, 0xC8);
constexpr COLORREF kWhite = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kLink = RGB(0x56, 0xD5, 0xFF);
constexpr COLORREF kTitle = RGB(0xFF, 0xCC, 0x8F);
constexpr COLORREF kButton = RGB(0x2E, 0xB8, 0x4E);

class Fonts {
public:
    Fonts()
    {
        small = Make(13, FW_NORMAL);
        bold = Make(13, FW_BOLD);
        title = Make(16, FW_NORMAL);
        button = Make(27, FW_NORMAL);
    }
    ~Fonts()
    {
        for (HFONT font : {small, bold, title, button}) DeleteObject(font);
    }
    HFONT small, bold, title, button;

private:
    static HFONT Make(int height, int weight)
    {
        return CreateFontW(height, 0, 0, 0, weight, 0, 0, 0, DEFAULT_CHARSET, 0, 0, PROOF_QUALITY, FF_SWISS,
                           L"Tahoma");
    }
};

int TextWidth(HDC dc, HFONT font, const std::wstring& text)
{
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size = {};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    return size.cx;
}

void Text(HDC dc, HFONT font, COLORREF colour, const std::wstring& text, RECT box, UINT format)
{
    HGDIOBJ old = SelectObject(dc, font);
    SetTextColor(dc, colour);
    DrawTextW(dc, text.c_str(), -1, &box, format);
    SelectObject(dc, old);
}

void Fill(HDC dc, RECT box, COLORREF colour)
{
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &box, brush);
    DeleteObject(brush);
}

// Tells on stderr when a text needs more room than its box on the start page.
void CheckFits(HDC dc, HFONT font, const LanguageEntry& language, const wchar_t* what, const std::wstring& text,
               int width, int height, UINT format)
{
    RECT box = {0, 0, width, 0};
    HGDIOBJ old = SelectObject(dc, font);
    DrawTextW(dc, text.c_str(), -1, &box, format | DT_CALCRECT);
    SelectObject(dc, old);
    if (box.right > width || box.bottom > height) {
        fwprintf(stderr, L"texts_gallery: %ls (%ls): %ls needs %ldx%ld, its box is %dx%d\n", language.name.c_str(),
                 language.key.c_str(), what, box.right, box.bottom, width, height);
    }
}

// One language: the start page's texts at their places (shifted up by 90),
// the panel line, the progress and failure texts, and the pop-up list.
void DrawTile(HDC dc, int top, CTextTable& table, int language, const Fonts& fonts)
{
    table.Select(language);
    const UINT line = DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS;
    const UINT wrapped = DT_WORDBREAK | DT_EDITCONTROL;
    Fill(dc, RECT{0, top, kTileWidth, top + kTileHeight}, kBackground);
    Fill(dc, RECT{0, top + kTileHeight - 1, kTileWidth, top + kTileHeight}, kWhite);

    const LanguageEntry& entry = table.Languages()[language];
    Text(dc, fonts.bold, kWhite, entry.name + L"  (" + entry.key + L")", RECT{10, top + 6, 300, top + 24}, line);
    Fill(dc, RECT{390, top + 10, 562, top + 61}, kButton);
    Text(dc, fonts.button, kWhite, table.Text(IDS_ButtonInstall), RECT{470, top + 10, 562, top + 61}, DT_SINGLELINE | DT_VCENTER);

    Text(dc, fonts.small, kWhite, table.Format(IDS_DownloadProgress, 42), RECT{10, top + 30, 380, top + 46}, line);
    Text(dc, fonts.small, kWhite, table.Format(IDS_InstallProgress, 42), RECT{10, top + 46, 380, top + 62}, line);
    Text(dc, fonts.title, kTitle, table.Text(IDS_DownloadFail) + L"  " + table.Text(IDS_InstallFailed),
         RECT{10, top + 64, 380, top + 82}, line);
    Text(dc, fonts.small, kWhite,
         table.Text(IDS_PlsCheckNetwork) + L"  [" + table.Text(IDS_ButtonRetry) + L"] [" +
             table.Text(IDS_ButtonClose) + L"]",
         RECT{10, top + 82, 380, top + 98}, line);

    Text(dc, fonts.small, kWhite, table.Text(IDS_PreInstallStatement), RECT{154, top + 105, 412, top + 135},
         wrapped);
    Text(dc, fonts.small, kLink, table.Text(IDS_ViewPrivacyPolicy), RECT{155, top + 140, 355, top + 155},
         DT_SINGLELINE | DT_VCENTER);
    Text(dc, fonts.small, kLink, table.Text(IDS_Licence), RECT{155, top + 160, 355, top + 175},
         DT_SINGLELINE | DT_VCENTER);
    int check = TextWidth(dc, fonts.small, table.Text(IDS_IHaveRead));
    Fill(dc, RECT{155, top + 186, 172, top + 201}, kWhite);
    Text(dc, fonts.small, kWhite, table.Text(IDS_IHaveRead), RECT{174, top + 183, 174 + check, top + 203}, line);
    int custom = TextWidth(dc, fonts.small, table.Text(IDS_CustomInstall));
    Text(dc, fonts.small, kLink, table.Text(IDS_CustomInstall), RECT{600 - custom, top + 160, 605, top + 180},
         DT_SINGLELINE | DT_VCENTER);
    int folder = TextWidth(dc, fonts.bold, table.Text(IDS_Folder));
    Text(dc, fonts.bold, RGB(0xF4, 0xF4, 0xF4), table.Text(IDS_Folder), RECT{420, top + 70, 445 + folder, top + 90},
         line);
    Text(dc, fonts.small, kWhite, table.Text(IDS_TrayToolTip_Background), RECT{420, top + 90, 620, top + 106}, line);
    Text(dc, fonts.small, kWhite, table.Text(IDS_StartToDownload), RECT{420, top + 106, 620, top + 122}, line);
    Text(dc, fonts.small, kWhite, table.Text(IDS_ErrorNoSpace), RECT{420, top + 122, 620, top + 138}, line);

    CheckFits(dc, fonts.small, entry, L"the statement", table.Text(IDS_PreInstallStatement), 258, 30, wrapped);
    CheckFits(dc, fonts.button, entry, L"the Install label", table.Text(IDS_ButtonInstall), 92, 51,
              DT_SINGLELINE);
    CheckFits(dc, fonts.small, entry, L"a language name", entry.name, 65, 24, DT_SINGLELINE);
    CheckFits(dc, fonts.small, entry, L"the privacy link", table.Text(IDS_ViewPrivacyPolicy), 200, 15, DT_SINGLELINE);
    CheckFits(dc, fonts.small, entry, L"the licence link", table.Text(IDS_Licence), 200, 15, DT_SINGLELINE);

    HFONT listFont = fonts.small;
    std::vector<std::wstring> names = table.DisplayNames();
    int listHeight = CLanguageSelectWnd::kRowPitch * static_cast<int>(names.size()) + 1;
    PaintLanguageList(dc, RECT{635, top + 10, 635 + CLanguageSelectWnd::kWidth, top + 10 + listHeight}, names,
                      language, listFont);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        fwprintf(stderr, L"usage: texts_gallery OUTPUT.png\n");
        return 2;
    }
    CTextTable table;
    table.Load(GetModuleHandleW(nullptr), 1033);
    if (table.LanguageCount() < 2) {
        fwprintf(stderr, L"texts_gallery: the text resource is missing\n");
        return 1;
    }
    CDibCanvas canvas(kTileWidth, kTileHeight * table.LanguageCount(), RGB(0, 0, 0));
    if (!canvas.Valid()) return 1;
    SetBkMode(canvas.Dc(), TRANSPARENT);
    {
        Fonts fonts;
        for (int language = 0; language < table.LanguageCount(); ++language)
            DrawTile(canvas.Dc(), language * kTileHeight, table, language, fonts);
    }
    const bool written = canvas.WritePng(argv[1]);
    if (!written) {
        fwprintf(stderr, L"texts_gallery: cannot write %ls\n", argv[1]);
        return 1;
    }
    return 0;
}
