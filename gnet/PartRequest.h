#pragma once
// Description of one HTTP request: the size query or one channel's transfer.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gnet/Lock.h"

namespace gnet {

enum PartStatus { kPartIdle = 0, kPartRunning = 1, kPartDone = 2, kPartFailed = 3 };

struct RangeState {
    int64_t position;    // next byte to fetch
    int64_t remaining;   // bytes still to fetch from there
    int64_t downloaded;  // bytes written by this channel over all its runs
};

struct CDownloadPartRequest {
    void* curl = nullptr;
    int index = -1;
    int reserved = 0;
    int connectTimeout = 0;
    std::wstring mappingName;
    std::wstring url;  // with the URL suffix
    std::wstring referer;
    std::wstring user;
    std::wstring password;
    volatile LONG responseCode = 0;
    volatile LONG curlResult = 0;
    volatile LONG status = kPartIdle;
    volatile char stopRequest = 0;
    // Set when the engine tears the channel down: a run that had been queued
    // but not begun then returns at once instead of starting a transfer.
    volatile char cancelled = 0;
    std::wstring proxy;
    int lowSpeedLimit = 1;
    int lowSpeedTime = 15;
    int64_t recvSpeedCap = 0;
    std::vector<std::string> headerLines;
    volatile LONG writeError = 0;
    int wholeFile = 0;
    // Shared by all channels of a download that has a speed limit.
    class CRateGate* rateGate = nullptr;

    // The range is read and changed only under rangeLock, by the channel
    // thread (writes) and the work thread (snapshots, cut-back); so a saved
    // record never pairs a new position with an old remaining count.
    RangeState GetRange() const {
        CAutoLock hold(rangeLock);
        return range;
    }
    void SetRange(int64_t position, int64_t remaining) {
        CAutoLock hold(rangeLock);
        range.position = position;
        range.remaining = remaining;
    }
    int64_t GetRemaining() const { return GetRange().remaining; }
    // Lowers the bytes still wanted; never below 0 (a channel that already
    // ran past its new end has simply finished).
    void ShortenBy(int64_t bytes) {
        CAutoLock hold(rangeLock);
        range.remaining -= bytes;
        if (range.remaining < 0) range.remaining = 0;
    }

    RangeState range = {0, 0, 0};
    mutable CLock rangeLock;
};

}  // namespace gnet
