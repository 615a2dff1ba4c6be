#pragma once
// A kernel handle that is closed when its scope ends. Null and
// INVALID_HANDLE_VALUE both mean "no handle".
#include <windows.h>

class CScopedHandle {
public:
    explicit CScopedHandle(HANDLE handle = nullptr) : handle_(handle) {}
    ~CScopedHandle() { Reset(); }
    CScopedHandle(const CScopedHandle&) = delete;
    CScopedHandle& operator=(const CScopedHandle&) = delete;

    HANDLE Get() const { return handle_; }
    bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    // Closes the handle held and keeps `handle` instead.
    void Reset(HANDLE handle = nullptr)
    {
        if (Valid()) CloseHandle(handle_);
        handle_ = handle;
    }
    // Where a call that hands out a handle puts it; the one held is closed first.
    HANDLE* Receive()
    {
        Reset();
        return &handle_;
    }

private:
    HANDLE handle_;
};
