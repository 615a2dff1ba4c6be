#pragma once
// One HTTP transfer of one channel: a byte range fetched with libcurl and
// written straight into the named file mapping of the target.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "gnet/MappingWindow.h"
#include "gnet/PartRequest.h"

struct curl_slist;
#include "gnet/ThreadTask.h"

namespace gnet {

class IDownloadPartCallBack {
public:
    virtual ~IDownloadPartCallBack() {}
    virtual void DownloadPartStart(int index) = 0;
    virtual void DownloadPartBits(int index) = 0;
    virtual void DownloadPartOver(int index) = 0;
    // The end of one run of a channel, with the run's identity (see
    // CDownloadPartRequest::run). Owners that do not track runs take it as
    // a plain over.
    virtual void DownloadPartRunOver(int index, LONG run) {
        (void)run;
        DownloadPartOver(index);
    }
};

// Copies bytes into the mapping at an offset. Tests install one to make the
// target refuse writes; by default (null) a run writes through its window.
typedef bool (*MappingWriter)(HANDLE mapping, int64_t offset, const void* data, size_t size);
void SetMappingWriter(MappingWriter writer);
// Tests: channels map their views read-only, so every copy into the target
// faults as it would on a full disk.
void SetReadOnlyViewsForTest(bool readOnly);

class CEasyDownFile {
public:
    explicit CEasyDownFile(CDownloadPartRequest* request);
    ~CEasyDownFile();
    CEasyDownFile(const CEasyDownFile&) = delete;
    CEasyDownFile& operator=(const CEasyDownFile&) = delete;

    bool DownloadPart(IDownloadPartCallBack* owner);
    size_t WriteFile(const char* data, size_t length);
    bool ProgressFunction();

    // Whether the received headers allow writing at the run's first byte.
    static bool IsAcceptableResponse(const std::string& headerText, long responseCode, int64_t runStart);

private:
    bool Finish(bool result);
    void HoldAtBlockEnd(size_t length);
    static size_t WriteCallback(char* data, size_t size, size_t count, void* self);
    static int ProgressCallback(void* self, double, double, double, double);

    CDownloadPartRequest* request_;
    IDownloadPartCallBack* owner_;
    HANDLE mapping_;
    std::unique_ptr<CMappingWindow> window_;
    std::string headerText_;
    bool headerChecked_;
    int64_t runStart_;
    LONG run_;
};

// Remote size (0 when unknown) and whether ranges are served.
int64_t GetRemoteFileSize(CDownloadPartRequest& request, bool& supportsRange);

// Applies the options every request of the engine shares (protocols,
// proxy, referer, credentials, header lines).
::curl_slist* ApplyCommonOptions(void* curl, const CDownloadPartRequest& request);

}  // namespace gnet
