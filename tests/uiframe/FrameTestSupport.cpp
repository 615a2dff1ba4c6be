#include "FrameTestSupport.h"

#include <cstdio>

#include "ui/lessdui/LessDUIDraw.h"
#include "ui/lessdui/LessDUIMouse.h"

namespace uiframe_test {
namespace {

std::wstring TempIniPath() {
    wchar_t folder[MAX_PATH] = {};
    wchar_t path[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"ufr", 0, path);
    return path;
}

bool g_leftDown = false;
bool ProbeLeft() { return g_leftDown; }

}  // namespace

std::unique_ptr<CTextTable> MakeTexts(const std::vector<std::pair<TextId, std::wstring>>& texts) {
    std::wstring ini = L"\xFEFF[Global Defination]\r\nNumber_of_languages=1\r\nLanguages=1033\r\nDescripts=English\r\n";
    for (const auto& text : texts) {
        ini += L"[" + std::wstring(GetTextDefinition(text.first).section) + L"]\r\n1033=" + text.second + L"\r\n";
    }
    const std::wstring path = TempIniPath();
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (file) {
        fwrite(ini.data(), sizeof(wchar_t), ini.size(), file);
        fclose(file);
    }
    auto table = std::make_unique<CTextTable>();
    table->LoadFromFile(path);
    DeleteFileW(path.c_str());
    return table;
}

std::unique_ptr<CFrameView> MakeView(const CTextTable* texts) {
    auto view = std::make_unique<CFrameView>();
    view->Load(GetModuleHandleW(nullptr));
    view->SetTexts(texts);
    return view;
}

std::unique_ptr<CFrameCanvas> Render(CFrameView& view, const FrameState& state) {
    auto canvas = std::make_unique<CFrameCanvas>(kFrameWidth, kFrameExpandedHeight);
    canvas->Fill(kUntouched);
    view.Arrange(state);
    view.Draw(canvas->Dc(), state);
    return canvas;
}

std::unique_ptr<CFrameCanvas> RenderText(const RECT& box, const std::wstring& text, COLORREF colour,
                                         COLORREF background, int height, int weight, UINT format) {
    auto canvas = std::make_unique<CFrameCanvas>(kFrameWidth, kFrameExpandedHeight);
    canvas->Fill(background);
    HFONT font = lessdui::CreateTahomaFont(height, weight);
    HDC dc = canvas->Dc();
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colour);
    HGDIOBJ old = SelectObject(dc, font);
    RECT rect = box;
    DrawTextW(dc, text.c_str(), -1, &rect, format);
    SelectObject(dc, old);
    DeleteObject(font);
    return canvas;
}

int InkCount(const CFrameCanvas& canvas, const RECT& region, COLORREF background) {
    int count = 0;
    for (int y = region.top; y < region.bottom; ++y) {
        for (int x = region.left; x < region.right; ++x) {
            if (canvas.At(x, y) != background) ++count;
        }
    }
    return count;
}

int LeftmostInk(const CFrameCanvas& canvas, const RECT& region, COLORREF background) {
    for (int x = region.left; x < region.right; ++x) {
        for (int y = region.top; y < region.bottom; ++y) {
            if (canvas.At(x, y) != background) return x;
        }
    }
    return -1;
}

int RightmostInk(const CFrameCanvas& canvas, const RECT& region, COLORREF background) {
    for (int x = region.right - 1; x >= region.left; --x) {
        for (int y = region.top; y < region.bottom; ++y) {
            if (canvas.At(x, y) != background) return x;
        }
    }
    return -1;
}

bool SameIn(const CFrameCanvas& a, const CFrameCanvas& b, const RECT& region) {
    for (int y = region.top; y < region.bottom; ++y) {
        for (int x = region.left; x < region.right; ++x) {
            if (a.At(x, y) != b.At(x, y)) return false;
        }
    }
    return true;
}

int MeasureSmall(const std::wstring& text) {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = lessdui::CreateTahomaFont(13, FW_NORMAL);
    const int width = lessdui::MeasureText(dc, text.c_str(), font).cx;
    DeleteObject(font);
    DeleteDC(dc);
    return width;
}

CLeftButton::CLeftButton() {
    g_leftDown = false;
    lessdui::SetLeftButtonProbe(ProbeLeft);
}

CLeftButton::~CLeftButton() { lessdui::SetLeftButtonProbe(nullptr); }

void CLeftButton::Set(bool down) { g_leftDown = down; }

}  // namespace uiframe_test
