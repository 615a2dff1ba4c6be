#include "app/MessageLoop.h"

CAppModule g_module;

int CMessageLoop::Run()
{
    MSG msg = {};
    for (;;) {
        while (!PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            for (IIdleHandler* handler : idleHandlers_) handler->OnIdle();
            WaitMessage();
        }
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        bool handled = false;
        for (IMessageFilter* filter : filters_)
            if (filter->PreTranslateMessage(&msg)) {
                handled = true;
                break;
            }
        if (handled) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return int(msg.wParam);
}

bool CAppModule::AddMessageLoop(CMessageLoop* loop)
{
    DWORD thread = GetCurrentThreadId();
    for (Entry& entry : loops_)
        if (entry.threadId == thread) return false;
    loops_.push_back(Entry{thread, loop});
    return true;
}

void CAppModule::RemoveMessageLoop()
{
    DWORD thread = GetCurrentThreadId();
    for (size_t i = 0; i < loops_.size(); ++i)
        if (loops_[i].threadId == thread) {
            loops_.erase(loops_.begin() + long(i));
            return;
        }
}

CMessageLoop* CAppModule::GetMessageLoop(DWORD threadId) const
{
    for (const Entry& entry : loops_)
        if (entry.threadId == threadId) return entry.loop;
    return nullptr;
}
