#pragma once
// A critical section with a scoped holder. Copying a CLock makes a fresh,
// unlocked lock: objects that own one stay copyable, each copy guarded alone.
#include <windows.h>

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

// Closes a kernel handle when it goes out of scope.
class CScopedHandle {
public:
    explicit CScopedHandle(HANDLE handle = nullptr) : handle_(handle) {}
    ~CScopedHandle() { Reset(); }
    CScopedHandle(const CScopedHandle&) = delete;
    CScopedHandle& operator=(const CScopedHandle&) = delete;
    HANDLE Get() const { return handle_; }
    bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    void Reset(HANDLE handle = nullptr) {
        if (Valid()) CloseHandle(handle_);
        handle_ = handle;
    }

private:
    HANDLE handle_;
};

}  // namespace gnet
