#pragma once
// One-shot tasks of the engine's work thread. Each runs one engine step and
// deletes itself.
#include <windows.h>

#include "gnet/ThreadTask.h"

namespace gnet {

class CDownloadFileImpl;

class CDownloadStartTask : public IThreadTask {
public:
    CDownloadStartTask(CDownloadFileImpl* engine, bool reuseSameFile) : engine_(engine), reuse_(reuseSameFile) {}
    bool RunThreadTask() override;

private:
    CDownloadFileImpl* engine_;
    bool reuse_;
};

class CDownloadPartBitsTask : public IThreadTask {
public:
    CDownloadPartBitsTask(CDownloadFileImpl* engine, int index) : engine_(engine), index_(index) {}
    bool RunThreadTask() override;

private:
    CDownloadFileImpl* engine_;
    int index_;
};

class CDownloadPartOverTask : public IThreadTask {
public:
    CDownloadPartOverTask(CDownloadFileImpl* engine, int index, LONG run) : engine_(engine), index_(index), run_(run) {}
    bool RunThreadTask() override;

private:
    CDownloadFileImpl* engine_;
    int index_;
    LONG run_;
};

// Tasks that carry nothing but the engine.
#define GNET_DECLARE_ENGINE_TASK(Name)                                   \
    class Name : public IThreadTask {                                    \
    public:                                                              \
        explicit Name(CDownloadFileImpl* engine) : engine_(engine) {}    \
        bool RunThreadTask() override;                                   \
                                                                         \
    private:                                                             \
        CDownloadFileImpl* engine_;                                      \
    };

GNET_DECLARE_ENGINE_TASK(CTimerStartChannelTask)
GNET_DECLARE_ENGINE_TASK(CManualStopPartTask)
GNET_DECLARE_ENGINE_TASK(CClearThreadTask)
GNET_DECLARE_ENGINE_TASK(CClearNoSupportMultiTask)
GNET_DECLARE_ENGINE_TASK(CDelConfigFileTask)
GNET_DECLARE_ENGINE_TASK(CDelDownFileTask)

#undef GNET_DECLARE_ENGINE_TASK

}  // namespace gnet
