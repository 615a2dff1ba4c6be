#pragma once
// The mouse state machine shared by buttons and links, and the one place the
// toolkit asks whether the left mouse button is down.
#include <windows.h>

namespace lessdui {

enum ControlState : int {
    kStateHidden = 0,    // not drawn (buttons), ignores the mouse
    kStateNormal = 1,
    kStateHover = 2,
    kStatePressed = 3,
    kStateDisabled = 4,  // drawn, ignores the mouse
};

// Whether the left mouse button is down now. Tests replace the probe; null
// puts back the real one (GetAsyncKeyState).
using LeftButtonProbe = bool (*)();
bool IsLeftButtonDown();
LeftButtonProbe SetLeftButtonProbe(LeftButtonProbe probe);

// State and capture of one control. Each event returns whether the point
// counts as inside; *changed tells the owner to repaint.
class CMouseTracker {
public:
    int State() const { return state_; }
    void SetState(int state) { state_ = state; }
    bool Captured() const { return capture_; }
    bool AcceptsMouse() const { return state_ != kStateHidden && state_ != kStateDisabled; }

    bool Move(bool inside, bool leftDown, bool* changed);
    bool Down(bool inside, bool* changed);
    bool Up(bool inside, bool* clicked, bool* changed);
    bool Leave();  // true when the state changed

private:
    bool Become(int state);
    int state_ = kStateNormal;
    bool capture_ = false;
};

}  // namespace lessdui
