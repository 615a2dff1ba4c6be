#pragma once
// The engine object: options, the work thread on which every decision and
// every client callback happens, the channel table and the timers.
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "gnet/DownloadFile.h"
#include "gnet/DownloadPartTask.h"
#include "gnet/EasyDownFile.h"
#include "gnet/FileInfo.h"
#include "gnet/Lock.h"
#include "gnet/RateGate.h"
#include "gnet/TQTimer.h"
#include "gnet/Thread.h"

namespace gnet {

enum EngineState { kStateIdle = 0, kStateRunning = 1, kStateStopped = 2 };

enum EngineTimer {
    kTimerSpeedSample = 1,
    kTimerProgressGate = 2,
    kTimerFailCoolDown = 3,
    kTimerChannelStarter = 4,
};

enum ScheduleAnswer { kScheduleStarted = 1, kScheduleSpeedLimited = 2 };

class CDownloadFileImpl : public IDownloadFile, public IDownloadPartCallBack, public ITQTimerCallBack {
public:
    explicit CDownloadFileImpl(IDownloadFileCallback* callback);
    ~CDownloadFileImpl() override;

    // IDownloadFile
    int SetHttpHeader(const wchar_t* json) override;
    int SetUserPwd(const wchar_t* user, const wchar_t* password) override;
    int SetReferer(const wchar_t* referer) override;
    int SetMaxRetry(int maxRetry) override;
    int SetBlockSize(int64_t blockSize) override;
    int SetUseIEProxy(int useIEProxy) override;
    int SetProxy(const wchar_t* proxy) override;
    int SetSpeedLimit(int64_t bytesPerSecond) override;
    int SetNoSpeedLimit(int noSpeedLimit) override;
    int SetChannelCount(int channels) override;
    int SetReuseSameFile(int reuse) override;
    int DownloadFile(int cookie, const wchar_t* url, const wchar_t* destPath, const wchar_t* urlSuffix) override;
    int StopDownload() override;
    int DeleteDownFile() override;
    int GetMaxChannels() override;
    int GetRunningChannels() override;
    int64_t GetDownloadedSize() override;
    int64_t GetFileSize() override;
    int GetPercent() override;
    int GetDownloadRet() override;
    const wchar_t* GetFinalDestPath() override;
    double GetCostTime() override;
    int64_t GetAvgSpeed() override;
    int64_t GetCurSpeed() override;
    int GetRetryTimes() override;
    int DeleteConfigFile() override;
    int SetForceName(int forceName) override;

    // IDownloadPartCallBack (channel threads)
    void DownloadPartStart(int index) override;
    void DownloadPartBits(int index) override;
    void DownloadPartOver(int index) override;
    void DownloadPartRunOver(int index, LONG run) override;

    // ITQTimerCallBack (timer-queue threads)
    void OnTimer(uint32_t timerId) override;

    // Work-thread steps, run by the engine's tasks.
    void RunDownloadStart(bool reuseSameFile);
    void RunPartBits(int index);
    LONG CountRunningChannels();
    // run: the identity of the run that ended; kAnyRun takes the current one.
    static const LONG kAnyRun = -1;
    void RunPartOver(int index, LONG run);
    void RunTimerStartChannel();
    void RunManualStopPart();
    void RunClearThreads(bool keepWholeFileChannel);
    void RunDeleteConfigFile();
    void RunDeleteDownFile();

private:
    struct Channel {
        CThread* thread;
        CDownloadPartTask* task;
    };

    bool IsIdle() const { return state_ == kStateIdle; }
    // Moves a running download to stopped; true only for the one caller that
    // did it, so only that caller may report the end.
    bool TryStop();
    void PostToWork(IThreadTask* task);
    void DownloadError();
    void DownloadSuc();
    void LogDownloadOver();
    void FailStart(int result);
    int CheckNetworkOrFail(const wchar_t* source, const wchar_t* message);

    // Start (download start, task file setup).
    CDownloadPartRequest MakeRequest() const;
    int64_t QueryRemoteSize(bool& supportsRange);
    bool GetTaskFileInfo(bool reuseSameFile, BlockList& blocks);
    bool EnforceForcedName();
    bool CreateTargetMapping();
    bool CreateChannels(const BlockList& blocks, CThread*& firstThread, CDownloadPartTask*& firstTask);

    // Scheduling.
    int DownPartTaskSchedule(int index, Channel& channel, bool afterCompletion);
    static bool IsCandidate(CDownloadPartTask* task);
    void SettleIdleChannels();
    bool FinishIfComplete();
    void ScheduleAfterCompletion(const wchar_t* source);
    bool QuietRestartsExhausted();
    void CutBackWholeFile(int byIndex);
    void GoAloneIfNoOtherChannelDelivered();
    void SaveFileInfo();
    void SampleSpeed();
    int64_t RefreshAverageSpeed();
    double SecondsSinceFirstData();
    void PostBitOverTask();
    void StartFirstDataClock();

    // Options and state owned by the interface.
    IDownloadFileCallback* callback_;
    int cookie_;
    volatile LONG state_;
    volatile LONG result_;
    volatile LONG percent_;
    double costTime_;
    std::wstring url_;
    std::wstring urlSuffix_;
    std::wstring destPath_;
    std::wstring requestedDestPath_;
    std::wstring destFolder_;
    int maxRetry_;
    int64_t blockSize_;
    int useIEProxy_;
    std::wstring proxy_;
    CLock proxyLock_;  // SetProxy may come from the client while channels are set up
    int64_t speedLimit_;
    int noSpeedLimit_;
    int channelCount_;
    int reuseSameFile_;
    int forceName_;
    std::wstring user_;
    std::wstring password_;
    std::wstring referer_;
    std::vector<std::string> headerLines_;
    volatile LONG retryCount_;
    volatile LONG finalPathValid_;
    std::wstring finalDestPath_;

    // Start.
    std::wstring ieProxy_;
    volatile int64_t remoteSize_;
    HANDLE mapping_;
    std::wstring mappingName_;
    CFileInfo fileInfo_;
    CRateGate* rateGate_;

    // Scheduling.
    std::map<int, Channel> channels_;
    int blocksRemaining_;
    volatile LONG runningChannels_;
    volatile LONG mostRunningChannels_;
    int lastStartedIndex_;
    volatile LONG failingIndex_;
    volatile LONG wholeFileIndex_;
    // The whole-file channel's request until someone claims it: a channel
    // that delivers data (cut back) or the work thread (go alone). Whoever
    // exchanges it for null decides; the other finds null.
    CDownloadPartRequest* volatile wholeFileRequest_;
    bool supportsRange_;
    volatile LONG dataSinceRestart_;  // a channel received data since the last restart
    int quietRestarts_;               // consecutive restarts with no data in between
    int64_t firstBlockLength_;
    int startedAll_;
    int manualStoppedIndex_;
    int stopAllowed_;
    int lastOverWasCompletion_;
    int noChannelTicks_;
    volatile LONG progressGate_;
    volatile LONG idleTicks_;
    volatile LONG clockState_;  // 0 not started, 1 starting, 2 running
    LARGE_INTEGER firstDataClock_;
    int64_t savedRunTotal_;
    int64_t previousSample_;
    double sampleTime_;
    int64_t currentSpeed_;
    int64_t averageSpeed_;
    int64_t downloadedSize_;
    CLock lockA_;  // downloaded size
    CLock lockB_;  // run total, samples, speeds

    CThread workThread_;
    CTQTimer timers_;
};

}  // namespace gnet
