#include "report/TaskMgr.h"

#include <objbase.h>
#include <process.h>

namespace {
// Runs a task and then signals the thread that waits for it.
class CSignalTask : public CTaskBase {
public:
    CSignalTask(CTaskBase* inner, HANDLE done) : inner_(inner), done_(done) {}
    ~CSignalTask() override { delete inner_; }
    void Run() override
    {
        inner_->Run();
        SetEvent(done_);
    }

private:
    CTaskBase* inner_;
    HANDLE done_;
};

class CTimerTask : public CTaskBase {
public:
    CTimerTask(HWND window, UINT_PTR id, UINT milliseconds, bool set)
        : window_(window), id_(id), milliseconds_(milliseconds), set_(set) {}
    void Run() override
    {
        if (set_)
            ::SetTimer(window_, id_, milliseconds_, nullptr);
        else
            ::KillTimer(window_, id_);
    }

private:
    HWND window_;
    UINT_PTR id_;
    UINT milliseconds_;
    bool set_;
};

bool ThreadIsRunning(HANDLE thread) { return thread && WaitForSingleObject(thread, 0) == WAIT_TIMEOUT; }
}  // namespace

CBaseThread::~CBaseThread()
{
    if (thread_) CloseHandle(thread_);
}

CTaskMgr::CTaskMgr() { ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr); }

CTaskMgr::~CTaskMgr()
{
    Stop();
    if (ready_) CloseHandle(ready_);
}

bool CTaskMgr::Start(bool initCom)
{
    ResetEvent(ready_);
    initCom_ = initCom;
    if (!ThreadIsRunning(thread_)) {
        if (thread_) CloseHandle(thread_);
        thread_ = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ThreadEntry, this, 0, &threadId_));
        if (!thread_) return false;
    } else if (window_) {
        return true;
    }
    HANDLE waits[2] = {ready_, thread_};
    return WaitForMultipleObjects(2, waits, FALSE, 3000) == WAIT_OBJECT_0 && window_ != nullptr;
}

unsigned __stdcall CTaskMgr::ThreadEntry(void* self)
{
    static_cast<CTaskMgr*>(self)->ThreadMain();
    return 0;
}

void CTaskMgr::ThreadMain()
{
    bool comReady = initCom_ && SUCCEEDED(CoInitialize(nullptr));
    HWND window = CreateWindowExW(0, L"Static", L"", WS_CHILD, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (window) {
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        replacedProc_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CTaskMgr::WindowProc)));
        window_ = window;
    }
    SetEvent(ready_);
    if (window) {
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
        window_ = nullptr;
        DropPendingTasks();
        DestroyWindow(window);
    }
    if (comReady) CoUninitialize();
}

void CTaskMgr::DropPendingTasks()
{
    // Tasks still queued when the loop ends are freed without running; a
    // thread waiting in SendTask sees the thread end instead.
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_COMMAND, WM_COMMAND, PM_REMOVE)) {
        if (message.lParam) delete reinterpret_cast<CTaskBase*>(message.lParam);
    }
}

LRESULT CALLBACK CTaskMgr::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CTaskMgr* self = reinterpret_cast<CTaskMgr*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_COMMAND && lParam) {
        CTaskBase* task = reinterpret_cast<CTaskBase*>(lParam);
        task->Run();
        delete task;
        return 0;
    }
    if (message == WM_TIMER && self) {
        self->OnTimer(wParam);
        return 0;
    }
    WNDPROC replaced = self ? self->replacedProc_ : nullptr;
    return replaced ? CallWindowProcW(replaced, window, message, wParam, lParam)
                    : DefWindowProcW(window, message, wParam, lParam);
}

bool CTaskMgr::PostTask(CTaskBase* task)
{
    if (!task) return false;
    HWND window = window_;
    if (window && PostMessageW(window, WM_COMMAND, 0, reinterpret_cast<LPARAM>(task))) return true;
    delete task;
    if (!window) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
}

bool CTaskMgr::SendTask(CTaskBase* task)
{
    if (!task) return false;
    if (window_ && IsWorkerThread()) {
        task->Run();
        delete task;
        return true;
    }
    // A sent message would overtake the tasks already posted, so the task is
    // posted behind them and the caller waits for it to run.
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!done) {
        delete task;
        return false;
    }
    if (!PostTask(new CSignalTask(task, done))) {
        CloseHandle(done);
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    HANDLE waits[2] = {done, thread_};
    DWORD result = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    bool ran = result == WAIT_OBJECT_0 || WaitForSingleObject(done, 0) == WAIT_OBJECT_0;
    CloseHandle(done);
    if (!ran) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return ran;
}

bool CTaskMgr::SetTimer(UINT_PTR id, UINT milliseconds)
{
    HWND window = window_;
    if (!window) return false;
    if (IsWorkerThread()) return ::SetTimer(window, id, milliseconds, nullptr) != 0;
    return PostTask(new CTimerTask(window, id, milliseconds, true));
}

bool CTaskMgr::KillTimer(UINT_PTR id)
{
    HWND window = window_;
    if (id == 0 || !window) return false;
    if (IsWorkerThread()) return ::KillTimer(window, id) != 0;
    return PostTask(new CTimerTask(window, id, 0, false));
}

void CTaskMgr::Stop()
{
    HWND window = window_;
    if (window) {
        if (!PostMessageW(window, WM_QUIT, 0, 0)) return;
    }
    if (!thread_ || IsWorkerThread()) return;
    if (WaitForSingleObject(thread_, 1000) == WAIT_TIMEOUT) {
        TerminateThread(thread_, 1);
        window_ = nullptr;
    }
}
