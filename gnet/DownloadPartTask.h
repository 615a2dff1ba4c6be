#pragma once
// A channel's transfer task: owned by the engine's channel table and posted
// to the channel's thread each time the channel is (re)started.
#include "gnet/EasyDownFile.h"
#include "gnet/PartRequest.h"
#include "gnet/ThreadTask.h"

namespace gnet {

class CDownloadPartTask : public IThreadTask {
public:
    CDownloadPartTask(const CDownloadPartRequest& request, IDownloadPartCallBack* owner);
    // Stops a running transfer and waits up to 30 s for it to return.
    ~CDownloadPartTask() override;
    bool RunThreadTask() override;

    CDownloadPartRequest& Request() { return request_; }

private:
    CDownloadPartRequest request_;
    IDownloadPartCallBack* owner_;
};

}  // namespace gnet
