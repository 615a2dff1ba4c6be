// The start of a download on the work thread: network check, proxy, size
// query, blocks and destination, the target mapping and the channel threads.
#include <windows.h>
#include <objbase.h>

#include "gnet/DownloadFileImpl.h"
#include "gnet/DownloadTasks.h"
#include "gnet/FileUtils.h"
#include "gnet/IEProxy.h"
#include "gnet/NetCheck.h"
#include "gnet/SimpleDebugLog.h"
#include "gnet/TaskFileSetup.h"

namespace gnet {
namespace {

const wchar_t kStartSource[] = L"gnet::CDownloadStartTask::RunThreadTask";
const wchar_t kTaskFileSource[] = L"gnet::CDownloadStartTask::GetTaskFileInfo";
const int64_t kBigFileSize = 4294967295LL;
const DWORD kSizeRetryPauseMs = 3000;

std::wstring MakeMappingName() {
    GUID guid;
    if (FAILED(CoCreateGuid(&guid))) return std::wstring();
    wchar_t text[64];
    swprintf(text, 64, L"%08X-%04X-%04x-%02X%02X-%02X%02X%02X%02X%02X%02X", static_cast<unsigned>(guid.Data1),
             guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4],
             guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}

}  // namespace

int CDownloadFileImpl::CheckNetworkOrFail(const wchar_t* source, const wchar_t* message) {
    int network = CheckNetWork();
    if (network == kNetConnected) return network;
    PrintLog(message, source);
    result_ = network == kNetNone ? kDownRetNoNetwork : kDownRetNetCheckFail;
    DownloadError();
    return network;
}

void CDownloadFileImpl::FailStart(int result) {
    result_ = result;
    DownloadError();
}

CDownloadPartRequest CDownloadFileImpl::MakeRequest() const {
    CDownloadPartRequest request;
    request.connectTimeout = 15;
    request.url = url_ + urlSuffix_;
    request.user = user_;
    request.password = password_;
    request.referer = referer_;
    request.headerLines = headerLines_;
    CAutoLock hold(const_cast<CLock&>(proxyLock_));
    request.proxy = useIEProxy_ ? ieProxy_ : proxy_;
    return request;
}

int64_t CDownloadFileImpl::QueryRemoteSize(bool& supportsRange) {
    CDownloadPartRequest request = MakeRequest();
    PrintLog(L"%ls Proxy: %ls", kStartSource, request.proxy.c_str());
    int64_t size = GetRemoteFileSize(request, supportsRange);
    for (int attempt = 0;; ++attempt) {
        if (size != 0 || attempt >= maxRetry_ || state_ == kStateStopped) break;
        if (CheckNetworkOrFail(kStartSource, L"%ls, Network Error") != kNetConnected) return -1;
        PrintLog(L"%ls, GetNetFileSize curl_easy_perform = %d", kStartSource, static_cast<int>(request.curlResult));
        PrintLog(L"%ls, GetNetFileSize Respone = %d", kStartSource, static_cast<int>(request.responseCode));
        Sleep(kSizeRetryPauseMs);
        size = GetRemoteFileSize(request, supportsRange);
        PrintLog(L"%ls, GetRemoteFileSize : Retry = %d", kStartSource, attempt);
    }
    return size;
}

bool CDownloadFileImpl::GetTaskFileInfo(bool reuseSameFile, BlockList& blocks) {
    std::wstring recordBase = destFolder_ + MakeRecordName(url_);
    PrintLog(L"%ls conf_path = %ls", kTaskFileSource, (recordBase + L".gnet").c_str());
    fileInfo_.SetPath(recordBase);
    if (!reuseSameFile) {
        PrintLog(L"%ls No ReuseSameFile", kTaskFileSource);
    } else {
        ReuseDecision decision = EvaluateRecordReuse(fileInfo_, remoteSize_, forceName_ != 0, requestedDestPath_);
        if (decision.reuse) {
            blocks = decision.blocks;
            blocksRemaining_ = fileInfo_.GetBlockNumber();
            destPath_ = fileInfo_.GetFileName();
            return true;
        }
        if (!decision.reason.empty()) PrintLog(L"%ls %ls", kTaskFileSource, decision.reason.c_str());
    }
    DestinationChoice choice = ChooseDestination(destPath_, remoteSize_);
    if (choice.result != 0) {
        PrintLog(L"%ls No Valid Dest Path Error", kTaskFileSource);
        FailStart(choice.result);
        return false;
    }
    destPath_ = choice.path;
    blocks = SplitIntoBlocks(channelCount_, blockSize_, remoteSize_);
    blocksRemaining_ = static_cast<int>(blocks.size());
    return true;
}

bool CDownloadFileImpl::EnforceForcedName() {
    if (!forceName_ || destPath_ == requestedDestPath_) return true;
    // Only a file may give way to the forced name; a folder is never deleted
    // (NamesNoFile refused folder names before, this catches a folder made
    // since).
    bool removed = !IsDirectory(requestedDestPath_);
    if (removed && PathExists(requestedDestPath_)) removed = DeleteFileW(requestedDestPath_.c_str()) != 0;
    if (!removed) {
        PrintLog(L"%ls, DeleteFile GetLastError=%d", kStartSource, static_cast<int>(GetLastError()));
        FailStart(kDownRetDeleteTargetFail);
        return false;
    }
    destPath_ = requestedDestPath_;
    return true;
}

bool CDownloadFileImpl::CreateTargetMapping() {
    mappingName_ = MakeMappingName();
    PrintLog(L"%ls, MemMap UniqueID:%ls", kStartSource, mappingName_.c_str());
    HANDLE file = CreateFileW(destPath_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE mapping = nullptr;
    if (file != INVALID_HANDLE_VALUE) {
        uint64_t size = static_cast<uint64_t>(remoteSize_);
        mapping = CreateFileMappingW(file, nullptr, PAGE_READWRITE, static_cast<DWORD>(size >> 32),
                                     static_cast<DWORD>(size), mappingName_.empty() ? nullptr : mappingName_.c_str());
        CloseHandle(file);
    }
    finalDestPath_ = destPath_;
    InterlockedExchange(&finalPathValid_, 1);
    if (!mapping) {
        FailStart(kDownRetMapFileFail);
        return false;
    }
    mapping_ = mapping;
    return true;
}

bool CDownloadFileImpl::CreateChannels(const BlockList& blocks, CThread*& firstThread, CDownloadPartTask*& firstTask) {
    // With a block already finished (a resumed record) no channel asks for
    // the whole file: it would fetch that block again.
    bool anyFinished = false;
    for (const auto& block : blocks) anyFinished |= block.second <= 0;
    int index = 0;
    for (const auto& block : blocks) {
        CDownloadPartRequest request = MakeRequest();
        request.index = index;
        request.mappingName = mappingName_;
        request.recvSpeedCap = noSpeedLimit_ ? 0 : speedLimit_;
        request.rateGate = rateGate_;
        int64_t remaining = block.second;
        bool wholeFile = block.first == 0 && remaining > 0 && !anyFinished;
        if (wholeFile) {
            // The channel at byte 0 asks for the whole file until another
            // channel delivers data (or it turns out to be the only one).
            firstBlockLength_ = block.second;
            remaining = remoteSize_;
            request.holdAt = block.second;
        }
        request.SetRange(block.first, remaining);
        request.SetWholeFile(wholeFile ? 1 : 0);
        CDownloadPartTask* task = new CDownloadPartTask(request, this);
        if (wholeFile) {
            wholeFileIndex_ = index;
            wholeFileRequest_ = &task->Request();
        }
        CThread* thread = nullptr;
        if (remaining > 0) {
            thread = new CThread(std::to_wstring(cookie_) + L"_Download_Thread_" + std::to_wstring(index));
            if (!thread->Start()) {
                delete thread;
                delete task;
                FailStart(kDownRetThreadStartFail);
                return false;
            }
            if (!firstThread) {
                firstThread = thread;
                firstTask = task;
            }
        } else {
            --blocksRemaining_;
            task->Request().status = kPartDone;
        }
        channels_[index] = Channel{thread, task};
        ++index;
    }
    return true;
}

void CDownloadFileImpl::RunDownloadStart(bool reuseSameFile) {
    PrintLog(L"%ls", kStartSource);
    if (CheckNetworkOrFail(kStartSource, L"%ls, Network Error") != kNetConnected) return;
    if (useIEProxy_) {
        ieProxy_ = GetIEProxy(url_ + urlSuffix_, kProxySchemeHttp);
        PrintLog(L"%ls IE Proxy: %ls", kStartSource, ieProxy_.c_str());
    }
    bool supportsRange = true;
    int64_t size = QueryRemoteSize(supportsRange);
    if (size < 0 || state_ == kStateStopped) return;  // ended already, or stopped by the client
    if (size == 0) {
        FailStart(kDownRetRemoteSizeFail);
        return;
    }
    remoteSize_ = size;
    PrintLog(L"%ls remote size = %lld", kStartSource, static_cast<long long>(size));
    if (!supportsRange) {
        PrintLog(L"%ls No Support Range", kStartSource);
        channelCount_ = 1;
        reuseSameFile = false;
    }
    supportsRange_ = supportsRange;
    if (forceName_ && NamesNoFile(requestedDestPath_)) {
        // A forced name must name a file: the download would otherwise have
        // to remove a folder to take its place.
        PrintLog(L"%ls, Forced name is no file name: %ls", kStartSource, requestedDestPath_.c_str());
        FailStart(kDownRetDeleteTargetFail);
        return;
    }
    BlockList blocks;
    if (!GetTaskFileInfo(reuseSameFile, blocks)) return;
    if (!EnforceForcedName()) return;
    if (size >= kBigFileSize && !IsNtfsVolume(destPath_)) {
        PrintLog(L"%ls Big File No NTFS disk", kStartSource);
        FailStart(kDownRetBigFileNotNtfs);
        return;
    }
    PrintLog(L"%ls Final DestPath = %ls", kStartSource, destPath_.c_str());
    fileInfo_.SetFileName(destPath_);
    fileInfo_.SetFileSize(size);
    fileInfo_.SetFileTime(CFileInfo::MakeFileTimeNow());
    fileInfo_.SetBlocks(blocks);
    fileInfo_.SetBlockNumber(static_cast<int>(blocks.size()));
    if (!CreateTargetMapping()) return;
    // The target now has its full size on disk: record it at once, so that a
    // process ending before the first progress step is resumed into this file
    // instead of leaving it behind and starting a numbered copy.
    fileInfo_.SaveToFile();

    if (!noSpeedLimit_ && speedLimit_ > 0) rateGate_ = new CRateGate(speedLimit_);
    CThread* firstThread = nullptr;
    CDownloadPartTask* firstTask = nullptr;
    if (!CreateChannels(blocks, firstThread, firstTask)) return;
    if (state_ == kStateStopped) return;  // the queued clear task removes the channels
    if (callback_) {
        PrintLog(L"%ls, Call DownloadStart", kStartSource);
        callback_->DownloadStart(cookie_);
    }
    if (blocksRemaining_ > 0 && firstTask) {
        if (DownPartTaskSchedule(firstTask->Request().index, channels_[firstTask->Request().index], false) ==
            kScheduleStarted)
            PrintLog(L"%ls, First Start StartNewThread : %d", kStartSource, lastStartedIndex_);
        timers_.SetTimer(kTimerSpeedSample, 1000, 0);
        timers_.SetTimer(kTimerProgressGate, 1000, 0);
    } else {
        SaveFileInfo();
        result_ = kDownRetSuccess;
        DownloadSuc();
    }
}

}  // namespace gnet
