#include "gnet/Thread.h"

#include <process.h>

#include "gnet/StringUtil.h"

namespace gnet {
namespace {

const uint32_t kDelayTimerId = 1;
const DWORD kIdlePollMs = 100;

#pragma pack(push, 8)
struct ThreadNameInfo {
    DWORD type;
    LPCSTR name;
    DWORD threadId;
    DWORD flags;
};
#pragma pack(pop)

LONG CALLBACK ContinueAfterNaming(PEXCEPTION_POINTERS info) {
    if (info->ExceptionRecord->ExceptionCode == 0x406D1388) return EXCEPTION_CONTINUE_EXECUTION;
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

void CThread::CDelayTaskTimer::OnTimer(uint32_t) {
    if (thread_ && task_) thread_->PostTask(task_);
}

CThread::CThread(const std::wstring& name)
    : name_(name), thread_(nullptr), stopFlag_(0), startedFlag_(0) {
    delayCallback_.thread_ = this;
    delayTimers_.SetCallBack(&delayCallback_);
}

CThread::~CThread() { WaitForExit(); }

bool CThread::Start() {
    if (stopFlag_) return false;
    if (startedFlag_) return true;
    startedFlag_ = 1;
    unsigned threadId = 0;
    uintptr_t handle = _beginthreadex(nullptr, 0, &CThread::ThreadProc, this, 0, &threadId);
    if (!handle) return false;
    thread_ = reinterpret_cast<HANDLE>(handle);
    if (!name_.empty()) NameForDebugger(threadId);
    return true;
}

void CThread::NameForDebugger(DWORD threadId) {
    if (!IsDebuggerPresent()) return;
    std::string ansiName = WideToAnsi(name_);
    ThreadNameInfo info = {0x1000, ansiName.c_str(), threadId, 0};
    // GCC has no __try; a first vectored handler lets the program go on after
    // the debugger has seen the naming exception.
    PVOID handler = AddVectoredExceptionHandler(1, &ContinueAfterNaming);
    RaiseException(0x406D1388, 0, sizeof(info) / sizeof(ULONG_PTR), reinterpret_cast<ULONG_PTR*>(&info));
    if (handler) RemoveVectoredExceptionHandler(handler);
}

bool CThread::PostTask(IThreadTask* task) {
    if (stopFlag_ || !task) return false;
    CAutoLock hold(queueLock_);
    // Checked again under the lock so that a stopping thread that already
    // found its queue empty never misses a task.
    if (stopFlag_) return false;
    queue_.push_back(task);
    return true;
}

void CThread::KillDelayTimer() {
    if (delayTimers_.IsTimerExist(kDelayTimerId)) delayTimers_.KillTimer(kDelayTimerId);
}

bool CThread::Stop() {
    if (thread_) {
        {
            CAutoLock hold(queueLock_);
            stopFlag_ = 1;
        }
        KillDelayTimer();
    }
    return true;
}

bool CThread::WaitForExit() {
    if (thread_) {
        {
            CAutoLock hold(queueLock_);
            stopFlag_ = 1;
        }
        KillDelayTimer();
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        thread_ = nullptr;
    }
    return true;
}

unsigned __stdcall CThread::ThreadProc(void* self) {
    static_cast<CThread*>(self)->Loop();
    return 0;
}

void CThread::Loop() {
    for (;;) {
        IThreadTask* task = nullptr;
        {
            CAutoLock hold(queueLock_);
            if (stopFlag_ && queue_.empty()) break;
            if (!queue_.empty()) {
                task = queue_.front();
                queue_.pop_front();
            }
        }
        if (!task) {
            Sleep(kIdlePollMs);
            continue;
        }
        if (!task->RunThreadTask()) break;
    }
    startedFlag_ = 0;
}

}  // namespace gnet
