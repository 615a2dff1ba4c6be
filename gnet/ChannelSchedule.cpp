// Channel scheduling on the work thread: progress steps, over events, the
// channel starter, speed-limit stops, clearing channels and the resume
// record snapshot.
#include "gnet/DownloadFileImpl.h"
#include "gnet/DownloadTasks.h"
#include "gnet/NetCheck.h"
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

int CDownloadFileImpl::DownPartTaskSchedule(CThread* thread, CDownloadPartTask* task, bool afterCompletion) {
    if (!noSpeedLimit_ && speedLimit_ != 0) {
        int64_t average;
        {
            CAutoLock hold(lockB_);
            average = averageSpeed_;
        }
        int running = runningChannels_;
        if (average >= speedLimit_ && running >= 1 && !(running == 1 && afterCompletion)) {
            PrintLog(L"%ls, limit download speed", kScheduleSource);
            PostToWork(new CManualStopPartTask(this));
            return kScheduleSpeedLimited;
        }
    }
    CDownloadPartRequest& request = task->Request();
    request.status = kPartRunning;
    request.responseCode = 0;
    if (!thread || !thread->PostTask(task)) {
        // A channel whose thread no longer takes work stays a candidate.
        request.status = kPartFailed;
    }
    InterlockedExchange(&failingIndex_, -1);
    timers_.SetTimer(kTimerChannelStarter, 3000, 0);
    lastStartedIndex_ = request.index;
    PrintLog(L"%ls, Start New Channel : %d", kScheduleSource, lastStartedIndex_);
    return kScheduleStarted;
}

void CDownloadFileImpl::RunPartBits(int index) {
    if (state_ == kStateStopped) return;
    if (wholeFileIndex_ != -1 && index != -1 && index != wholeFileIndex_) {
        auto found = channels_.find(wholeFileIndex_);
        if (found != channels_.end()) {
            CDownloadPartRequest& request = found->second.task->Request();
            request.ShortenBy(remoteSize_ - firstBlockLength_);
            request.wholeFile = 0;
        }
        wholeFileIndex_ = -1;
    }
    LONG running = 0;
    for (auto& entry : channels_)
        if (entry.second.task->Request().status == kPartRunning) ++running;
    InterlockedExchange(&runningChannels_, running);
    if (running > mostRunningChannels_) InterlockedExchange(&mostRunningChannels_, running);

    SaveFileInfo();
    SampleSpeed();
    {
        CAutoLock hold(lockB_);
        RefreshAverageSpeed();
    }
    if (running < channelCount_ && index == lastStartedIndex_ && failingIndex_ == -1) {
        for (auto& entry : channels_) {
            if (!IsCandidate(entry.second.task)) continue;
            int answer = DownPartTaskSchedule(entry.second.thread, entry.second.task, false);
            if (answer == kScheduleStarted)
                PrintLog(L"%ls, StartNewThread : %d", kBitsSource, lastStartedIndex_);
            else
                PrintLog(L"%ls, want to StopThread", kBitsSource);
            if (startedAll_) break;
        }
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

void CDownloadFileImpl::RunPartOver(int index) {
    if (state_ == kStateStopped) return;
    auto found = channels_.find(index);
    if (found == channels_.end()) return;
    CDownloadPartRequest& request = found->second.task->Request();
    if (request.GetRemaining() <= 0 || (request.status != kPartIdle && request.status != kPartFailed)) {
        lastOverWasCompletion_ = 1;
        if (found->second.thread) found->second.thread->Stop();
        --blocksRemaining_;
        if (blocksRemaining_ < 1) {
            SaveFileInfo();
            result_ = kDownRetSuccess;
            DownloadSuc();
            return;
        }
        for (auto& entry : channels_) {
            if (!IsCandidate(entry.second.task)) continue;
            if (DownPartTaskSchedule(entry.second.thread, entry.second.task, true) == kScheduleStarted)
                PrintLog(L"%ls, StartNewThread : %d", kOverSource, lastStartedIndex_);
            else
                PrintLog(L"%ls, CDownloadPartOverTask StopNewThread", kOverSource);
            break;
        }
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
    lastOverWasCompletion_ = 0;
    if (CheckNetworkOrFail(kOverSource, L"%ls, Network error") != kNetConnected) return;
    timers_.SetTimer(kTimerFailCoolDown, 10000, 0);
    InterlockedExchange(&failingIndex_, index);
    if (index == manualStoppedIndex_) stopAllowed_ = 1;
}

void CDownloadFileImpl::RunTimerStartChannel() {
    if (state_ == kStateStopped || failingIndex_ != -1) return;
    Channel* chosen = nullptr;
    Channel* remembered = nullptr;
    bool sawRunning = false;
    for (auto& entry : channels_) {
        CDownloadPartTask* task = entry.second.task;
        if (IsCandidate(task)) {
            if (task->Request().responseCode == 503 || sawRunning) {
                chosen = &entry.second;
                break;
            }
            remembered = &entry.second;
        } else if (task->Request().status == kPartRunning) {
            sawRunning = true;
            if (remembered) {
                chosen = remembered;
                break;
            }
        }
    }
    if (chosen) {
        if (DownPartTaskSchedule(chosen->thread, chosen->task, false) == kScheduleStarted)
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
    if (remembered) {
        if (!lastOverWasCompletion_) {
            InterlockedIncrement(&retryCount_);
            PrintLog(L"%ls, Fail download : retry times = %d", kStarterSource, static_cast<int>(retryCount_));
        }
        if (DownPartTaskSchedule(remembered->thread, remembered->task, false) == kScheduleStarted)
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
    if (!(stopAllowed_ || manualStoppedIndex_ == -1) || runningChannels_ <= 1) return;
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
    std::map<int, Channel> removed;
    for (auto it = channels_.begin(); it != channels_.end();) {
        if (keepWholeFileChannel && it->first == wholeFileIndex_) {
            ++it;
            continue;
        }
        removed.insert(*it);
        it = channels_.erase(it);
    }
    for (auto& entry : removed) {
        CDownloadPartRequest& request = entry.second.task->Request();
        request.cancelled = 1;
        if (request.status == kPartRunning) request.stopRequest = 1;
        if (entry.second.thread) entry.second.thread->Stop();
    }
    for (auto& entry : removed) {
        if (entry.second.thread) {
            entry.second.thread->WaitForExit();
            delete entry.second.thread;
        }
        delete entry.second.task;
    }
}

void CDownloadFileImpl::SaveFileInfo() {
    BlockList blocks;
    int64_t totalDownloaded = 0;
    int64_t totalRemaining = 0;
    int count = 0;
    for (auto& entry : channels_) {
        CDownloadPartRequest& request = entry.second.task->Request();
        RangeState range = request.GetRange();
        bool wholeFile = request.wholeFile != 0;
        totalDownloaded += range.downloaded;
        if (wholeFile && totalDownloaded > firstBlockLength_ && channels_.size() > 1) {
            // The first channel ran past its own block before any other one
            // delivered: this server serves the download over one connection.
            PostToWork(new CClearNoSupportMultiTask(this));
            blocksRemaining_ = 1;
        }
        if (range.position < 0 || range.position > remoteSize_ || range.remaining > remoteSize_) return;
        AddBlock(blocks, range.position, range.remaining);
        totalRemaining += range.remaining;
        ++count;
        if (wholeFile) break;  // it covers everything after it
    }
    if (remoteSize_ - totalRemaining < 0) return;
    {
        CAutoLock hold(lockA_);
        downloadedSize_ = remoteSize_ - totalRemaining;
    }
    {
        CAutoLock hold(lockB_);
        if (totalDownloaded < savedRunTotal_ || totalDownloaded > remoteSize_) return;
        savedRunTotal_ = totalDownloaded;
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
