#include "gnet/DownloadTasks.h"

#include "gnet/DownloadFileImpl.h"
#include "gnet/SimpleDebugLog.h"

namespace gnet {

bool CDownloadStartTask::RunThreadTask() {
    engine_->RunDownloadStart(reuse_);
    delete this;
    return true;
}

bool CDownloadPartBitsTask::RunThreadTask() {
    PrintLog(L"%ls, cookie = %d", L"gnet::CDownloadPartBitsTask::RunThreadTask", index_);
    engine_->RunPartBits(index_);
    delete this;
    return true;
}

bool CDownloadPartOverTask::RunThreadTask() {
    PrintLog(L"%ls, cookie = %d", L"gnet::CDownloadPartOverTask::RunThreadTask", index_);
    engine_->RunPartOver(index_, run_);
    delete this;
    return true;
}

bool CTimerStartChannelTask::RunThreadTask() {
    PrintLog(L"%ls", L"gnet::CTimerStartChannelTask::RunThreadTask");
    engine_->RunTimerStartChannel();
    delete this;
    return true;
}

bool CManualStopPartTask::RunThreadTask() {
    PrintLog(L"%ls", L"gnet::CManualStopPartTask::RunThreadTask");
    engine_->RunManualStopPart();
    delete this;
    return true;
}

bool CClearThreadTask::RunThreadTask() {
    PrintLog(L"%ls", L"gnet::CClearThreadTask::RunThreadTask");
    engine_->RunClearThreads(false);
    delete this;
    return true;
}

bool CClearNoSupportMultiTask::RunThreadTask() {
    PrintLog(L"%ls", L"gnet::CClearNoSupportMultiTask::RunThreadTask");
    engine_->RunClearThreads(true);
    delete this;
    return true;
}

bool CDelConfigFileTask::RunThreadTask() {
    PrintLog(L"%ls", L"gnet::CDelConfigFileTask::RunThreadTask");
    engine_->RunDeleteConfigFile();
    delete this;
    return true;
}

bool CDelDownFileTask::RunThreadTask() {
    PrintLog(L"%ls", L"gnet::CDelDownFileTask::RunThreadTask");
    engine_->RunDeleteDownFile();
    delete this;
    return true;
}

}  // namespace gnet
