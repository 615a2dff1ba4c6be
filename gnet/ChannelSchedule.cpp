// Channel scheduling on the work thread: progress steps, over events, the
// channel starter, speed-limit stops, clearing channels and the resume
// record snapshot.
#include "gnet/DownloadFileImpl.h"
#include "gnet/DownloadTasks.h"
#include "gnet/NetCheck.h"
#include "gnet/RateGate.h"
#include "gnet/SimpleDebugLog.h"

namespace gnet {
namespace {

const wchar_t kScheduleSource[] = L"gnet::CDownloadFileImpl::DownPartTaskSchedule";
const wchar_t kBitsSource[] = L"gnet::CDownloadPartBitsTask::RunThreadTask";
const wchar_t kOverSource[] = L"gnet::CDownloadPartOverTask::RunThreadTask";
const wchar_t kStarterSource[] = L"gnet::CTimerStartChannelTask::RunThreadTask";
const wchar_t kManualStopSource[] = L"gnet::CManualStopPartTask::RunThreadTask";
const int kMaxNoChannelTicks = 10;

// Adds a block to a snapshot. A finished block may share its position with
// the next block's start; the unfinished one must win, or its missing bytes
// would vanish from the record.
void AddBlock(BlockList& blocks, int64_t position, int64_t remaining) {
    auto found = blocks.find(position);
    if (found == blocks.end()) {
        blocks[position] = remaining;
    } else if (found->second == 0) {
        found->second = remaining;
    }
}

}  // namespace

bool CDownloadFileImpl::IsCandidate(CDownloadPartTask* task) {
    CDownloadPartRequest& request = task->Request();
    return request.GetRemaining() > 0 && (request.status == kPartIdle || request.status == kPartFailed);
}

int CDownloadFileImpl::DownPartTaskSchedule(int index, Channel& channel, bool afterCompletion) {
    if (!noSpeedLimit_ && speedLimit_ != 0) {
        int64_t average;
        {
            CAutoLock hold(lockB_);
            average = averageSpeed_;
        }
        // Counted now, not taken from the last progress step: a channel that
        // has just finished or been stopped must not count as running, or the
        // limit could stop the last one and leave none to carry on.
        int running = CountRunningChannels();
        // The channels share one gate that holds them to the limit, so their
        // average stays just below it: a gate that holds channels back means
        // the limit is reached as much as an average at the limit does.
        bool limitReached = average >= speedLimit_ || (rateGate_ && rateGate_->HeldBackRecently());
        if (limitReached && running >= 1 && !(running == 1 && afterCompletion)) {
            PrintLog(L"%ls, limit download speed", kScheduleSource);
            PostToWork(new CManualStopPartTask(this));
            return kScheduleSpeedLimited;
        }
    }
    CDownloadPartRequest& request = channel.task->Request();
    // A server without ranges sends the whole file or nothing: a restart
    // starts it over.
    if (!supportsRange_ && request.GetRange().position != 0) request.SetRange(0, remoteSize_);
    request.status = kPartRunning;
    // Counted before the thread runs: a small file can be done before the
    // next progress event.
    CountRunningChannels();
    request.responseCode = 0;
    request.stopRequest = 0;
    InterlockedIncrement(&request.run);
    if (!channel.thread || !channel.thread->PostTask(channel.task)) {
        // The channel's thread takes no more work: the run goes to a new one.
        if (channel.thread) {
            channel.thread->WaitForExit();
            delete channel.thread;
        }
        channel.thread = new CThread(std::to_wstring(cookie_) + L"_Download_Thread_" + std::to_wstring(index));
        if (!channel.thread->Start() || !channel.thread->PostTask(channel.task)) request.status = kPartFailed;
    }
    InterlockedExchange(&failingIndex_, -1);
    timers_.SetTimer(kTimerChannelStarter, 3000, 0);
    lastStartedIndex_ = request.index;
    PrintLog(L"%ls, Start New Channel : %d", kScheduleSource, lastStartedIndex_);
    return kScheduleStarted;
}

// A channel that is not running and has nothing left (cut back to its own
// block after it had passed the block's end) is finished.
void CDownloadFileImpl::SettleIdleChannels() {
    for (auto& entry : channels_) {
        CDownloadPartRequest& request = entry.second.task->Request();
        if (request.GetRemaining() > 0 || request.status == kPartRunning || request.status == kPartDone) continue;
        request.status = kPartDone;
        if (entry.second.thread) entry.second.thread->Stop();
    }
}

// The download is complete when no channel misses a byte and none runs.
bool CDownloadFileImpl::FinishIfComplete() {
    int unfinished = 0;
    for (auto& entry : channels_) {
        CDownloadPartRequest& request = entry.second.task->Request();
        if (request.GetRemaining() > 0 || request.status == kPartRunning) ++unfinished;
    }
    blocksRemaining_ = unfinished;
    if (unfinished > 0) return false;
    SaveFileInfo();
    // Observers see the last progress, 100 %, before the end, even when the
    // file was done before any progress event.
    InterlockedExchange(&percent_, 10000);
    if (callback_) callback_->DownloadBits(cookie_);
    result_ = kDownRetSuccess;
    DownloadSuc();
    return true;
}

void CDownloadFileImpl::ScheduleAfterCompletion(const wchar_t* source) {
    for (auto& entry : channels_) {
        if (!IsCandidate(entry.second.task)) continue;
        if (DownPartTaskSchedule(entry.first, entry.second, true) == kScheduleStarted)
            PrintLog(L"%ls, StartNewThread : %d", source, lastStartedIndex_);
        else
            PrintLog(L"%ls, CDownloadPartOverTask StopNewThread", source);
        return;
    }
}

// Called on a channel thread when a channel other than the whole-file one
// delivers data: the whole-file channel goes back to its own block at once,
// before it fetches bytes that another channel is fetching too.
void CDownloadFileImpl::CutBackWholeFile(int byIndex) {
    CDownloadPartRequest* request = static_cast<CDownloadPartRequest*>(
        InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&wholeFileRequest_), nullptr));
    if (!request) return;
    request->CutBack(remoteSize_ - firstBlockLength_);
    InterlockedExchange(&wholeFileIndex_, -1);
    PrintLog(L"%ls, cut back by : %d", L"gnet::CDownloadFileImpl::CutBackWholeFile", byIndex);
    // A progress step settles the cut-back channel if it is not running.
    PostToWork(new CDownloadPartBitsTask(this, byIndex));
}

// The whole-file channel passed the end of its block while no other channel
// delivered anything: the server serves this download over one connection,
// so the others are dropped. Never when another block holds data.
void CDownloadFileImpl::GoAloneIfNoOtherChannelDelivered() {
    int wholeIndex = wholeFileIndex_;
    if (wholeIndex == -1 || !wholeFileRequest_ || channels_.size() < 2) return;
    auto whole = channels_.find(wholeIndex);
    if (whole == channels_.end() || whole->second.task->Request().GetRange().position <= firstBlockLength_) return;
    for (auto& entry : channels_) {
        if (entry.first == wholeIndex) continue;
        RangeState range = entry.second.task->Request().GetRange();
        if (range.downloaded > 0 || range.remaining <= 0) return;
    }
    if (!InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&wholeFileRequest_), nullptr)) return;
    PrintLog(L"%ls, one connection only : %d", L"gnet::CDownloadFileImpl::SaveFileInfo", wholeIndex);
    RunClearThreads(true);
    blocksRemaining_ = 1;
}

// A restart after which no channel received a byte is quiet. Once as many
// quiet restarts in a row as the maximum retries allows have passed, they
// count: the server refuses for good rather than being busy.
bool CDownloadFileImpl::QuietRestartsExhausted() {
    bool data = InterlockedExchange(&dataSinceRestart_, 0) != 0;
    if (data) quietRestarts_ = 0;
    if (!data && quietRestarts_ >= maxRetry_) {
        if (retryCount_ < maxRetry_) InterlockedExchange(&retryCount_, maxRetry_);
        return true;
    }
    ++quietRestarts_;
    return false;
}

LONG CDownloadFileImpl::CountRunningChannels() {
    LONG running = 0;
    for (auto& entry : channels_)
        if (entry.second.task->Request().status == kPartRunning) ++running;
    InterlockedExchange(&runningChannels_, running);
    if (running > mostRunningChannels_) InterlockedExchange(&mostRunningChannels_, running);
    return running;
}

void CDownloadFileImpl::RunPartBits(int index) {
    if (state_ == kStateStopped) return;
    SettleIdleChannels();
    if (FinishIfComplete()) return;
    LONG running = CountRunningChannels();

    SaveFileInfo();
    SampleSpeed();
    {
        CAutoLock hold(lockB_);
        RefreshAverageSpeed();
    }
    if (running < channelCount_ && index == lastStartedIndex_ && failingIndex_ == -1) {
        // The whole-file channel waits at its block's end for the channels
        // started now; it is held before they start so it cannot slip past.
        CDownloadPartRequest* whole = startedAll_ ? nullptr : wholeFileRequest_;
        if (whole) InterlockedExchange(&whole->holdForOthers, 1);
        bool startedOther = false;
        for (auto& entry : channels_) {
            if (!IsCandidate(entry.second.task)) continue;
            int answer = DownPartTaskSchedule(entry.first, entry.second, false);
            if (answer == kScheduleStarted) {
                startedOther = true;
                PrintLog(L"%ls, StartNewThread : %d", kBitsSource, lastStartedIndex_);
            } else {
                PrintLog(L"%ls, want to StopThread", kBitsSource);
            }
            if (startedAll_) break;
        }
        // Nobody was started (the speed limit refused them): nobody to wait for.
        if (whole && !startedOther) InterlockedExchange(&whole->holdForOthers, 0);
        startedAll_ = 1;
    }
    int64_t downloaded;
    {
        CAutoLock hold(lockA_);
        downloaded = downloadedSize_;
    }
    if (remoteSize_ > 0)
        InterlockedExchange(&percent_, static_cast<LONG>(static_cast<double>(downloaded) / remoteSize_ * 10000));
    if (callback_) callback_->DownloadBits(cookie_);
    PrintLog(L"%ls, percent=%d, Speed=%lld", kBitsSource, static_cast<int>(percent_),
             static_cast<long long>(GetCurSpeed()));
}

void CDownloadFileImpl::RunPartOver(int index, LONG run) {
    if (state_ == kStateStopped) return;
    auto found = channels_.find(index);
    if (found == channels_.end()) return;
    CDownloadPartRequest& request = found->second.task->Request();
    if (request.status == kPartRunning || (run != kAnyRun && run != request.run)) {
        // The channel was started again since this run ended.
        PrintLog(L"%ls, stale over of run %d", kOverSource, static_cast<int>(run));
        return;
    }
    if (request.GetRemaining() <= 0) {
        lastOverWasCompletion_ = 1;
        request.status = kPartDone;
        if (found->second.thread) found->second.thread->Stop();
        SettleIdleChannels();
        if (FinishIfComplete()) return;
        ScheduleAfterCompletion(kOverSource);
        return;
    }
    PrintLog(L"%ls, curl_easy_perform = %d", kOverSource, static_cast<int>(request.curlResult));
    PrintLog(L"%ls, Respone = %d", kOverSource, static_cast<int>(request.responseCode));
    if (request.writeError) {
        result_ = kDownRetWriteFail;
        DownloadError();
        DeleteDownFile();
        return;
    }
    if (!supportsRange_) {
        // The server sends the whole file or nothing: start it over.
        request.SetRange(0, remoteSize_);
    }
    lastOverWasCompletion_ = 0;
    if (CheckNetworkOrFail(kOverSource, L"%ls, Network error") != kNetConnected) return;
    timers_.SetTimer(kTimerFailCoolDown, 10000, 0);
    InterlockedExchange(&failingIndex_, index);
    if (index == manualStoppedIndex_) stopAllowed_ = 1;
}

void CDownloadFileImpl::RunTimerStartChannel() {
    if (state_ == kStateStopped || failingIndex_ != -1) return;
    SettleIdleChannels();
    if (FinishIfComplete()) return;
    std::map<int, Channel>::iterator chosen = channels_.end();
    std::map<int, Channel>::iterator remembered = channels_.end();
    bool sawRunning = false;
    for (auto it = channels_.begin(); it != channels_.end(); ++it) {
        CDownloadPartTask* task = it->second.task;
        if (IsCandidate(task)) {
            if (task->Request().responseCode == 503 || sawRunning) {
                chosen = it;
                break;
            }
            remembered = it;
        } else if (task->Request().status == kPartRunning) {
            sawRunning = true;
            if (remembered != channels_.end()) {
                chosen = remembered;
                break;
            }
        }
    }
    if (chosen != channels_.end()) {
        if (QuietRestartsExhausted()) {
            PrintLog(L"%ls, Fail more than max retry time!!!", kStarterSource);
            result_ = kDownRetRetryExceeded;
            DownloadError();
            return;
        }
        if (DownPartTaskSchedule(chosen->first, chosen->second, false) == kScheduleStarted)
            PrintLog(L"%ls, StartNewThread : %d", kStarterSource, lastStartedIndex_);
        else
            PrintLog(L"%ls, CTimerStartChannelTask Stop Thread", kStarterSource);
        return;
    }
    if (sawRunning) return;
    if (CheckNetworkOrFail(kStarterSource, L"%ls, Network error") != kNetConnected) return;
    if (retryCount_ >= maxRetry_) {
        PrintLog(L"%ls, Fail more than max retry time!!!", kStarterSource);
        result_ = kDownRetRetryExceeded;
        DownloadError();
        return;
    }
    if (remembered != channels_.end()) {
        QuietRestartsExhausted();  // a counted restart still starts a new quiet stretch
        if (!lastOverWasCompletion_) {
            InterlockedIncrement(&retryCount_);
            PrintLog(L"%ls, Fail download : retry times = %d", kStarterSource, static_cast<int>(retryCount_));
        }
        if (DownPartTaskSchedule(remembered->first, remembered->second, false) == kScheduleStarted)
            PrintLog(L"%ls, StartNewThread : %d", kStarterSource, lastStartedIndex_);
        else
            PrintLog(L"%ls, Stop Thread", kStarterSource);
        return;
    }
    PrintLog(L"%ls, It should not happen", kStarterSource);
    if (++noChannelTicks_ > kMaxNoChannelTicks) {
        result_ = kDownRetNoChannel;
        DownloadError();
        noChannelTicks_ = 0;
    }
}

void CDownloadFileImpl::RunManualStopPart() {
    // The last running channel is never stopped: the count is taken now.
    if (!(stopAllowed_ || manualStoppedIndex_ == -1) || CountRunningChannels() <= 1) return;
    for (auto& entry : channels_) {
        CDownloadPartRequest& request = entry.second.task->Request();
        if (request.status != kPartRunning) continue;
        request.stopRequest = 1;
        PrintLog(L"%ls, Stop a Channel : %d", kManualStopSource, entry.first);
        stopAllowed_ = 0;
        manualStoppedIndex_ = entry.first;
        return;
    }
}

void CDownloadFileImpl::RunClearThreads(bool keepWholeFileChannel) {
    int keep = keepWholeFileChannel ? static_cast<int>(wholeFileIndex_) : -1;
    if (keep == -1) InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&wholeFileRequest_), nullptr);
    std::map<int, Channel> removed;
    for (auto it = channels_.begin(); it != channels_.end();) {
        if (it->first == keep) {
            ++it;
            continue;
        }
        removed.insert(*it);
        it = channels_.erase(it);
    }
    for (auto& entry : removed) {
        CDownloadPartRequest& request = entry.second.task->Request();
        request.cancelled = 1;
        request.stopRequest = 1;
        if (entry.second.thread) entry.second.thread->Stop();
    }
    // Every thread ends before any task goes: a channel thread may still be
    // cutting back the whole-file channel's request.
    for (auto& entry : removed) {
        if (!entry.second.thread) continue;
        entry.second.thread->WaitForExit();
        delete entry.second.thread;
    }
    for (auto& entry : removed) delete entry.second.task;
}

void CDownloadFileImpl::SaveFileInfo() {
    GoAloneIfNoOtherChannelDelivered();
    BlockList blocks;
    int64_t totalDownloaded = 0;
    int64_t totalRemaining = 0;
    for (auto& entry : channels_) {
        RangeState range = entry.second.task->Request().GetRange();
        totalDownloaded += range.downloaded;
        if (range.position < 0 || range.position > remoteSize_ || range.remaining < 0 ||
            range.remaining > remoteSize_)
            return;
        AddBlock(blocks, range.position, range.remaining);
        totalRemaining += range.remaining;
        if (range.wholeFile) break;  // it covers everything after it
    }
    if (remoteSize_ - totalRemaining < 0) return;
    {
        CAutoLock hold(lockA_);
        downloadedSize_ = remoteSize_ - totalRemaining;
    }
    {
        // Bytes fetched twice (before a cut-back) may make the sum exceed the
        // file; the total never goes back and never past the file's size.
        CAutoLock hold(lockB_);
        int64_t total = totalDownloaded > remoteSize_ ? remoteSize_ : totalDownloaded;
        if (total > savedRunTotal_) savedRunTotal_ = total;
        RefreshAverageSpeed();
    }
    fileInfo_.SetBlockNumber(static_cast<int>(blocks.size()));
    fileInfo_.SetBlocks(blocks);
    fileInfo_.SaveToFile();
}

void CDownloadFileImpl::SampleSpeed() {
    CAutoLock hold(lockB_);
    double t = SecondsSinceFirstData();
    double delta = t - sampleTime_;
    if (delta <= 0.5) return;
    if (savedRunTotal_ != previousSample_) {
        if (savedRunTotal_ > previousSample_) {
            sampleTime_ = t;
            currentSpeed_ = static_cast<int64_t>((savedRunTotal_ - previousSample_) / delta);
        }
        previousSample_ = savedRunTotal_;
    } else if (delta > 3) {
        sampleTime_ = t;
        currentSpeed_ = 0;
    }
}

int64_t CDownloadFileImpl::RefreshAverageSpeed() {
    double t = SecondsSinceFirstData();
    if (t <= 1e-15 && t >= -1e-15) return 0;
    averageSpeed_ = static_cast<int64_t>(savedRunTotal_ / t);
    return averageSpeed_;
}

}  // namespace gnet
