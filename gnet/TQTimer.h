#pragma once
// Small integer timer ids mapped onto timers of one Windows timer queue.
#include <windows.h>

#include <cstdint>
#include <map>

#include "gnet/Lock.h"
#include "gnet/ThreadTask.h"

namespace gnet {

class CTQTimer {
public:
    CTQTimer();
    ~CTQTimer();
    CTQTimer(const CTQTimer&) = delete;
    CTQTimer& operator=(const CTQTimer&) = delete;

    void SetCallBack(ITQTimerCallBack* callback) { callback_ = callback; }
    // Arms (or re-arms) a timer; periodic unless oneShot is non-zero. A one-shot
    // timer stays registered after it fired until KillTimer.
    bool SetTimer(uint32_t timerId, uint32_t dueMs, int oneShot);
    // Returns only after a running callback of this timer has finished.
    bool KillTimer(uint32_t timerId);
    bool IsTimerExist(uint32_t timerId);

private:
    struct TimerRecord {
        CTQTimer* owner;
        uint32_t timerId;
        HANDLE handle;
        int oneShot;
    };
    static VOID CALLBACK Trampoline(PVOID parameter, BOOLEAN timerFired);
    bool KillLocked(uint32_t timerId);
    bool EnsureQueueLocked();

    HANDLE queue_;
    bool queueFailed_;  // a failed creation is final: every SetTimer answers false
    std::map<uint32_t, TimerRecord*> timers_;
    CLock lock_;
    ITQTimerCallBack* callback_;
};

}  // namespace gnet
