#pragma once
// The animated progress bar: a three-slice track, a fill as wide as the
// position, and a glow at the fill's head. Once drawn it repaints its owner
// every 50 ms through a multimedia timer until it is destroyed.
#include <windows.h>

#include "ui/lessdui/LessDUIImage.h"
#include "ui/lessdui/MMTimer.h"

namespace lessdui {

class CLessDUIProgress {
public:
    static constexpr UINT kRepaintTimerId = 1;
    static constexpr UINT kRepaintDelayMs = 50;

    CLessDUIProgress();
    ~CLessDUIProgress();
    CLessDUIProgress(const CLessDUIProgress&) = delete;
    CLessDUIProgress& operator=(const CLessDUIProgress&) = delete;

    void SetImages(UINT trackId, UINT fillId, UINT shineId, const wchar_t* type = L"PNGRES");
    // Takes ownership of the given images.
    void SetImageHandles(HBITMAP track, HBITMAP fill, HBITMAP shine);
    void SetOwner(HWND owner) { owner_ = owner; }
    void SetRect(const RECT& box);
    void SetMaximum(unsigned maximum) { maximum_ = maximum; }
    // Clamped to 0..100; repaints the owner.
    void SetPosition(unsigned position);
    unsigned Position() const { return position_; }
    int FillWidth() const { return fillWidth_; }
    bool IsAnimating() { return timer_.IsRunning(kRepaintTimerId); }

    void Draw(HDC dc);

private:
    class CTimerCallback final : public ITimerCallBack {
    public:
        explicit CTimerCallback(CLessDUIProgress* bar) : bar_(bar) {}
        void OnTimer() override;

    private:
        CLessDUIProgress* bar_;
    };

    void UpdateFill();
    void Repaint() const;

    CImage track_, fill_, shine_;
    unsigned position_ = 0;
    unsigned maximum_ = 100;
    RECT box_ = {};
    HWND owner_ = nullptr;
    int fillWidth_ = 0;
    CTimerCallback callback_{this};
    CMMTimer timer_;  // destroyed first: no tick outlives the bar
};

}  // namespace lessdui
