#include "ui/setup/FrameView.h"

#include <algorithm>
#include <vector>

#include "ui/lessdui/LessDUIButton.h"
#include "ui/lessdui/LessDUIDraw.h"
#include "ui/lessdui/LessDUIImage.h"
#include "ui/lessdui/LessDUILink.h"
#include "ui/lessdui/LessDUIMouse.h"
#include "ui/lessdui/LessDUIProgress.h"
#include "ui/lessdui/LessDUITip.h"
#include "ui/setup/FrameLayout.h"
#include "ui/setup/TextTable.h"

using namespace frame;
using lessdui::CGdiObject;
using lessdui::CImage;
using lessdui::CLessDUIButton;
using lessdui::CLessDUILink;

namespace {

constexpr UINT kSingleLine = DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS;
constexpr UINT kWrapped = DT_WORDBREAK | DT_EDITCONTROL;

HBITMAP LoadModulePng(HMODULE module, UINT id) {
    if (!module) module = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), L"PNGRES");
    if (!resource) return nullptr;
    const DWORD size = SizeofResource(module, resource);
    HGLOBAL loaded = LoadResource(module, resource);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    return (data && size) ? lessdui::DecodePng(data, size) : nullptr;
}

// Text in a font and colour, both restored afterwards (the background mode is
// already transparent).
void DrawLabel(HDC dc, const RECT& box, const std::wstring& text, COLORREF colour, HFONT font, UINT format) {
    if (text.empty()) return;
    const COLORREF oldColour = SetTextColor(dc, colour);
    HGDIOBJ oldFont = SelectObject(dc, font);
    RECT rect = box;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, format);
    SelectObject(dc, oldFont);
    SetTextColor(dc, oldColour);
}

RECT SourceOf(const RECT& box) { return RECT{0, 0, box.right - box.left, box.bottom - box.top}; }

bool Interactive(int state) {
    return state == lessdui::kStateNormal || state == lessdui::kStateHover || state == lessdui::kStatePressed;
}

// Shows, hides or disables a control without disturbing a hover or press
// that is under way.
template <typename Control>
void ShowControl(Control& control, bool visible, bool enabled = true) {
    const int state = control.State();
    if (!visible) {
        if (state != lessdui::kStateHidden) control.SetState(lessdui::kStateHidden);
    } else if (!enabled) {
        if (state != lessdui::kStateDisabled) control.SetState(lessdui::kStateDisabled);
    } else if (state == lessdui::kStateHidden || state == lessdui::kStateDisabled) {
        control.SetState(lessdui::kStateNormal);
    }
}

// A memory DC with a one-pixel bitmap: for measuring texts and for placing
// buttons (a button learns its hit rectangle when it is drawn).
class CScratchDc {
public:
    CScratchDc() : dc_(CreateCompatibleDC(nullptr)) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = 1;
        info.bmiHeader.biHeight = -1;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (dc_ && bitmap_) old_ = SelectObject(dc_, bitmap_);
    }
    ~CScratchDc() {
        if (old_) SelectObject(dc_, old_);
        if (bitmap_) DeleteObject(bitmap_);
        if (dc_) DeleteDC(dc_);
    }
    CScratchDc(const CScratchDc&) = delete;
    CScratchDc& operator=(const CScratchDc&) = delete;
    HDC Get() const { return dc_; }

private:
    HDC dc_;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

}  // namespace

struct CFrameView::Impl {
    Impl();

    // One clickable control and the command its click gives.
    struct Slot {
        FrameCommand command;
        CLessDUIButton* button;
        CLessDUILink* link;
        int State() const { return button ? button->State() : link->State(); }
        bool Contains(POINT pt) const {
            const RECT& box = button ? button->HitRect() : link->Rect();
            return PtInRect(&box, pt) != FALSE;
        }
    };

    const CTextTable& Texts() const { return texts ? *texts : builtInTexts; }
    const std::wstring& Text(TextId id) const { return Texts().Text(id); }
    int Measure(const std::wstring& text) const;
    void SetOwner(HWND window);
    void LoadImages(HMODULE module, bool* complete);
    void ArrangeControls(const FrameState& state);
    void PlaceButtons();
    void DrawButton(HDC dc, CLessDUIButton& button, const RECT& box);
    void DrawEveryPage(HDC dc, const FrameState& state);
    void DrawStart(HDC dc, const FrameState& state);
    void DrawPanel(HDC dc, const FrameState& state);
    void DrawProgress(HDC dc, const FrameState& state);
    void DrawFailure(HDC dc, const FrameState& state);
    bool StatesChanged(const std::vector<int>& before) const;
    std::vector<int> States() const;

    const CTextTable* texts = nullptr;
    CTextTable builtInTexts;
    HWND owner = nullptr;
    CScratchDc scratch;

    CImage background, panel, logo, arrowStrip, panelArrowDown, panelArrowUp, statusIcon;
    CGdiObject<HFONT> textFont, boldFont, titleFont;

    CLessDUIButton minimise, close, install, checked, unchecked, browse, language, retry, closeText;
    CLessDUILink privacy, licence, custom;
    lessdui::CLessDUIProgress progress;
    lessdui::CLessDUITip tip;
    std::vector<Slot> slots;

    // What the last arrangement decided.
    FramePage page = FramePage::Start;
    bool panelShown = false;
    StartBoxes start = {};
    FailureLayout failure = {};
    bool onFailurePage = false;
};

CFrameView::Impl::Impl()
    : textFont(lessdui::CreateTahomaFont(kSmallFont, FW_NORMAL)),
      boldFont(lessdui::CreateTahomaFont(kSmallFont, FW_BOLD)),
      titleFont(lessdui::CreateTahomaFont(kTitleFont, FW_NORMAL)) {
    // Offered the mouse in this order; the first click completed wins.
    slots = {
        {FrameCommand::Minimise, &minimise, nullptr},  {FrameCommand::Close, &close, nullptr},
        {FrameCommand::Install, &install, nullptr},    {FrameCommand::HelpUs, &checked, nullptr},
        {FrameCommand::HelpUs, &unchecked, nullptr},   {FrameCommand::Browse, &browse, nullptr},
        {FrameCommand::Language, &language, nullptr},  {FrameCommand::Retry, &retry, nullptr},
        {FrameCommand::CloseButton, &closeText, nullptr}, {FrameCommand::Privacy, nullptr, &privacy},
        {FrameCommand::Licence, nullptr, &licence},    {FrameCommand::CustomInstall, nullptr, &custom},
    };
    for (const Slot& slot : slots) {
        if (slot.button) slot.button->SetState(lessdui::kStateHidden);
        if (slot.link) {
            slot.link->SetState(lessdui::kStateHidden);
            slot.link->SetColour(kLinkColour);
        }
    }
    install.SetTextRect(kInstallLabelBox);
    install.SetLabelFont(kInstallFont, kWhite);
    retry.SetStyle(CLessDUIButton::kStyleGreen);
    progress.SetRect(kProgressBox);
    progress.SetMaximum(100);
    tip.SetRect(kTipBox);
    tip.SetColours(kTipTextColour, RGB(0xF5, 0xF5, 0xE4), RGB(0xB4, 0x9F, 0x86));
}

int CFrameView::Impl::Measure(const std::wstring& text) const {
    if (text.empty()) return 0;
    return lessdui::MeasureText(scratch.Get(), text.c_str(), textFont.Get()).cx;
}

void CFrameView::Impl::SetOwner(HWND window) {
    if (owner == window) return;
    owner = window;
    for (const Slot& slot : slots) {
        if (slot.button) slot.button->SetOwner(window);
        if (slot.link) slot.link->SetOwner(window);
    }
    progress.SetOwner(window);
    tip.SetOwner(window);
}

void CFrameView::Impl::LoadImages(HMODULE module, bool* complete) {
    auto load = [&](UINT id) {
        HBITMAP image = LoadModulePng(module, id);
        if (!image) *complete = false;
        return image;
    };
    background.Reset(load(kImageBackground));
    panel.Reset(load(kImagePanel));
    logo.Reset(load(kImageLogo));
    arrowStrip.Reset(load(kImageArrowStrip));
    panelArrowDown.Reset(load(kImagePanelArrowDown));
    panelArrowUp.Reset(load(kImagePanelArrowUp));
    statusIcon.Reset(load(kImageStatusIcon));

    minimise.SetImageHandles(load(kImageMinimise), load(kImageMinimiseHover), load(kImageMinimisePressed), nullptr);
    close.SetImageHandles(load(kImageClose), load(kImageCloseHover), load(kImageCloseHover), nullptr);
    install.SetImageHandles(load(kImageInstall), load(kImageInstallHover), load(kImageInstallPressed),
                            load(kImageInstallDisabled));
    checked.SetImageHandles(load(kImageChecked), load(kImageCheckedHover), load(kImageCheckedHover), nullptr);
    unchecked.SetImageHandles(load(kImageUnchecked), load(kImageUncheckedHover), load(kImageUncheckedHover),
                              nullptr);
    browse.SetImageHandles(load(kImageBrowse), load(kImageBrowseHover), load(kImageBrowsePressed), nullptr);
    language.SetImageHandles(load(kImageLanguage), load(kImageLanguageHover), load(kImageLanguagePressed), nullptr);
    progress.SetImageHandles(load(kImageProgressTrack), load(kImageProgressFill), load(kImageProgressShine));
    tip.SetIconImage(load(kImageTipIcon));
    tip.SetBubbleImage(load(kImageTipBubble));
}

void CFrameView::Impl::ArrangeControls(const FrameState& state) {
    page = state.page;
    const bool onStart = page == FramePage::Start;
    panelShown = onStart && state.panelExpanded;
    onFailurePage = ArrangeFailure(page, state.langId, &failure);

    TextWidths widths;
    widths.checkLabel = Measure(Text(IDS_IHaveRead));
    widths.customInstall = Measure(Text(IDS_CustomInstall));
    widths.folderLabel = Measure(Text(IDS_Folder));
    widths.languageName = Measure(state.languageName.empty() ? Texts().CurrentName() : state.languageName);
    start = ArrangeStart(widths);

    install.SetText(Text(IDS_ButtonInstall).c_str());
    retry.SetText(Text(IDS_ButtonRetry).c_str());
    closeText.SetText(Text(IDS_ButtonClose).c_str());
    closeText.SetStyle(page == FramePage::DownloadFailed ? CLessDUIButton::kStyleLight : CLessDUIButton::kStyleGreen);
    privacy.SetText(Text(IDS_ViewPrivacyPolicy).c_str());
    licence.SetText(Text(IDS_Licence).c_str());
    custom.SetText(Text(IDS_CustomInstall).c_str());
    privacy.SetRect(kPrivacyLinkBox);
    licence.SetRect(kLicenceLinkBox);
    custom.SetRect(start.customLink);
    tip.SetText(Text(IDS_ErrorNoSpace).c_str());

    ShowControl(minimise, true);
    ShowControl(close, true);
    ShowControl(install, onStart, state.installEnabled);
    ShowControl(checked, onStart && state.helpUs);
    ShowControl(unchecked, onStart && !state.helpUs);
    ShowControl(privacy, onStart);
    ShowControl(licence, onStart);
    ShowControl(custom, onStart);
    ShowControl(browse, panelShown);
    ShowControl(language, panelShown);
    ShowControl(retry, onFailurePage && failure.hasRetry);
    ShowControl(closeText, onFailurePage);
    tip.SetVisible(panelShown && state.noSpaceTip ? 1 : 0);

    const unsigned position = static_cast<unsigned>(std::min(100, std::max(0, state.progress)));
    if (progress.Position() != position) progress.SetPosition(position);
}

void CFrameView::Impl::DrawButton(HDC dc, CLessDUIButton& button, const RECT& box) {
    button.Draw(dc, box, SourceOf(box));
}

// The buttons of the arrangement learn their hit rectangles before the
// first paint, so the mouse reaches them from the start.
void CFrameView::Impl::PlaceButtons() {
    HDC dc = scratch.Get();
    DrawButton(dc, minimise, kMinimiseBox);
    DrawButton(dc, close, kCloseBox);
    DrawButton(dc, install, kInstallBox);
    DrawButton(dc, checked, kCheckBox);
    DrawButton(dc, unchecked, kCheckBox);
    DrawButton(dc, browse, kBrowseBox);
    DrawButton(dc, language, kLanguageButtonBox);
    if (onFailurePage) {
        DrawButton(dc, retry, failure.retryBox);
        DrawButton(dc, closeText, failure.closeBox);
    }
}

void CFrameView::Impl::DrawEveryPage(HDC dc, const FrameState& state) {
    const bool expanded = state.panelExpanded;
    const RECT client = {0, 0, kFrameWidth, expanded ? kFrameExpandedHeight : kFrameHeight};
    if (!background) {
        CGdiObject<HBRUSH> fill(CreateSolidBrush(kBackgroundFallback));
        FillRect(dc, &client, fill.Get());
    }
    lessdui::DrawImageAt(dc, kBackgroundBox.left, kBackgroundBox.top, background.Get());
    // The panel's band also covers the lower strip should another page be
    // shown while the window is still expanded.
    if (expanded) lessdui::DrawImageAt(dc, kPanelBox.left, kPanelBox.top, panel.Get());
    DrawButton(dc, minimise, kMinimiseBox);
    DrawButton(dc, close, kCloseBox);
    const POINT at = state.page == FramePage::Start ? kLogoOnStart : kLogoElsewhere;
    lessdui::DrawImage(dc, at.x, at.y, kLogoSize.cx, kLogoSize.cy, logo.Get(), 0, 0, kLogoSize.cx, kLogoSize.cy);
}

void CFrameView::Impl::DrawStart(HDC dc, const FrameState& state) {
    DrawButton(dc, install, kInstallBox);
    const int frameIndex = std::min(kArrowFrames - 1, std::max(0, state.arrowFrame));
    lessdui::DrawImage(dc, kArrowBox.left, kArrowBox.top, kArrowFrameSize.cx, kArrowFrameSize.cy, arrowStrip.Get(),
                       kArrowFrameSize.cx * frameIndex, 0, kArrowFrameSize.cx, kArrowFrameSize.cy);
    DrawLabel(dc, kStatementBox, Text(IDS_PreInstallStatement), kWhite, textFont.Get(), kWrapped);
    privacy.Draw(dc);
    licence.Draw(dc);
    DrawButton(dc, checked, kCheckBox);
    DrawButton(dc, unchecked, kCheckBox);
    DrawLabel(dc, start.checkLabel, Text(IDS_IHaveRead), kWhite, textFont.Get(), kSingleLine);
    lessdui::DrawImage(dc, start.panelArrow.x, start.panelArrow.y, kPanelArrowSize.cx, kPanelArrowSize.cy,
                       state.panelExpanded ? panelArrowUp.Get() : panelArrowDown.Get(), 0, 0, kPanelArrowSize.cx,
                       kPanelArrowSize.cy);
    custom.Draw(dc);
    if (panelShown) DrawPanel(dc, state);
}

void CFrameView::Impl::DrawPanel(HDC dc, const FrameState& state) {
    DrawLabel(dc, start.folderLabel, Text(IDS_Folder), kFolderLabelColour, boldFont.Get(), kSingleLine);
    DrawButton(dc, browse, kBrowseBox);
    DrawLabel(dc, start.folder, state.folder, kWhite, textFont.Get(), kSingleLine);
    DrawLabel(dc, start.languageName, state.languageName.empty() ? Texts().CurrentName() : state.languageName, kWhite,
              textFont.Get(), kSingleLine);
    DrawButton(dc, language, kLanguageButtonBox);
    tip.Draw(dc);
}

void CFrameView::Impl::DrawProgress(HDC dc, const FrameState& state) {
    progress.Draw(dc);
    DrawLabel(dc, kStatusBox, state.status, kStatusColour, textFont.Get(), kSingleLine);
}

void CFrameView::Impl::DrawFailure(HDC dc, const FrameState& state) {
    lessdui::DrawImage(dc, failure.icon.x, failure.icon.y, 12, 12, statusIcon.Get(), 0, 0, 12, 12);
    DrawLabel(dc, failure.titleBox, Text(failure.title), kFailureTitleColour, titleFont.Get(), kSingleLine);
    if (failure.hasDetail) {
        const std::wstring& detail = page == FramePage::DownloadFailed ? Text(IDS_PlsCheckNetwork)
                                     : state.installerMessage.empty() ? Text(IDS_ErrorNoSpace)
                                                                      : state.installerMessage;
        DrawLabel(dc, failure.detailBox, detail, kWhite, textFont.Get(), failure.detailWrapped ? kWrapped : kSingleLine);
    }
    if (failure.hasRetry) DrawButton(dc, retry, failure.retryBox);
    DrawButton(dc, closeText, failure.closeBox);
}

std::vector<int> CFrameView::Impl::States() const {
    std::vector<int> states;
    states.reserve(slots.size());
    for (const Slot& slot : slots) states.push_back(slot.State());
    return states;
}

bool CFrameView::Impl::StatesChanged(const std::vector<int>& before) const { return States() != before; }

CFrameView::CFrameView() : impl_(new Impl) {}
CFrameView::~CFrameView() = default;

bool CFrameView::Load(HMODULE module) {
    bool complete = true;
    impl_->LoadImages(module, &complete);
    return complete;
}

void CFrameView::SetTexts(const CTextTable* texts) { impl_->texts = texts; }

void CFrameView::Arrange(const FrameState& state) {
    impl_->ArrangeControls(state);
    impl_->PlaceButtons();
}

void CFrameView::Draw(HDC dc, const FrameState& state) {
    impl_->ArrangeControls(state);
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    impl_->DrawEveryPage(dc, state);
    switch (state.page) {
        case FramePage::Start:
            impl_->DrawStart(dc, state);
            break;
        case FramePage::Progress:
            impl_->DrawProgress(dc, state);
            break;
        default:
            impl_->DrawFailure(dc, state);
            break;
    }
    SetBkMode(dc, oldMode);
}

void CFrameView::Paint(HWND window, const FrameState& state) {
    impl_->SetOwner(window);
    lessdui::CPaintBuffer buffer(window);
    if (buffer.Dc()) Draw(buffer.Dc(), state);
}

FrameCommand CFrameView::OnMouseMove(POINT pt, bool* redraw) {
    const std::vector<int> before = impl_->States();
    for (const Impl::Slot& slot : impl_->slots) {
        if (slot.button) slot.button->OnMouseMove(pt);
        if (slot.link) slot.link->OnMouseMove(pt);
    }
    if (redraw) *redraw = impl_->StatesChanged(before);
    return FrameCommand::None;
}

FrameCommand CFrameView::OnLButtonDown(POINT pt, bool* redraw) {
    const std::vector<int> before = impl_->States();
    for (const Impl::Slot& slot : impl_->slots) {
        if (slot.button) slot.button->OnLButtonDown(pt);
        if (slot.link) slot.link->OnLButtonDown(pt);
    }
    if (redraw) *redraw = impl_->StatesChanged(before);
    return FrameCommand::None;
}

FrameCommand CFrameView::OnLButtonUp(POINT pt, bool* redraw) {
    const std::vector<int> before = impl_->States();
    FrameCommand command = FrameCommand::None;
    for (const Impl::Slot& slot : impl_->slots) {
        bool clicked = false;
        if (slot.button) slot.button->OnLButtonUp(pt, &clicked);
        if (slot.link) slot.link->OnLButtonUp(pt, &clicked);
        if (clicked && command == FrameCommand::None) command = slot.command;
    }
    if (redraw) *redraw = impl_->StatesChanged(before);
    return command;
}

void CFrameView::OnMouseLeave(bool* redraw) {
    const std::vector<int> before = impl_->States();
    for (const Impl::Slot& slot : impl_->slots) {
        if (slot.button) slot.button->OnMouseLeave();
        if (slot.link) slot.link->OnMouseLeave();
    }
    if (redraw) *redraw = impl_->StatesChanged(before);
}

bool CFrameView::IsOverLink(POINT pt) const {
    for (const Impl::Slot& slot : impl_->slots) {
        if (slot.link && Interactive(slot.State()) && slot.Contains(pt)) return true;
    }
    return false;
}

FrameCommand CFrameView::ControlAt(POINT pt) const {
    for (const Impl::Slot& slot : impl_->slots) {
        if (Interactive(slot.State()) && slot.Contains(pt)) return slot.command;
    }
    return FrameCommand::None;
}

RECT CFrameView::ArrowBox() const { return kArrowBox; }
