#pragma once
// A critical section with a scoped holder. Copying a CLock makes a fresh,
// unlocked lock: objects that own one stay copyable, each copy guarded alone.
#include <windows.h>

#include "base/ScopedHandle.h"

namespace gnet {

class CLock {
public:
    CLock() { InitializeCriticalSection(&section_); }
    CLock(const CLock&) { InitializeCriticalSection(&section_); }
    CLock& operator=(const CLock&) { return *this; }
    ~CLock() { DeleteCriticalSection(&section_); }
    void Enter() { EnterCriticalSection(&section_); }
    void Leave() { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

class CAutoLock {
public:
    explicit CAutoLock(CLock& lock) : lock_(lock) { lock_.Enter(); }
    ~CAutoLock() { lock_.Leave(); }
    CAutoLock(const CAutoLock&) = delete;
    CAutoLock& operator=(const CAutoLock&) = delete;

private:
    CLock& lock_;
};

// The engine's files and mappings are closed through the shared scoped handle.
using CScopedHandle = ::CScopedHandle;

}  // namespace gnet
