#include "gnet/DownloadFileImpl.h"

#include <curl/curl.h>
#include <json/json.h>

#include <cstdlib>
#include <new>

#include "gnet/DownloadTasks.h"
#include "gnet/FileUtils.h"
#include "gnet/NetCheck.h"
#include "gnet/SimpleDebugLog.h"
#include "gnet/StringUtil.h"

namespace gnet {
namespace {

const wchar_t kDownloadFileSource[] = L"gnet::CDownloadFileImpl::DownloadFile";

bool IsSafeHeaderLine(const std::string& line) {
    // A line break inside a header line would smuggle further headers or a
    // second request onto the wire.
    return !line.empty() && line.find_first_of("\r\n") == std::string::npos;
}

// Options change only between downloads: 1 when `value` is taken, 0 while a
// download runs or when the value is refused.
template <class Option, class Value>
int TakeOption(bool idle, bool valid, Option& option, const Value& value) {
    if (!idle || !valid) return 0;
    option = value;
    return 1;
}

}  // namespace

CDownloadFileImpl::CDownloadFileImpl(IDownloadFileCallback* callback)
    : callback_(callback),
      cookie_(-1),
      state_(kStateIdle),
      result_(kDownRetUnfinished),
      percent_(0),
      costTime_(0),
      maxRetry_(100),
      blockSize_(2097152),
      useIEProxy_(1),
      speedLimit_(0),
      noSpeedLimit_(0),
      channelCount_(10),
      reuseSameFile_(1),
      forceName_(0),
      retryCount_(0),
      finalPathValid_(0),
      remoteSize_(0),
      mapping_(nullptr),
      rateGate_(nullptr),
      blocksRemaining_(-1),
      runningChannels_(0),
      mostRunningChannels_(0),
      lastStartedIndex_(-1),
      failingIndex_(-1),
      wholeFileIndex_(-1),
      wholeFileRequest_(nullptr),
      supportsRange_(true),
      dataSinceRestart_(0),
      quietRestarts_(0),
      firstBlockLength_(0),
      startedAll_(0),
      manualStoppedIndex_(-1),
      stopAllowed_(0),
      lastOverWasCompletion_(0),
      noChannelTicks_(0),
      progressGate_(1),
      idleTicks_(0),
      clockState_(0),
      savedRunTotal_(0),
      previousSample_(0),
      sampleTime_(0.0),
      currentSpeed_(0),
      averageSpeed_(0),
      downloadedSize_(0) {
    firstDataClock_.QuadPart = 0;
    timers_.SetCallBack(this);
}

CDownloadFileImpl::~CDownloadFileImpl() {
    const wchar_t* source = L"gnet::CDownloadFileImpl::~CDownloadFileImpl";
    PrintLog(L"%ls, Start", source);
    StopDownload();
    // The work thread drains its queue first, so this also waits for the
    // clear task that stops and joins every channel thread.
    workThread_.Stop();
    workThread_.WaitForExit();
    PrintLog(L"%ls, End", source);
    // Nothing may fire into a half-destroyed object.
    for (uint32_t id = kTimerSpeedSample; id <= kTimerChannelStarter; ++id) timers_.KillTimer(id);
    RunClearThreads(false);
    if (mapping_) CloseHandle(mapping_);
    delete rateGate_;
}

void CDownloadFileImpl::PostToWork(IThreadTask* task) {
    if (!workThread_.PostTask(task)) delete task;
}

// --- setters ----------------------------------------------------------------

int CDownloadFileImpl::SetHttpHeader(const wchar_t* json) {
    if (!IsIdle() || !json) return 0;
    Json::Value root;
    Json::Reader reader;
    if (!reader.parse(WideToAnsi(json), root, false) || !root.isObject()) return 0;
    const Json::Value& list = root["httpheader"];
    if (!list.isArray()) return 0;
    for (Json::ArrayIndex i = 0; i < list.size(); ++i) {
        if (!list[i].isString()) continue;
        std::string line = list[i].asString();
        if (IsSafeHeaderLine(line)) headerLines_.push_back(line);
    }
    return 1;
}

int CDownloadFileImpl::SetUserPwd(const wchar_t* user, const wchar_t* password) {
    if (!IsIdle() || !user || !password) return 0;
    user_ = user;
    password_ = password;
    return 1;
}

int CDownloadFileImpl::SetReferer(const wchar_t* referer) {
    return TakeOption(IsIdle(), referer != nullptr, referer_, referer);
}

int CDownloadFileImpl::SetMaxRetry(int maxRetry) { return TakeOption(IsIdle(), maxRetry >= 0, maxRetry_, maxRetry); }

int CDownloadFileImpl::SetBlockSize(int64_t blockSize) { return TakeOption(IsIdle(), true, blockSize_, blockSize); }

int CDownloadFileImpl::SetUseIEProxy(int useIEProxy) { return TakeOption(IsIdle(), true, useIEProxy_, useIEProxy); }

int CDownloadFileImpl::SetProxy(const wchar_t* proxy) {
    if (!proxy) return 0;
    CAutoLock hold(proxyLock_);
    proxy_ = proxy;
    useIEProxy_ = 0;
    return 1;
}

int CDownloadFileImpl::SetSpeedLimit(int64_t bytesPerSecond) {
    return TakeOption(IsIdle(), true, speedLimit_, bytesPerSecond);
}

int CDownloadFileImpl::SetNoSpeedLimit(int noSpeedLimit) {
    return TakeOption(IsIdle(), true, noSpeedLimit_, noSpeedLimit);
}

int CDownloadFileImpl::SetChannelCount(int channels) {
    return TakeOption(IsIdle(), channels > 0, channelCount_, channels);
}

int CDownloadFileImpl::SetReuseSameFile(int reuse) { return TakeOption(IsIdle(), true, reuseSameFile_, reuse); }

int CDownloadFileImpl::SetForceName(int forceName) {
    forceName_ = forceName;
    return 1;
}

// --- start and stop ---------------------------------------------------------

int CDownloadFileImpl::DownloadFile(int cookie, const wchar_t* url, const wchar_t* destPath, const wchar_t* urlSuffix) {
    const wchar_t* source = kDownloadFileSource;
    if (!IsIdle()) {
        PrintLog(L"%ls, Error : Re In", source);
        return 0;
    }
    if (!url || !destPath) {
        PrintLog(L"%ls, Error : Url or Path NULL", source);
        return 0;
    }
    url_ = url;
    if (urlSuffix) urlSuffix_ = urlSuffix;
    destPath_ = destPath;
    requestedDestPath_ = destPath;
    if (url_.empty() || destPath_.empty()) {
        PrintLog(L"%ls, Error : Url or Path empty", source);
        return 0;
    }
    if (!IsPathLegal(destPath_)) {
        PrintLog(L"%ls, Error : Path no legal", source);
        return 0;
    }
    cookie_ = cookie;
    destFolder_ = GetParentPath(destPath_) + L"\\";
    if (!IsDirectory(destFolder_) && !CreateDirectoryRecursive(destFolder_)) {
        PrintLog(L"%ls, Error : CreateDirectory fail", source);
        return 0;
    }
    if (!IsPathWritable(destFolder_)) {
        PrintLog(L"%ls, Error : Path can't write", source);
        return 0;
    }
    state_ = kStateRunning;
    workThread_.SetName(std::to_wstring(cookie_) + L"_down_work_thread");
    if (!workThread_.Start()) {
        PrintLog(L"%ls, Error : work thread start", source);
        return 0;
    }
    PrintLog(L"%ls URL = %ls, appen = %ls", source, url_.c_str(), urlSuffix_.c_str());
    PrintLog(L"%ls First DestPath = %ls", source, destPath_.c_str());
    PostToWork(new CDownloadStartTask(this, reuseSameFile_ != 0));
    return 1;
}

int CDownloadFileImpl::StopDownload() {
    TryStop();
    return 1;
}

bool CDownloadFileImpl::TryStop() {
    // Exactly one caller moves the object from running to stopped.
    if (InterlockedCompareExchange(&state_, kStateStopped, kStateRunning) != kStateRunning) return false;
    timers_.KillTimer(kTimerChannelStarter);
    timers_.KillTimer(kTimerSpeedSample);
    timers_.KillTimer(kTimerProgressGate);
    timers_.KillTimer(kTimerFailCoolDown);
    PostToWork(new CClearThreadTask(this));
    HANDLE mapping = reinterpret_cast<HANDLE>(InterlockedExchangePointer(&mapping_, nullptr));
    if (mapping) CloseHandle(mapping);
    return true;
}

int CDownloadFileImpl::DeleteDownFile() {
    StopDownload();
    PostToWork(new CDelDownFileTask(this));
    return 1;
}

int CDownloadFileImpl::DeleteConfigFile() {
    StopDownload();
    PostToWork(new CDelConfigFileTask(this));
    return 1;
}

void CDownloadFileImpl::RunDeleteConfigFile() { fileInfo_.DelFile(); }

void CDownloadFileImpl::RunDeleteDownFile() {
    if (!destPath_.empty() && !DeleteFileW(destPath_.c_str()))
        PrintLog(L"%ls, GetLastError=%d", L"gnet::CDelDownFileTask::RunThreadTask", static_cast<int>(GetLastError()));
    fileInfo_.DelFile();
}

// --- end of download --------------------------------------------------------

void CDownloadFileImpl::LogDownloadOver() {
    if (!callback_) return;
    PrintLog(L"%ls, Call DownloadOver, percent=%d, RetCode=%d", L"gnet::CDownloadFileImpl::DownloadOver",
             static_cast<int>(percent_), static_cast<int>(result_));
    callback_->DownloadOver(cookie_);
}

// Only the caller that stops the download reports its end: a client's stop
// that races a failure wins silently.
void CDownloadFileImpl::DownloadError() {
    if (!TryStop()) return;
    costTime_ = SecondsSinceFirstData();
    PrintLog(L"%ls, DownloadRet = %d, costtime = %04f", L"gnet::CDownloadFileImpl::DownloadError",
             static_cast<int>(result_), costTime_);
    LogDownloadOver();
}

void CDownloadFileImpl::DownloadSuc() {
    if (!TryStop()) return;
    InterlockedExchange(&percent_, 10000);
    costTime_ = SecondsSinceFirstData();
    PrintLog(L"%ls, costtime = %04f", L"gnet::CDownloadFileImpl::DownloadSuc", costTime_);
    LogDownloadOver();
}

// --- getters ----------------------------------------------------------------

int CDownloadFileImpl::GetMaxChannels() { return mostRunningChannels_; }
int CDownloadFileImpl::GetRunningChannels() { return runningChannels_; }

int64_t CDownloadFileImpl::GetDownloadedSize() {
    CAutoLock hold(lockA_);
    return downloadedSize_;
}

int64_t CDownloadFileImpl::GetFileSize() { return remoteSize_; }
int CDownloadFileImpl::GetPercent() { return percent_; }
int CDownloadFileImpl::GetDownloadRet() { return result_; }

const wchar_t* CDownloadFileImpl::GetFinalDestPath() {
    return finalPathValid_ ? finalDestPath_.c_str() : L"";
}

double CDownloadFileImpl::GetCostTime() { return costTime_; }

int64_t CDownloadFileImpl::GetAvgSpeed() {
    CAutoLock hold(lockB_);
    if (state_ == kStateStopped) return averageSpeed_;
    return RefreshAverageSpeed();
}

int64_t CDownloadFileImpl::GetCurSpeed() {
    CAutoLock hold(lockB_);
    return currentSpeed_ < 0 ? averageSpeed_ : currentSpeed_;
}

int CDownloadFileImpl::GetRetryTimes() { return retryCount_; }

// --- channel and timer callbacks --------------------------------------------

void CDownloadFileImpl::DownloadPartStart(int) {}

void CDownloadFileImpl::DownloadPartBits(int index) {
    StartFirstDataClock();
    InterlockedExchange(&dataSinceRestart_, 1);
    if (wholeFileRequest_ && index != wholeFileIndex_) CutBackWholeFile(index);
    if (state_ != kStateStopped && InterlockedCompareExchange(&progressGate_, 0, 1) == 1)
        PostToWork(new CDownloadPartBitsTask(this, index));
}

void CDownloadFileImpl::DownloadPartOver(int index) { DownloadPartRunOver(index, kAnyRun); }

void CDownloadFileImpl::DownloadPartRunOver(int index, LONG run) {
    if (state_ == kStateRunning) PostToWork(new CDownloadPartOverTask(this, index, run));
}

void CDownloadFileImpl::OnTimer(uint32_t timerId) {
    switch (timerId) {
        case kTimerSpeedSample:
            SampleSpeed();
            break;
        case kTimerProgressGate:
            PostBitOverTask();
            break;
        case kTimerFailCoolDown:
            InterlockedExchange(&failingIndex_, -1);
            break;
        case kTimerChannelStarter:
            if (state_ != kStateStopped) PostToWork(new CTimerStartChannelTask(this));
            break;
        default:
            break;
    }
}

void CDownloadFileImpl::PostBitOverTask() {
    if (state_ == kStateStopped) return;
    if (progressGate_ == 1)
        InterlockedIncrement(&idleTicks_);
    else
        InterlockedExchange(&idleTicks_, 0);
    InterlockedExchange(&progressGate_, 1);
    if (idleTicks_ == 5) {
        PrintLog(L"%ls", L"gnet::CDownloadFileImpl::PostBitOverTask");
        InterlockedExchange(&progressGate_, 0);
        PostToWork(new CDownloadPartBitsTask(this, -1));
    }
}

void CDownloadFileImpl::StartFirstDataClock() {
    if (clockState_ == 2) return;
    if (InterlockedCompareExchange(&clockState_, 1, 0) == 0) {
        QueryPerformanceCounter(&firstDataClock_);
        InterlockedExchange(&clockState_, 2);
    }
}

double CDownloadFileImpl::SecondsSinceFirstData() {
    if (clockState_ != 2) return 0.0;
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    if (frequency.QuadPart == 0) return 0.0;
    return static_cast<double>(now.QuadPart - firstDataClock_.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// --- engine-wide functions --------------------------------------------------

namespace {

void CloseEngineAtExit() {
    PrintLog(L"End");
    CSimpleDebugLog::DestroyInstance();
    curl_global_cleanup();
}

}  // namespace

void InitDownloadEngine(const wchar_t*, const wchar_t*, const wchar_t*) {
    static volatile LONG initialised = 0;
    if (InterlockedExchange(&initialised, 1) != 0) return;
    curl_global_init(CURL_GLOBAL_ALL);
    PrintLog(L"Start");
    atexit(&CloseEngineAtExit);
}

IDownloadFile* CreateDownloadFile(IDownloadFileCallback* callback) {
    return new (std::nothrow) CDownloadFileImpl(callback);
}

void ReleaseDownloadFile(IDownloadFile* file) { delete file; }

}  // namespace gnet
