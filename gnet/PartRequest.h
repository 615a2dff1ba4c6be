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
    int wholeFile;       // the range still reaches to the end of the file
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
    // Identity of the channel's current run, raised each time the scheduler
    // posts it; the end of a run is reported with it, so a report that
    // arrives after the channel was started again is recognised as stale.
    volatile LONG run = 0;
    // Cleared by the scheduler when it posts a run, never by the run itself:
    // a stop that lands between the post and the run's first byte holds.
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
    // The whole-file channel's own block ends here; while holdForOthers is
    // set (the other channels were started and none delivered yet) it waits
    // there a moment instead of fetching bytes another channel is fetching.
    int64_t holdAt = -1;
    volatile LONG holdForOthers = 0;
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
    void SetWholeFile(int wholeFile) {
        CAutoLock hold(rangeLock);
        range.wholeFile = wholeFile;
    }
    int64_t GetRemaining() const { return GetRange().remaining; }
    // Cuts a whole-file range back to its own block: lowers the bytes still
    // wanted, never below 0 (a channel that already ran past its new end has
    // simply finished). One step, so no snapshot sees half of it.
    void CutBack(int64_t bytes) {
        CAutoLock hold(rangeLock);
        range.remaining -= bytes;
        if (range.remaining < 0) range.remaining = 0;
        range.wholeFile = 0;
    }

    RangeState range = {0, 0, 0, 0};
    mutable CLock rangeLock;
};

}  // namespace gnet
