#include "identity/StoreLock.h"

namespace guid {

namespace {
constexpr int kAttempts = 5;
constexpr DWORD kRetryDelayMs = 100;
}  // namespace

std::wstring StoreLock::MutexName(const std::wstring& storeFileName)
{
    return L"Global\\Mutex_NUVXI18NGUID_" + storeFileName;
}

StoreLock::StoreLock(const std::wstring& storeFileName)
{
    const std::wstring name = MutexName(storeFileName);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (attempt > 0) Sleep(kRetryDelayMs);
        HANDLE mutex = CreateMutexW(nullptr, TRUE, name.c_str());
        if (mutex && GetLastError() != ERROR_ALREADY_EXISTS) {
            mutex_ = mutex;
            return;
        }
        if (mutex) CloseHandle(mutex);
    }
}

StoreLock::~StoreLock()
{
    if (mutex_) {
        ReleaseMutex(mutex_);
        CloseHandle(mutex_);
    }
}

}  // namespace guid
