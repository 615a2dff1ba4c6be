// Renders every image and every control state of the toolkit, and whatever
// other sections are registered, into one PNG contact sheet.
//   lessdui_gallery.exe OUTPUT.png
#include <algorithm>
#include <cstdio>
#include <vector>

#include "GallerySheet.h"

namespace {

struct Section {
    const wchar_t* title;
    int order;
    GalleryRender render;
};

std::vector<Section>& Sections() {
    static std::vector<Section> sections;
    return sections;
}

}  // namespace

CGalleryRegistrar::CGalleryRegistrar(const wchar_t* title, int order, GalleryRender render) {
    Sections().push_back(Section{title, order, render});
}

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        fwprintf(stderr, L"usage: lessdui_gallery OUTPUT.png\n");
        return 2;
    }
    auto sections = Sections();
    std::stable_sort(sections.begin(), sections.end(),
                     [](const Section& a, const Section& b) { return a.order < b.order; });
    CGallerySheet sheet(CGallerySheet::kWidth, 6000);
    for (const Section& s : sections) {
        sheet.Heading(s.title);
        s.render(sheet);
        sheet.NewRow();
    }
    if (!sheet.WritePng(argv[1])) {
        fwprintf(stderr, L"cannot write %ls\n", argv[1]);
        return 1;
    }
    wprintf(L"%d sections written to %ls\n", static_cast<int>(sections.size()), argv[1]);
    return 0;
}
