#include "ui/lessdui/LessDUIProgress.h"

#include "ui/lessdui/LessDUIDraw.h"

namespace lessdui {
namespace {

constexpr unsigned kMaxPosition = 100;
constexpr int kSliceHeight = 17;
constexpr int kShineWidth = 71;
constexpr int kShineReach = 67;

}  // namespace

CLessDUIProgress::CLessDUIProgress() = default;

CLessDUIProgress::~CLessDUIProgress() { timer_.Stop(kRepaintTimerId); }

void CLessDUIProgress::CTimerCallback::OnTimer() { bar_->Repaint(); }

void CLessDUIProgress::SetImages(UINT trackId, UINT fillId, UINT shineId, const wchar_t* type) {
    track_.Reset(LoadPngResource(trackId, type));
    fill_.Reset(LoadPngResource(fillId, type));
    shine_.Reset(LoadPngResource(shineId, type));
}

void CLessDUIProgress::SetImageHandles(HBITMAP track, HBITMAP fill, HBITMAP shine) {
    track_.Reset(track);
    fill_.Reset(fill);
    shine_.Reset(shine);
}

void CLessDUIProgress::SetRect(const RECT& box) {
    box_ = box;
    UpdateFill();
}

void CLessDUIProgress::SetPosition(unsigned position) {
    position_ = position > kMaxPosition ? kMaxPosition : position;
    UpdateFill();
    Repaint();
}

// Whole pixels: (width - 4) * position / 100, the caps taking the 4 others.
void CLessDUIProgress::UpdateFill() {
    const int inner = box_.right - box_.left - 4;
    fillWidth_ = inner > 0 ? inner * static_cast<int>(position_) / static_cast<int>(kMaxPosition) : 0;
}

void CLessDUIProgress::Repaint() const {
    if (owner_) InvalidateRect(owner_, nullptr, FALSE);
}

void CLessDUIProgress::Draw(HDC dc) {
    if (!timer_.IsRunning(kRepaintTimerId)) timer_.Start(&callback_, kRepaintTimerId, kRepaintDelayMs, false);
    const int l = box_.left, t = box_.top, h = box_.bottom - box_.top;
    const int fill = fillWidth_;
    DrawThreeSlice(dc, box_, track_.Get());
    if (fill <= 0) return;  // an empty bar is only its track

    DrawImage(dc, l + 2, t, 2, h, fill_.Get(), 2, 0, 2, kSliceHeight);
    if (fill > 4) DrawImage(dc, l + 4, t, fill - 4, h, fill_.Get(), 4, 0, 1, kSliceHeight);
    DrawImage(dc, l + fill, t, 2, h, fill_.Get(), 13, 0, 2, kSliceHeight);

    // The glow always ends at the head of the fill. Up to 67 pixels of fill it
    // shows the glow's right end; from there on the whole glow, squeezed to 67
    // (both give the same picture at 67, and the source never leaves the image).
    if (fill <= kShineReach) {
        DrawImage(dc, l + 2, t, fill, h, shine_.Get(), kShineReach - fill, 0, kShineWidth - (kShineReach - fill),
                  kSliceHeight);
    } else {
        DrawImage(dc, l + 2 + fill - kShineReach, t, kShineReach, h, shine_.Get(), 0, 0, kShineWidth, kSliceHeight);
    }
}

}  // namespace lessdui
