#pragma once
// A small synchronous HTTP client on WinHTTP: a one-shot POST of a byte buffer
// and a multipart/form-data upload streamed in steps, files read as it goes.
// Every failure is thrown as an httpclientexceptionW; response bodies are
// never read, only the status.
#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "report/http/HttpEncoder.h"
#include "report/http/HttpErrors.h"
#include "report/http/HttpTool.h"
#include "report/http/HttpUrl.h"

namespace Vardo {

constexpr DWORD kParamFile = 1;  // the parameter's value is a file path

struct CHttpClientValue {
    std::optional<std::wstring> value;
    DWORD flags = 0;
};

// Ordered by name; duplicates are kept in insertion order.
class CHttpClientMapT : public std::multimap<std::wstring, CHttpClientValue> {
public:
    void Add(const std::wstring& name, const wchar_t* value, DWORD flags)
    {
        CHttpClientValue entry;
        if (value) entry.value = value;
        entry.flags = flags;
        emplace(name, entry);
    }
};

class CHttpPostStatT {
public:
    uint64_t ActualTotalByte() const { return Check(L"ActualTotalByte"), totalBytes; }
    uint64_t ActualPostedByte() const { return Check(L"ActualPostedByte"), postedBytes; }
    size_t TotalCount() const { return Check(L"TotalCount"), totalCount; }
    size_t PostedCount() const { return Check(L"PostedCount"), postedCount; }
    size_t FileCount() const { return Check(L"FileCount"), fileCount; }
    size_t PostedFileCount() const { return Check(L"PostedFileCount"), postedFileCount; }
    uint64_t CurrParamTotalByte() const { return Check(L"CurrParamTotalByte"), currTotal; }
    uint64_t CurrParamPostedByte() const { return Check(L"CurrParamPostedByte"), currPosted; }
    uint64_t CurrParamRemainByte() const { return Check(L"CurrParamRemainByte"), currTotal - currPosted; }
    bool CurrParamIsFile() const { return Check(L"CurrParamIsFile"), currIsFile; }
    bool CurrParamIsComplete() const { return Check(L"CurrParamIsComplete"), currComplete; }
    bool IsActive() const { return active; }

    bool active = false;
    uint64_t totalBytes = 0, postedBytes = 0;
    size_t totalCount = 0, postedCount = 0, fileCount = 0, postedFileCount = 0;
    uint64_t currTotal = 0, currPosted = 0;
    bool currIsFile = false, currComplete = false;

private:
    void Check(const wchar_t* name) const
    {
        if (!active)
            ThrowArgumentError((std::wstring(L"CHttpPostStatT::") + name + L": The post context is not active.").c_str());
    }
};

template <class Tool>
class CHttpResponseT {
public:
    CHttpResponseT(HINTERNET session, HINTERNET connection, HINTERNET request)
        : session_(session), connection_(connection), request_(request) {}
    ~CHttpResponseT()
    {
        Tool::CloseInternetHandle(request_);
        Tool::CloseInternetHandle(connection_);
        Tool::CloseInternetHandle(session_);
    }
    CHttpResponseT(const CHttpResponseT&) = delete;
    CHttpResponseT& operator=(const CHttpResponseT&) = delete;

    DWORD GetStatus()
    {
        if (!request_) ThrowArgumentError(L"CHttpResponseT::GetStatus: m_hRequest can not be NULL.");
        if (!status_) {
            DWORD status = 0;
            DWORD size = sizeof(status);
            if (!WinHttpQueryHeaders(request_, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                     WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
                ThrowHttpError(400, true);
            status_ = status;
        }
        return status_;
    }

private:
    HINTERNET session_, connection_, request_;
    DWORD status_ = 0;
};

template <class Tool, class Encoder>
class CHttpClientT {
public:
    using Response = CHttpResponseT<Tool>;

    CHttpClientT();
    ~CHttpClientT() { EndPost(); }
    CHttpClientT(const CHttpClientT&) = delete;
    CHttpClientT& operator=(const CHttpClientT&) = delete;

    void AddHeader(const std::wstring& name, const wchar_t* value) { headers_.Add(name, value, 0); }
    void AddParam(const std::wstring& name, const wchar_t* value, DWORD flags = 0);
    void SetUserAgent(const wchar_t* agent) { userAgent_ = agent ? std::optional<std::wstring>(agent) : std::nullopt; }
    void SetProxyAccount(const wchar_t* user, const wchar_t* password);
    void SetUseUtf8(bool utf8) { useUtf8_ = utf8; }

    std::unique_ptr<Response> RequestPost(const std::wstring& url, const void* body, DWORD size, DWORD timeoutMs);
    void BeginUpload(const std::wstring& url, DWORD timeoutMs);
    // Null while the body is unfinished; the response once it was received.
    std::unique_ptr<Response> Proceed(DWORD budget);

    const std::wstring& Boundary() const { return boundary_; }
    const CHttpPostStatT& PostStat() const { return stat_; }

private:
    struct PostParam {
        std::string head;     // boundary line and part headers
        std::string content;  // encoded value of a text parameter
        HANDLE file = INVALID_HANDLE_VALUE;
        uint64_t size = 0;
        bool isFile = false;
    };
    struct Handles {
        HINTERNET session = nullptr, connection = nullptr, request = nullptr;
    };

    Handles OpenRequestHandles(const std::wstring& url, DWORD timeoutMs, const std::wstring& contentType);
    void CloseHandles(Handles& handles);
    void PreparePostParams();
    void WriteBody(const void* bytes, DWORD size);
    void WriteNextHead();
    void WriteContent(DWORD budget);
    void CompleteCurrent();
    void EndPost();
    std::string Encode(const std::wstring& text) const
    {
        return useUtf8_ ? Encoder::Utf8Encode(text) : Encoder::AnsiEncode(text, codePage_);
    }

    std::optional<std::wstring> userAgent_;
    DWORD accessType_ = WINHTTP_ACCESS_TYPE_DEFAULT_PROXY;
    DWORD openFlags_ = 0;
    std::wstring proxyUser_, proxyPassword_;
    bool useUtf8_ = false;
    UINT codePage_ = CP_ACP;
    CHttpClientMapT headers_;
    CHttpClientMapT params_;
    CHttpPostStatT stat_;
    std::wstring boundary_;
    std::string boundaryAnsi_;
    std::wstring contentType_;

    Handles post_;
    std::vector<PostParam> postParams_;
    size_t current_ = 0;        // index of the parameter being posted
    bool started_ = false;      // the current parameter's head went out
    bool bodyComplete_ = false; // the closing line went out
    std::vector<char> readBuffer_;
};

using CHttpClient = CHttpClientT<CHttpToolW, CHttpEncoderW>;

// Multipart boundary from a fresh GUID, or the fixed one when none can be made.
std::wstring MakeBoundary();

}  // namespace Vardo

#include "report/http/HttpClientImpl.h"
