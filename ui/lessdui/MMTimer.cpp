#include "ui/lessdui/MMTimer.h"

#include <mmsystem.h>

#include <algorithm>

namespace lessdui {
namespace {

class CLock {
public:
    explicit CLock(CRITICAL_SECTION* cs) : cs_(cs) { EnterCriticalSection(cs_); }
    ~CLock() { LeaveCriticalSection(cs_); }
    CLock(const CLock&) = delete;
    CLock& operator=(const CLock&) = delete;

private:
    CRITICAL_SECTION* cs_;
};

}  // namespace

CMMTimer::CMMTimer() {
    InitializeCriticalSection(&lock_);
    TIMECAPS caps = {};
    if (timeGetDevCaps(&caps, sizeof(caps)) == TIMERR_NOERROR) {
        periodMin_ = caps.wPeriodMin;
        periodBegun_ = timeBeginPeriod(periodMin_) == TIMERR_NOERROR;
    }
}

CMMTimer::~CMMTimer() {
    std::vector<UINT> ids;
    {
        CLock lock(&lock_);
        for (const auto& event : events_) ids.push_back(event.first);
        events_.clear();
    }
    for (UINT id : ids) timeKillEvent(id);
    for (UINT id : ids) WaitForTick(id);
    if (periodBegun_) timeEndPeriod(periodMin_);
    DeleteCriticalSection(&lock_);
}

UINT CMMTimer::Start(ITimerCallBack* callback, UINT timerId, UINT delayMs, bool oneShot) {
    if (!callback || delayMs == 0) return 0;
    // The lock is held across timeSetEvent so a first tick cannot look the
    // event up before it is recorded.
    CLock lock(&lock_);
    const UINT eventId = timeSetEvent(delayMs, 0, TimerProc, reinterpret_cast<DWORD_PTR>(this),
                                      (oneShot ? TIME_ONESHOT : TIME_PERIODIC) | TIME_CALLBACK_FUNCTION | TIME_KILL_SYNCHRONOUS);
    if (eventId == 0) return 0;
    // The system may hand out the id of an event that ended on its own
    // (a one-shot one): the new event replaces that stale entry.
    events_[eventId] = Entry{callback, timerId};
    return eventId;
}

void CMMTimer::Stop(UINT timerId) {
    UINT eventId = 0;
    {
        CLock lock(&lock_);
        auto it = std::find_if(events_.begin(), events_.end(),
                               [timerId](const auto& event) { return event.second.timerId == timerId; });
        if (it == events_.end()) return;
        eventId = it->first;
        events_.erase(it);
    }
    timeKillEvent(eventId);
    WaitForTick(eventId);
}

bool CMMTimer::IsRunning(UINT timerId) {
    CLock lock(&lock_);
    return std::any_of(events_.begin(), events_.end(),
                       [timerId](const auto& event) { return event.second.timerId == timerId; });
}

void CALLBACK CMMTimer::TimerProc(UINT eventId, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    reinterpret_cast<CMMTimer*>(user)->Tick(eventId);
}

void CMMTimer::Tick(UINT eventId) {
    ITimerCallBack* callback = nullptr;
    const DWORD thread = GetCurrentThreadId();
    {
        CLock lock(&lock_);
        auto it = events_.find(eventId);
        if (it == events_.end()) return;
        callback = it->second.callback;
        running_.push_back(RunningTick{eventId, thread});
    }
    callback->OnTimer();
    CLock lock(&lock_);
    auto it = std::find_if(running_.begin(), running_.end(), [eventId, thread](const RunningTick& tick) {
        return tick.eventId == eventId && tick.threadId == thread;
    });
    if (it != running_.end()) running_.erase(it);
}

bool CMMTimer::TickRunningElsewhere(UINT eventId) {
    const DWORD thread = GetCurrentThreadId();
    CLock lock(&lock_);
    return std::any_of(running_.begin(), running_.end(), [eventId, thread](const RunningTick& tick) {
        return tick.eventId == eventId && tick.threadId != thread;
    });
}

// A tick never outlives the stop of its timer: its callback object may be
// freed as soon as Stop returns. From inside the tick itself there is nothing
// to wait for.
void CMMTimer::WaitForTick(UINT eventId) {
    while (TickRunningElsewhere(eventId)) Sleep(1);
}

}  // namespace lessdui
