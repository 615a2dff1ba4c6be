#include "gnet/TQTimer.h"

namespace gnet {

// The queue is created with the first timer: Wine gives every timer queue a
// thread of its own from the start, and most queues (the one of every
// channel thread) never hold a timer.
CTQTimer::CTQTimer() : queue_(nullptr), queueFailed_(false), callback_(nullptr) {}

bool CTQTimer::EnsureQueueLocked() {
    if (!queue_ && !queueFailed_) {
        queue_ = CreateTimerQueue();
        queueFailed_ = queue_ == nullptr;
    }
    return queue_ != nullptr;
}

CTQTimer::~CTQTimer() {
    HANDLE queue = nullptr;
    {
        CAutoLock hold(lock_);
        queue = queue_;
        queue_ = nullptr;
    }
    // Deleting the queue waits for running callbacks; only then may their
    // records go away.
    if (queue) DeleteTimerQueueEx(queue, INVALID_HANDLE_VALUE);
    CAutoLock hold(lock_);
    for (auto& entry : timers_) delete entry.second;
    timers_.clear();
}

bool CTQTimer::SetTimer(uint32_t timerId, uint32_t dueMs, int oneShot) {
    CAutoLock hold(lock_);
    if (!EnsureQueueLocked()) return false;
    KillLocked(timerId);
    TimerRecord* record = new TimerRecord{this, timerId, nullptr, oneShot};
    HANDLE handle = nullptr;
    if (!CreateTimerQueueTimer(&handle, queue_, &CTQTimer::Trampoline, record, dueMs, oneShot ? 0 : dueMs, 0)) {
        delete record;
        return false;
    }
    record->handle = handle;
    timers_[timerId] = record;
    return true;
}

bool CTQTimer::KillTimer(uint32_t timerId) {
    CAutoLock hold(lock_);
    return KillLocked(timerId);
}

bool CTQTimer::KillLocked(uint32_t timerId) {
    auto found = timers_.find(timerId);
    if (found == timers_.end()) return false;
    if (queue_) DeleteTimerQueueTimer(queue_, found->second->handle, INVALID_HANDLE_VALUE);
    delete found->second;
    timers_.erase(found);
    return true;
}

bool CTQTimer::IsTimerExist(uint32_t timerId) {
    CAutoLock hold(lock_);
    return timers_.count(timerId) != 0;
}

VOID CALLBACK CTQTimer::Trampoline(PVOID parameter, BOOLEAN) {
    TimerRecord* record = static_cast<TimerRecord*>(parameter);
    if (record && record->owner->callback_) record->owner->callback_->OnTimer(record->timerId);
}

}  // namespace gnet
