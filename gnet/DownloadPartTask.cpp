#include "gnet/DownloadPartTask.h"

#include "gnet/SimpleDebugLog.h"

namespace gnet {

CDownloadPartTask::CDownloadPartTask(const CDownloadPartRequest& request, IDownloadPartCallBack* owner)
    : request_(request), owner_(owner) {}

CDownloadPartTask::~CDownloadPartTask() {
    PrintLog(L"%ls", L"gnet::CDownloadPartTask::~CDownloadPartTask");
    if (request_.status == kPartRunning) {
        request_.stopRequest = 1;
        for (int i = 0; i < 100 && request_.status == kPartRunning; ++i) Sleep(300);
    }
}

bool CDownloadPartTask::RunThreadTask() {
    PrintLog(L"%ls", L"gnet::CDownloadPartTask::RunThreadTask");
    if (request_.cancelled) {
        request_.status = kPartFailed;
        return true;
    }
    CEasyDownFile transfer(&request_);
    transfer.DownloadPart(owner_);
    return true;
}

}  // namespace gnet
