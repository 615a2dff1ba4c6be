#include "ui/lessdui/LessDUIMouse.h"

namespace lessdui {
namespace {

bool RealLeftButtonDown() { return GetAsyncKeyState(VK_LBUTTON) < 0; }

LeftButtonProbe g_leftButtonProbe = RealLeftButtonDown;

}  // namespace

bool IsLeftButtonDown() { return g_leftButtonProbe(); }

LeftButtonProbe SetLeftButtonProbe(LeftButtonProbe probe) {
    LeftButtonProbe previous = g_leftButtonProbe;
    g_leftButtonProbe = probe ? probe : RealLeftButtonDown;
    return previous;
}

bool CMouseTracker::Become(int state) {
    if (state_ == state) return false;
    state_ = state;
    return true;
}

bool CMouseTracker::Move(bool inside, bool leftDown, bool* changed) {
    *changed = false;
    if (!AcceptsMouse()) return false;
    if (inside) {
        if (capture_) {
            if (!leftDown) {
                capture_ = false;  // released somewhere we did not see
            } else {
                *changed = Become(kStatePressed);
            }
        } else if (state_ == kStateNormal && !leftDown) {
            *changed = Become(kStateHover);
        }
    } else if (state_ == kStateHover || state_ == kStatePressed) {
        *changed = Become(kStateNormal);
    }
    return inside;
}

bool CMouseTracker::Down(bool inside, bool* changed) {
    *changed = false;
    if (!AcceptsMouse()) return false;
    if ((inside && state_ == kStateNormal) || state_ == kStateHover) {
        *changed = Become(kStatePressed);
        capture_ = true;
    } else {
        capture_ = false;
    }
    return inside;
}

bool CMouseTracker::Up(bool inside, bool* clicked, bool* changed) {
    capture_ = false;
    *clicked = false;
    *changed = false;
    if (!AcceptsMouse()) return false;
    if (inside && state_ == kStatePressed) {
        *changed = Become(kStateNormal);
        *clicked = true;
    }
    return inside;
}

bool CMouseTracker::Leave() {
    if (state_ == kStateHover || state_ == kStatePressed) return Become(kStateNormal);
    return false;
}

}  // namespace lessdui
