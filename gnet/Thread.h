#pragma once
// A named worker thread with a FIFO task queue. An idle thread polls its
// queue every 100 ms; Stop() lets it drain what was queued and then end.
#include <windows.h>

#include <deque>
#include <string>

#include "gnet/Lock.h"
#include "gnet/TQTimer.h"
#include "gnet/ThreadTask.h"

namespace gnet {

class CThread {
public:
    explicit CThread(const std::wstring& name = std::wstring());
    ~CThread();
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    bool Start();
    // Queues the task; refused (false, task not queued and not deleted) once
    // the thread has been told to stop.
    bool PostTask(IThreadTask* task);
    bool Stop();
    bool WaitForExit();

    // Only before Start.
    void SetName(const std::wstring& name) { name_ = name; }
    const std::wstring& GetName() const { return name_; }
    bool IsStopping() const { return stopFlag_ != 0; }

private:
    // Holds one pending task for the thread's own delay timer (id 1).
    class CDelayTaskTimer : public ITQTimerCallBack {
    public:
        CDelayTaskTimer() : task_(nullptr), thread_(nullptr) {}
        void OnTimer(uint32_t timerId) override;
        IThreadTask* task_;
        CThread* thread_;
    };

    static unsigned __stdcall ThreadProc(void* self);
    void Loop();
    void NameForDebugger(DWORD threadId);
    void KillDelayTimer();

    std::wstring name_;
    HANDLE thread_;
    volatile char stopFlag_;
    volatile char startedFlag_;
    std::deque<IThreadTask*> queue_;
    CTQTimer delayTimers_;
    CDelayTaskTimer delayCallback_;
    CLock queueLock_;
};

}  // namespace gnet
