#pragma once
// Keeps other threads and processes out of the identity store file: a named
// mutex that counts as taken only by the one who created it.
#include <windows.h>

#include <string>

namespace guid {

class StoreLock {
public:
    // Tries five times, 100 ms apart; Held() tells whether it succeeded.
    explicit StoreLock(const std::wstring& storeFileName);
    ~StoreLock();
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;
    bool Held() const { return mutex_ != nullptr; }

    static std::wstring MutexName(const std::wstring& storeFileName);

private:
    HANDLE mutex_ = nullptr;
};

}  // namespace guid
