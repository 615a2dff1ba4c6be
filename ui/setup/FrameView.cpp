#include "ui/setup/FrameView.h"

#include "ui/lessdui/LessDUIDraw.h"
#include "ui/lessdui/LessDUIImage.h"
#include "ui/setup/TextTable.h"

namespace {

constexpr UINT kBackgroundId = 2011;
constexpr COLORREF kBackgroundFill = RGB(0x1E, 0x63, 0xC8);

HBITMAP LoadModulePng(HMODULE module, UINT id) {
    if (!module) module = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), L"PNGRES");
    if (!resource) return nullptr;
    const DWORD size = SizeofResource(module, resource);
    HGLOBAL loaded = LoadResource(module, resource);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    return (data && size) ? lessdui::DecodePng(data, size) : nullptr;
}

}  // namespace

struct CFrameView::Impl {
    const CTextTable* texts = nullptr;
    lessdui::CImage background;
};

CFrameView::CFrameView() : impl_(new Impl) {}
CFrameView::~CFrameView() = default;

bool CFrameView::Load(HMODULE module) {
    impl_->background.Reset(LoadModulePng(module, kBackgroundId));
    return static_cast<bool>(impl_->background);
}

void CFrameView::SetTexts(const CTextTable* texts) { impl_->texts = texts; }

void CFrameView::Arrange(const FrameState&) {}

void CFrameView::Draw(HDC dc, const FrameState& state) {
    const RECT client = {0, 0, kFrameWidth, state.panelExpanded ? kFrameExpandedHeight : kFrameHeight};
    lessdui::CGdiObject<HBRUSH> fill(CreateSolidBrush(kBackgroundFill));
    FillRect(dc, &client, fill.Get());
    lessdui::DrawImageAt(dc, 0, 0, impl_->background.Get());
}

void CFrameView::Paint(HWND window, const FrameState& state) {
    lessdui::CPaintBuffer buffer(window);
    if (buffer.Dc()) Draw(buffer.Dc(), state);
}

FrameCommand CFrameView::OnMouseMove(POINT, bool* redraw) {
    if (redraw) *redraw = false;
    return FrameCommand::None;
}

FrameCommand CFrameView::OnLButtonDown(POINT, bool* redraw) {
    if (redraw) *redraw = false;
    return FrameCommand::None;
}

FrameCommand CFrameView::OnLButtonUp(POINT, bool* redraw) {
    if (redraw) *redraw = false;
    return FrameCommand::None;
}

void CFrameView::OnMouseLeave(bool* redraw) {
    if (redraw) *redraw = false;
}

bool CFrameView::IsOverLink(POINT) const { return false; }

FrameCommand CFrameView::ControlAt(POINT) const { return FrameCommand::None; }

RECT CFrameView::ArrowBox() const { return RECT{419, 100, 451, 129}; }
