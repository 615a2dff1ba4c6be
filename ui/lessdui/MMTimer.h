#pragma once
// Multimedia timers with callback objects. Ticks arrive on the system's timer
// thread; the callback runs outside the lock, so it may start or stop timers.
// Stopping a timer, or destroying the service, waits for a tick of it that is
// already running (unless called from inside that tick).
#include <windows.h>

#include <map>
#include <vector>

namespace lessdui {

class ITimerCallBack {
public:
    virtual void OnTimer() = 0;

protected:
    ~ITimerCallBack() = default;
};

class CMMTimer {
public:
    CMMTimer();
    virtual ~CMMTimer();
    CMMTimer(const CMMTimer&) = delete;
    CMMTimer& operator=(const CMMTimer&) = delete;

    // The system's event id, 0 on failure (null callback, zero delay).
    UINT Start(ITimerCallBack* callback, UINT timerId, UINT delayMs, bool oneShot);
    void Stop(UINT timerId);
    bool IsRunning(UINT timerId);

private:
    struct Entry {
        ITimerCallBack* callback;
        UINT timerId;
    };
    struct RunningTick {
        UINT eventId;
        DWORD threadId;
    };
    static void CALLBACK TimerProc(UINT eventId, UINT message, DWORD_PTR user, DWORD_PTR, DWORD_PTR);
    void Tick(UINT eventId);
    bool TickRunningElsewhere(UINT eventId);
    void WaitForTick(UINT eventId);

    UINT periodMin_ = 0;
    bool periodBegun_ = false;
    std::map<UINT, Entry> events_;
    std::vector<RunningTick> running_;
    CRITICAL_SECTION lock_;
};

}  // namespace lessdui
