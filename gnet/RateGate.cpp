#include "gnet/RateGate.h"

namespace gnet {
namespace {

// A short burst is allowed so that the connections do not stutter.
const double kBurstSeconds = 0.1;
const DWORD kSleepSliceMs = 50;
const double kHeldBackWindowSeconds = 1.0;

}  // namespace

CRateGate::CRateGate(int64_t bytesPerSecond) : rate_(bytesPerSecond), nextFree_(0), lastHeld_(-1e9) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    frequency_ = static_cast<double>(frequency.QuadPart);
}

double CRateGate::Now() const {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / frequency_;
}

void CRateGate::Acquire(int64_t bytes, const volatile char* stop) {
    if (rate_ <= 0 || bytes <= 0) return;
    double due;
    {
        CAutoLock hold(lock_);
        double now = Now();
        if (nextFree_ < now - kBurstSeconds) nextFree_ = now - kBurstSeconds;
        nextFree_ += static_cast<double>(bytes) / static_cast<double>(rate_);
        due = nextFree_ - kBurstSeconds;
        if (due > now) lastHeld_ = now;
    }
    for (double wait = due - Now(); wait > 0 && !(stop && *stop); wait = due - Now()) {
        DWORD ms = static_cast<DWORD>(wait * 1000) + 1;
        Sleep(ms < kSleepSliceMs ? ms : kSleepSliceMs);
    }
}

bool CRateGate::HeldBackRecently() const {
    CAutoLock hold(lock_);
    return Now() - lastHeld_ < kHeldBackWindowSeconds;
}

}  // namespace gnet
