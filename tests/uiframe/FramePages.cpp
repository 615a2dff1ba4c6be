// Draws every page of the setup window through its own view, with the art and
// texts the program carries, into one PNG file per page (make pages), so a
// person can compare each page with its layout. Beside each file name it
// prints how long one whole draw of that page takes (the mean of 50).
//
//     frame_pages.exe OUTPUT_FOLDER
#include <windows.h>

#include <cstdio>
#include <string>

#include "FrameCanvas.h"
#include "ui/lessdui/LessDUIDraw.h"
#include "ui/lessdui/LessDUIImage.h"
#include "ui/setup/FrameView.h"
#include "ui/setup/TextTable.h"

namespace {

constexpr LANGID kEnglish = 1033;
constexpr LANGID kThai = 1054;
constexpr LANGID kPortuguese = 1046;

struct PageShot {
    const wchar_t* file;
    LANGID language;
    void (*setUp)(FrameState& state, const CTextTable& texts);
};

const PageShot kShots[] = {
    {L"start.png", kEnglish, [](FrameState&, const CTextTable&) {}},
    {L"start-panel-thai.png", kThai,
     [](FrameState& s, const CTextTable&) {
         s.panelExpanded = true;
         s.arrowFrame = 2;
     }},
    {L"start-no-space-thai.png", kThai,
     [](FrameState& s, const CTextTable&) {
         s.panelExpanded = true;
         s.noSpaceTip = true;
         s.installEnabled = false;
     }},
    {L"start-no-space.png", kEnglish,
     [](FrameState& s, const CTextTable&) {
         s.panelExpanded = true;
         s.noSpaceTip = true;
         s.installEnabled = false;
         s.helpUs = true;
         s.folder = L"D:\\A rather long folder name for a drive\\Nuvex Security\\Brisko";
     }},
    {L"progress-40.png", kEnglish,
     [](FrameState& s, const CTextTable& t) {
         s.page = FramePage::Progress;
         s.progress = 40;
         s.status = t.Format(IDS_DownloadProgress, 40);
     }},
    {L"download-failed-1046.png", kPortuguese, [](FrameState& s, const CTextTable&) { s.page = FramePage::DownloadFailed; }},
    {L"download-failed-1033.png", kEnglish, [](FrameState& s, const CTextTable&) { s.page = FramePage::DownloadFailed; }},
    {L"install-failed.png", kEnglish,
     [](FrameState& s, const CTextTable&) {
         s.page = FramePage::InstallFailed;
         s.installerMessage =
             L"The installer could not replace a file that is in use. Close Nuvex Brisko and every window of it, "
             L"then try again.";
     }},
    {L"not-admin.png", kEnglish, [](FrameState& s, const CTextTable&) { s.page = FramePage::NotAdmin; }},
    {L"unsupported-system.png", kEnglish,
     [](FrameState& s, const CTextTable&) { s.page = FramePage::UnsupportedSystem; }},
};

bool SelectLanguage(CTextTable& texts, LANGID language) {
    for (int i = 0; i < texts.LanguageCount(); ++i) {
        if (texts.Languages()[i].langId == language) return texts.Select(i);
    }
    return false;
}

double MeanDrawMs(CFrameView& view, CFrameCanvas& canvas, const FrameState& state) {
    constexpr int kRounds = 50;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (int i = 0; i < kRounds; ++i) view.Draw(canvas.Dc(), state);
    GdiFlush();
    QueryPerformanceCounter(&end);
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart) /
           kRounds;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        fwprintf(stderr, L"usage: frame_pages OUTPUT_FOLDER\n");
        return 2;
    }
    const std::wstring folder = argv[1];
    CreateDirectoryW(folder.c_str(), nullptr);

    CTextTable texts;
    texts.Load(GetModuleHandleW(nullptr), kEnglish);
    CFrameView view;
    if (!view.Load(GetModuleHandleW(nullptr))) fwprintf(stderr, L"frame_pages: some images are missing\n");
    view.SetTexts(&texts);

    {
        // The largest single blend of every paint, for comparison.
        lessdui::CImage background(lessdui::LoadPngResource(2011));
        CFrameCanvas canvas(kFrameWidth, kFrameHeight);
        LARGE_INTEGER frequency, start, end;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        for (int i = 0; i < 50; ++i) lessdui::DrawImageAt(canvas.Dc(), 0, 0, background.Get());
        GdiFlush();
        QueryPerformanceCounter(&end);
        wprintf(L"background image alone blended in %.2f ms\n",
                1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart) / 50);
    }

    int failures = 0;
    for (const PageShot& shot : kShots) {
        if (!SelectLanguage(texts, shot.language)) {
            fwprintf(stderr, L"frame_pages: no language %u in the texts\n", shot.language);
            ++failures;
            continue;
        }
        FrameState state;
        state.langId = texts.CurrentLangId();
        state.languageName = texts.CurrentName();
        state.folder = L"C:\\Program Files\\Nuvex Security\\Brisko";
        shot.setUp(state, texts);
        CFrameCanvas canvas(kFrameWidth, state.panelExpanded ? kFrameExpandedHeight : kFrameHeight);
        view.Arrange(state);
        view.Draw(canvas.Dc(), state);
        const std::wstring path = folder + L"\\" + shot.file;
        if (!canvas.SavePng(path)) {
            fwprintf(stderr, L"frame_pages: cannot write %ls\n", path.c_str());
            ++failures;
            continue;
        }
        wprintf(L"%ls  (whole page drawn in %.2f ms)\n", path.c_str(), MeanDrawMs(view, canvas, state));
    }
    {
        // The arrow's animation repaints only its box: what one such paint costs.
        FrameState start;
        start.langId = texts.CurrentLangId();
        start.languageName = texts.CurrentName();
        const RECT arrow = view.ArrowBox();
        CFrameCanvas canvas(arrow.right - arrow.left, arrow.bottom - arrow.top);
        SetViewportOrgEx(canvas.Dc(), -arrow.left, -arrow.top, nullptr);
        wprintf(L"arrow box alone (the 10 per second repaint) drawn in %.2f ms\n", MeanDrawMs(view, canvas, start));
    }
    return failures ? 1 : 0;
}
