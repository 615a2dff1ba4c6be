#pragma once
// Holds the channels of one download together to a byte rate: each write
// waits for its turn, so the sum over all channels stays at the limit however
// many channels run (each channel's own cap alone would allow N times it).
#include <windows.h>

#include <cstdint>

#include "gnet/Lock.h"

namespace gnet {

class CRateGate {
public:
    explicit CRateGate(int64_t bytesPerSecond);
    // Waits until n more bytes fit the rate; returns early when *stop is set.
    void Acquire(int64_t bytes, const volatile char* stop);
    // Some channel had to wait for its turn within the last second: the
    // channels together would go faster than the rate.
    bool HeldBackRecently() const;

private:
    double Now() const;

    int64_t rate_;
    double nextFree_;  // seconds on the performance clock
    double lastHeld_;  // when a channel last had to wait
    double frequency_;
    mutable CLock lock_;
};

}  // namespace gnet
