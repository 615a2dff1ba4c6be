#pragma once
// GoogleTest 1.12 builds its thread start-up signal on std::mutex, which the
// win32 thread model of this mingw-w64 toolchain lacks. This header supplies
// the same signal on a Win32 event; it is force-included (with
// GTEST_HAS_NOTIFICATION_=1) wherever GoogleTest headers are compiled.
#ifdef __cplusplus
#include <windows.h>

namespace testing {
namespace internal {

class Notification {
public:
    Notification() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() { CloseHandle(event_); }
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    void Notify() { SetEvent(event_); }
    void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

private:
    HANDLE event_;
};

}  // namespace internal
}  // namespace testing
#endif
