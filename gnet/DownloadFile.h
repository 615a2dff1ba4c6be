#pragma once
// Public interface of the download engine: one engine object downloads one
// file from one URL, resumably and over several parallel channels.
#include <cstdint>

namespace gnet {

enum DownloadRet {
    kDownRetUnfinished = 20000,
    kDownRetRemoteSizeFail = 20002,
    kDownRetThreadStartFail = 20003,
    kDownRetNoDestName = 20004,
    kDownRetDiskSpace = 20005,
    kDownRetMapFileFail = 20006,
    kDownRetRetryExceeded = 20008,
    kDownRetNoNetwork = 20013,
    kDownRetBigFileNotNtfs = 20014,
    kDownRetNoChannel = 20015,
    kDownRetWriteFail = 20016,
    kDownRetNetCheckFail = 20017,
    kDownRetDeleteTargetFail = 20018,
    kDownRetSuccess = 30000,
};

// Implemented by the client; always called on the engine object's work thread.
class IDownloadFileCallback {
public:
    virtual ~IDownloadFileCallback() {}
    virtual void DownloadStart(int cookie) = 0;
    virtual void DownloadOver(int cookie) = 0;
    virtual void DownloadBits(int cookie) = 0;
};

class IDownloadFile {
public:
    virtual ~IDownloadFile() {}
    virtual int SetHttpHeader(const wchar_t* json) = 0;
    virtual int SetUserPwd(const wchar_t* user, const wchar_t* password) = 0;
    virtual int SetReferer(const wchar_t* referer) = 0;
    virtual int SetMaxRetry(int maxRetry) = 0;
    virtual int SetBlockSize(int64_t blockSize) = 0;
    virtual int SetUseIEProxy(int useIEProxy) = 0;
    virtual int SetProxy(const wchar_t* proxy) = 0;
    virtual int SetSpeedLimit(int64_t bytesPerSecond) = 0;
    virtual int SetNoSpeedLimit(int noSpeedLimit) = 0;
    virtual int SetChannelCount(int channels) = 0;
    virtual int SetReuseSameFile(int reuse) = 0;
    virtual int DownloadFile(int cookie, const wchar_t* url, const wchar_t* destPath, const wchar_t* urlSuffix) = 0;
    virtual int StopDownload() = 0;
    virtual int DeleteDownFile() = 0;
    virtual int GetMaxChannels() = 0;
    virtual int GetRunningChannels() = 0;
    virtual int64_t GetDownloadedSize() = 0;
    virtual int64_t GetFileSize() = 0;
    virtual int GetPercent() = 0;
    virtual int GetDownloadRet() = 0;
    virtual const wchar_t* GetFinalDestPath() = 0;
    virtual double GetCostTime() = 0;
    virtual int64_t GetAvgSpeed() = 0;
    virtual int64_t GetCurSpeed() = 0;
    virtual int GetRetryTimes() = 0;
    virtual int DeleteConfigFile() = 0;
    virtual int SetForceName(int forceName) = 0;
};

// Once per process before the first engine object.
void InitDownloadEngine(const wchar_t* productName, const wchar_t* version, const wchar_t* channel);
// Null when the object cannot be made. The callback may be null.
IDownloadFile* CreateDownloadFile(IDownloadFileCallback* callback);
// Blocks until the object's threads are gone; never call it from one of the
// object's own callbacks.
void ReleaseDownloadFile(IDownloadFile* file);

}  // namespace gnet
