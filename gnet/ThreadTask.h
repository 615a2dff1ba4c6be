#pragma once
// Units of work queued to a CThread, and the receiver of timer expiries.
#include <cstdint>

namespace gnet {

class IThreadTask {
public:
    virtual ~IThreadTask() {}
    // Runs on the thread that took the task from its queue; false ends that
    // thread's loop. One-shot tasks delete themselves before returning.
    virtual bool RunThreadTask() = 0;
};

class ITQTimerCallBack {
public:
    // Called on a system timer-queue thread; must never arm or kill timers of
    // the CTQTimer that calls it (that would wait for itself).
    virtual void OnTimer(uint32_t timerId) = 0;

protected:
    ~ITQTimerCallBack() {}
};

}  // namespace gnet
