#pragma once
// An ordinary message loop with message filters and idle handlers, and the
// module that keeps one loop per thread.
#include <windows.h>

#include <vector>

class IMessageFilter {
public:
    virtual ~IMessageFilter() = default;
    virtual bool PreTranslateMessage(MSG* msg) = 0;
};

class IIdleHandler {
public:
    virtual ~IIdleHandler() = default;
    virtual void OnIdle() = 0;
};

class CMessageLoop {
public:
    void AddMessageFilter(IMessageFilter* filter) { filters_.push_back(filter); }
    void AddIdleHandler(IIdleHandler* handler) { idleHandlers_.push_back(handler); }
    // Runs until WM_QUIT and returns its wParam.
    int Run();

private:
    std::vector<IMessageFilter*> filters_;
    std::vector<IIdleHandler*> idleHandlers_;
};

class CAppModule {
public:
    bool AddMessageLoop(CMessageLoop* loop);
    void RemoveMessageLoop();
    CMessageLoop* GetMessageLoop(DWORD threadId = GetCurrentThreadId()) const;

private:
    struct Entry {
        DWORD threadId;
        CMessageLoop* loop;
    };
    std::vector<Entry> loops_;
};

extern CAppModule g_module;
