#pragma once
// Where the download control gets its engine objects. The program uses the
// gnet engine; tests hand the control an engine of their own.
#include "gnet/DownloadFile.h"

class IDownloadEngineFactory {
public:
    virtual ~IDownloadEngineFactory() = default;
    virtual void Init(const wchar_t* productName, const wchar_t* version, const wchar_t* channel) = 0;
    // Null when no engine can be made.
    virtual gnet::IDownloadFile* Create(gnet::IDownloadFileCallback* callback) = 0;
    // Joins the engine's threads; never called from one of its own callbacks.
    virtual void Release(gnet::IDownloadFile* engine) = 0;
};

// The gnet engine.
IDownloadEngineFactory& GnetEngineFactory();
