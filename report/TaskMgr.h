#pragma once
// A worker thread with a hidden message-only window. Tasks are posted to the
// window, timers are window timers, so everything an owner runs on its worker
// is serialised by one message loop.
#include <windows.h>

class CTaskBase {
public:
    virtual ~CTaskBase() = default;
    virtual void Run() = 0;
};

class CBaseThread {
public:
    virtual ~CBaseThread();
    virtual void Stop() = 0;
    virtual void ThreadMain() = 0;

protected:
    HANDLE thread_ = nullptr;
    unsigned threadId_ = 0;
};

class CTaskMgr : public CBaseThread {
public:
    CTaskMgr();
    ~CTaskMgr() override;
    CTaskMgr(const CTaskMgr&) = delete;
    CTaskMgr& operator=(const CTaskMgr&) = delete;

    void Stop() override;
    void ThreadMain() override;
    virtual void OnTimer(UINT_PTR id) {}

    // True only when the worker's window came up within 3 seconds.
    bool Start(bool initCom);
    // The worker owns the task from here on; it is deleted even when it
    // cannot be posted. Returns false when it could not be posted.
    bool PostTask(CTaskBase* task);
    // Runs the task on the worker after every task posted before it and waits
    // for it. Returns false, with ERROR_INVALID_WINDOW_HANDLE as last error,
    // when the worker has no window any more; the task is then deleted unrun.
    bool SendTask(CTaskBase* task);
    bool SetTimer(UINT_PTR id, UINT milliseconds);
    bool KillTimer(UINT_PTR id);

    HWND Window() const { return window_; }
    bool IsWorkerThread() const { return GetCurrentThreadId() == threadId_; }

private:
    static unsigned __stdcall ThreadEntry(void* self);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void DropPendingTasks();

    HWND volatile window_ = nullptr;
    WNDPROC replacedProc_ = nullptr;
    HANDLE ready_ = nullptr;
    bool initCom_ = false;
};

template <class Owner>
class CTaskMgrTmpl : public CTaskMgr {
public:
    using Method = void (Owner::*)(WPARAM, LPARAM);
    using TimerCallback = void (Owner::*)(UINT_PTR, LPARAM);

    class CTaskParam2 : public CTaskBase {
    public:
        CTaskParam2(Owner* owner, Method method, WPARAM first, LPARAM second)
            : owner_(owner), method_(method), first_(first), second_(second) {}
        void Run() override { (owner_->*method_)(first_, second_); }

    private:
        Owner* owner_;
        Method method_;
        WPARAM first_;
        LPARAM second_;
    };

    explicit CTaskMgrTmpl(Owner* owner) : owner_(owner) {}
    ~CTaskMgrTmpl() override { Stop(); }

    bool Post(Method method, WPARAM first, LPARAM second)
    {
        return PostTask(new CTaskParam2(owner_, method, first, second));
    }
    bool Send(Method method, WPARAM first, LPARAM second)
    {
        return SendTask(new CTaskParam2(owner_, method, first, second));
    }
    void SetCallback(TimerCallback callback) { callback_ = callback; }
    void OnTimer(UINT_PTR id) override
    {
        if (callback_) (owner_->*callback_)(id, 0);
    }

private:
    Owner* owner_;
    TimerCallback callback_ = nullptr;
};
