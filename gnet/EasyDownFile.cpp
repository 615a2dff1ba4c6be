#include "gnet/EasyDownFile.h"

#include <curl/curl.h>

#include <cstdio>
#include <cstdlib>

#include "gnet/RateGate.h"
#include "gnet/SimpleDebugLog.h"
#include "gnet/StringUtil.h"

namespace gnet {
namespace {

// Larger receive buffers mean fewer receive calls, each a round trip to the
// system under Wine (a 16 KiB buffer holds one loopback channel to a tenth of
// what 256 KiB allow). A transfer that starts alone gets twice that; when
// several run at once each has less to gain and the buffers add up.
const long kReceiveBufferSize = 256 * 1024;
const long kLoneReceiveBufferSize = 512 * 1024;

// Transfers of the process between their start and their end.
volatile LONG g_runningTransfers = 0;

class CRunningTransfer {
public:
    CRunningTransfer() : count_(InterlockedIncrement(&g_runningTransfers)) {}
    ~CRunningTransfer() { InterlockedDecrement(&g_runningTransfers); }
    CRunningTransfer(const CRunningTransfer&) = delete;
    CRunningTransfer& operator=(const CRunningTransfer&) = delete;
    bool Alone() const { return count_ == 1; }

private:
    LONG count_;
};
// Only web addresses are fetched, also when a redirect names another scheme.
const char kAllowedProtocols[] = "http,https";

MappingWriter g_mappingWriter = nullptr;

size_t AppendHeader(char* data, size_t size, size_t count, void* text) {
    static_cast<std::string*>(text)->append(data, size * count);
    return size * count;
}

bool StartsWithNoCase(const std::string& text, size_t at, const char* prefix) {
    for (size_t i = 0; prefix[i]; ++i) {
        if (at + i >= text.size() || tolower(static_cast<unsigned char>(text[at + i])) != prefix[i]) return false;
    }
    return true;
}

// The header block of the last response (redirects come before it).
std::string LastResponseHeaders(const std::string& headerText) {
    size_t last = std::string::npos;
    for (size_t at = 0; at < headerText.size();) {
        if (StartsWithNoCase(headerText, at, "http/")) last = at;
        size_t lineEnd = headerText.find('\n', at);
        if (lineEnd == std::string::npos) break;
        at = lineEnd + 1;
    }
    return last == std::string::npos ? headerText : headerText.substr(last);
}

// First byte named by a "Content-Range: bytes X-Y/Z" header; -1 when absent.
int64_t ContentRangeStart(const std::string& headers) {
    for (size_t at = 0; at < headers.size();) {
        if (StartsWithNoCase(headers, at, "content-range:")) {
            size_t value = at + 14;
            while (value < headers.size() && (headers[value] == ' ' || headers[value] == '\t')) ++value;
            if (StartsWithNoCase(headers, value, "bytes")) value += 5;
            while (value < headers.size() && (headers[value] == ' ' || headers[value] == '=')) ++value;
            if (value >= headers.size() || headers[value] < '0' || headers[value] > '9') return -2;
            return _strtoi64(headers.c_str() + value, nullptr, 10);
        }
        size_t lineEnd = headers.find('\n', at);
        if (lineEnd == std::string::npos) break;
        at = lineEnd + 1;
    }
    return -1;
}

}  // namespace

void SetMappingWriter(MappingWriter writer) { g_mappingWriter = writer; }

void SetReadOnlyViewsForTest(bool readOnly) { CMappingWindow::SetReadOnlyForTest(readOnly); }

curl_slist* ApplyCommonOptions(void* handle, const CDownloadPartRequest& request) {
    CURL* curl = static_cast<CURL*>(handle);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, kAllowedProtocols);
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, kAllowedProtocols);
    if (!request.proxy.empty()) curl_easy_setopt(curl, CURLOPT_PROXY, WideToUtf8(request.proxy).c_str());
    if (!request.referer.empty()) curl_easy_setopt(curl, CURLOPT_REFERER, WideToUtf8(request.referer).c_str());
    if (!request.user.empty() && !request.password.empty()) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, WideToUtf8(request.user).c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, WideToUtf8(request.password).c_str());
        curl_easy_setopt(curl, CURLOPT_UNRESTRICTED_AUTH, 1L);
    }
    curl_slist* headers = nullptr;
    for (const std::string& line : request.headerLines) headers = curl_slist_append(headers, line.c_str());
    if (headers) curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    return headers;
}

int64_t GetRemoteFileSize(CDownloadPartRequest& request, bool& supportsRange) {
    supportsRange = true;
    if (request.url.empty()) return 0;
    CURL* curl = curl_easy_init();
    if (!curl) return 0;
    std::string headerText;
    curl_slist* headers = ApplyCommonOptions(curl, request);
    curl_easy_setopt(curl, CURLOPT_URL, WideToUtf8(request.url).c_str());
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 15L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 40L);
    curl_easy_setopt(curl, CURLOPT_RANGE, "0-");
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &AppendHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &headerText);
    request.curlResult = curl_easy_perform(curl);
    long code = 0;
    int64_t size = 0;
    curl_off_t length = -1;
    if (curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code) == CURLE_OK) {
        request.responseCode = code;
        if ((code == 200 || code == 206) &&
            curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK && length >= 0) {
            size = length;
            if (headerText.find("Accept-Ranges") == std::string::npos) supportsRange = false;
        }
    }
    curl_easy_cleanup(curl);
    if (headers) curl_slist_free_all(headers);
    return size;
}

CEasyDownFile::CEasyDownFile(CDownloadPartRequest* request)
    : request_(request), owner_(nullptr), mapping_(nullptr), headerChecked_(false), runStart_(0), run_(0) {}

CEasyDownFile::~CEasyDownFile() {
    window_.reset();
    if (mapping_) CloseHandle(mapping_);
}

bool CEasyDownFile::IsAcceptableResponse(const std::string& headerText, long responseCode, int64_t runStart) {
    if (headerText.find("200 OK") == std::string::npos && headerText.find("206 Partial Content") == std::string::npos)
        return false;
    if (responseCode != 200 && responseCode != 206) return false;
    // A server that ignores the range sends the file from its start; those
    // bytes belong at offset 0, never at a later channel's position.
    if (runStart > 0 && responseCode != 206) return false;
    int64_t rangeStart = ContentRangeStart(LastResponseHeaders(headerText));
    if (rangeStart == -2) return false;
    if (rangeStart >= 0 && rangeStart != runStart) return false;
    return true;
}

// Every run that began reports its end, whatever ended it: the engine counts
// a block as finished or failed only from these reports.
bool CEasyDownFile::Finish(bool result) {
    // The view goes before the engine hears of the end: it may delete or
    // hand over the target at once.
    if (window_) window_->Release();
    request_->status = request_->GetRemaining() > 0 ? kPartFailed : kPartDone;
    owner_->DownloadPartRunOver(request_->index, run_);
    return result;
}

bool CEasyDownFile::DownloadPart(IDownloadPartCallBack* owner) {
    if (!request_) return false;
    owner_ = owner;
    run_ = request_->run;
    if (!request_->mappingName.empty())
        mapping_ = OpenFileMappingW(FILE_MAP_WRITE, FALSE, request_->mappingName.c_str());
    window_.reset(new CMappingWindow(mapping_));
    RangeState range = request_->GetRange();
    // Nothing left (cut back before the run began), or stopped already.
    if (range.remaining <= 0 || request_->stopRequest) return Finish(false);
    runStart_ = range.position;
    request_->responseCode = 0;
    CURL* curl = curl_easy_init();
    if (!curl) return Finish(false);
    request_->curl = curl;
    if (curl_easy_setopt(curl, CURLOPT_HEADER, 0L) != CURLE_OK ||
        curl_easy_setopt(curl, CURLOPT_URL, WideToUtf8(request_->url).c_str()) != CURLE_OK) {
        request_->curl = nullptr;
        curl_easy_cleanup(curl);
        return Finish(false);
    }
    curl_slist* headers = ApplyCommonOptions(curl, *request_);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(request_->connectTimeout));
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, static_cast<long>(request_->lowSpeedLimit));
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(request_->lowSpeedTime));
    CRunningTransfer running;
    long bufferSize = running.Alone() ? kLoneReceiveBufferSize : kReceiveBufferSize;
    if (request_->recvSpeedCap > 0) {
        curl_easy_setopt(curl, CURLOPT_MAX_RECV_SPEED_LARGE, static_cast<curl_off_t>(request_->recvSpeedCap));
        // libcurl reads many buffers in a row before it looks at its cap;
        // small buffers keep those bursts near a hundredth of a second.
        bufferSize = static_cast<long>(request_->recvSpeedCap / 100);
        if (bufferSize < 1024) bufferSize = 1024;
        if (bufferSize > kReceiveBufferSize) bufferSize = kReceiveBufferSize;
    }
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, bufferSize);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &CEasyDownFile::WriteCallback);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(curl, CURLOPT_PROGRESSFUNCTION, &CEasyDownFile::ProgressCallback);
    curl_easy_setopt(curl, CURLOPT_PROGRESSDATA, this);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &AppendHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &headerText_);
    char rangeText[64];
    snprintf(rangeText, sizeof(rangeText), "%.0f-%.0f", static_cast<double>(range.position),
             static_cast<double>(range.position + range.remaining - 1));
    curl_easy_setopt(curl, CURLOPT_RANGE, rangeText);

    bool result = true;
    CURLcode performed = curl_easy_perform(curl);
    request_->curlResult = performed;
    if (performed != CURLE_OK) result = false;
    long code = 0;
    if (curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code) != CURLE_OK) {
        code = 0;
        result = false;
    }
    request_->responseCode = code;
    if (code != 200 && code != 206) result = false;
    if (headers) curl_slist_free_all(headers);
    request_->curl = nullptr;
    curl_easy_cleanup(curl);
    return Finish(result);
}

size_t CEasyDownFile::WriteCallback(char* data, size_t size, size_t count, void* self) {
    if (!data || size * count == 0) return 0;
    size_t length = size * count;
    return static_cast<CEasyDownFile*>(self)->WriteFile(data, length) ? length : 0;
}

size_t CEasyDownFile::WriteFile(const char* data, size_t length) {
    if (request_->stopRequest) return 0;
    if (!headerChecked_) {
        long code = 0;
        CURL* curl = static_cast<CURL*>(request_->curl);
        if (curl) curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
        if (!IsAcceptableResponse(headerText_, code, runStart_)) {
            PrintLog(L"%ls, Check Head Error, can not writefile", L"gnet::CEasyDownFile::WriteFile");
            return 0;
        }
        headerChecked_ = true;
    }
    if (request_->holdForOthers) HoldAtBlockEnd(length);
    if (request_->rateGate) request_->rateGate->Acquire(static_cast<int64_t>(length), &request_->stopRequest);
    if (request_->stopRequest) return 0;
    {
        CAutoLock hold(request_->rangeLock);
        RangeState& range = request_->range;
        if (range.remaining <= 0) return 0;
        int64_t n = static_cast<int64_t>(length);
        if (n > range.remaining) n = range.remaining;
        bool written = g_mappingWriter
                           ? g_mappingWriter(mapping_, range.position, data, static_cast<size_t>(n))
                           : window_->Write(range.position, data, static_cast<size_t>(n),
                                            range.position + range.remaining);
        if (!written) {
            PrintLog(L"%ls, mapFile Write Error", L"gnet::CEasyDownFile::WriteFile");
            request_->writeError = 1;
            return 0;
        }
        range.position += n;
        range.downloaded += n;
        range.remaining -= n;
    }
    owner_->DownloadPartBits(request_->index);
    return length;
}

// The whole-file channel about to pass the end of its own block waits up to
// kHoldMs for another channel's first data, which cuts it back to the block:
// the bytes beyond belong to that channel. Without it in time the server
// evidently serves one connection, and the channel goes on alone.
void CEasyDownFile::HoldAtBlockEnd(size_t length) {
    const int kHoldMs = 2000;
    const int kStepMs = 10;
    for (int waited = 0; waited < kHoldMs; waited += kStepMs) {
        RangeState range = request_->GetRange();
        if (!range.wholeFile || !request_->holdForOthers || request_->stopRequest) return;
        if (range.position + static_cast<int64_t>(length) <= request_->holdAt) return;
        Sleep(kStepMs);
    }
    request_->holdForOthers = 0;
}

int CEasyDownFile::ProgressCallback(void* self, double, double, double, double) {
    return static_cast<CEasyDownFile*>(self)->ProgressFunction() ? 0 : 1;
}

bool CEasyDownFile::ProgressFunction() {
    long code = 0;
    CURL* curl = static_cast<CURL*>(request_->curl);
    if (!curl || curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code) != CURLE_OK) return false;
    if (code < 400) return !request_->stopRequest;
    PrintLog(L"%ls, cookie:%d, responsecode:%d", L"gnet::CEasyDownFile::ProgressFunction", request_->index,
             static_cast<int>(code));
    return false;
}

}  // namespace gnet
