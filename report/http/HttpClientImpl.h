#pragma once
// Member definitions of CHttpClientT; included by HttpClient.h only.

namespace Vardo {

template <class Tool, class Encoder>
CHttpClientT<Tool, Encoder>::CHttpClientT()
    : boundary_(MakeBoundary())
{
    boundaryAnsi_ = std::string(boundary_.begin(), boundary_.end());  // the boundary is plain ASCII
    contentType_ = L"multipart/form-data; boundary=" + boundary_;
}

template <class Tool, class Encoder>
void CHttpClientT<Tool, Encoder>::AddParam(const std::wstring& name, const wchar_t* value, DWORD flags)
{
    if (stat_.active)
        ThrowArgumentError(L"CHttpClientT::AddParam: It is not allowed to call this method if the POST context is active.");
    params_.Add(name, value, flags);
}

template <class Tool, class Encoder>
void CHttpClientT<Tool, Encoder>::SetProxyAccount(const wchar_t* user, const wchar_t* password)
{
    proxyUser_ = user ? user : L"";
    proxyPassword_ = password ? password : L"";
}

template <class Tool, class Encoder>
typename CHttpClientT<Tool, Encoder>::Handles CHttpClientT<Tool, Encoder>::OpenRequestHandles(
    const std::wstring& url, DWORD timeoutMs, const std::wstring& contentType)
{
    HttpAddress address = CHttpUrlAnalyzerT::Analyze(url);
    Handles handles;
    try {
        handles.session = Tool::OpenSession(userAgent_ ? userAgent_->c_str() : L"NuvexIS/1.0", accessType_, nullptr,
                                            nullptr, openFlags_, timeoutMs);
        if (!handles.session) ThrowArgumentError(L"CHttpClientT::OpenConnection: hInternet can not be NULL.");
        handles.connection = Tool::OpenConnection(handles.session, address.host.c_str(), address.port);
        if (!handles.connection) ThrowArgumentError(L"CHttpClientT::OpenRequest: hConnection can not be NULL.");
        handles.request = Tool::OpenRequest(handles.connection, L"POST", address.objectName.c_str(),
                                            address.secure ? WINHTTP_FLAG_SECURE : 0, codePage_);
        if (!handles.request) ThrowArgumentError(L"CHttpClientT::AddRequestHeader: hRequest can not be NULL.");
        Tool::AddHeader(handles.request, L"Cache-Control", L"no-cache");
        for (const auto& header : headers_)
            Tool::AddHeader(handles.request, header.first.c_str(),
                            header.second.value ? header.second.value->c_str() : nullptr);
        Tool::AddHeader(handles.request, L"Content-Type", contentType.c_str());
        if (!proxyUser_.empty() && !proxyPassword_.empty())
            Tool::SetProxyCredentials(handles.request, proxyUser_.c_str(), proxyPassword_.c_str());
    } catch (...) {
        CloseHandles(handles);
        throw;
    }
    return handles;
}

template <class Tool, class Encoder>
void CHttpClientT<Tool, Encoder>::CloseHandles(Handles& handles)
{
    Tool::CloseInternetHandle(handles.request);
    Tool::CloseInternetHandle(handles.connection);
    Tool::CloseInternetHandle(handles.session);
    handles = Handles();
}

template <class Tool, class Encoder>
std::unique_ptr<CHttpResponseT<Tool>> CHttpClientT<Tool, Encoder>::RequestPost(const std::wstring& url,
                                                                               const void* body, DWORD size,
                                                                               DWORD timeoutMs)
{
    Handles handles = OpenRequestHandles(url, timeoutMs, L"application/x-www-form-urlencoded");
    try {
        Tool::SendRequest(handles.request, body, size);
        Tool::EndRequest(handles.request);
    } catch (...) {
        CloseHandles(handles);
        throw;
    }
    return std::make_unique<Response>(handles.session, handles.connection, handles.request);
}

template <class Tool, class Encoder>
void CHttpClientT<Tool, Encoder>::PreparePostParams()
{
    for (const auto& param : params_) {
        PostParam post;
        std::wstring value = param.second.value ? *param.second.value : std::wstring();
        post.head = "--" + boundaryAnsi_ + "\r\nContent-Disposition: form-data; name=\"" + Encode(param.first);
        if (param.second.flags & kParamFile) {
            post.isFile = true;
            post.file = Tool::OpenFile(value.c_str());
            if (post.file == INVALID_HANDLE_VALUE) ThrowHttpError(603, true, value.c_str());
            postParams_.push_back(post);  // owned from here on, closed by EndPost
            postParams_.back().size = Tool::GetFileSize(post.file, value.c_str());
            size_t slash = value.find_last_of(L'\\');
            std::wstring fileName = slash == std::wstring::npos ? value : value.substr(slash + 1);
            postParams_.back().head += "\"; filename=\"" + Encode(fileName) + "\"\r\nContent-Type: " +
                                       Tool::GetMimeType(value.c_str()) + "\r\n\r\n";
            continue;
        }
        post.head += "\"\r\n\r\n";
        post.content = Encode(value);
        post.size = post.content.size();
        postParams_.push_back(post);
    }
}

template <class Tool, class Encoder>
void CHttpClientT<Tool, Encoder>::BeginUpload(const std::wstring& url, DWORD timeoutMs)
{
    if (stat_.active) ThrowHttpError(106);
    try {
        PreparePostParams();
        uint64_t total = 0;
        for (const PostParam& param : postParams_) total += param.head.size() + param.size + 2;
        total += postParams_.empty() ? 2 + 2 + boundaryAnsi_.size() + 4 : 2 + boundaryAnsi_.size() + 4;
        if (total > 0xFFFFFFFFull) ThrowHttpError(112);
        post_ = OpenRequestHandles(url, timeoutMs, contentType_);
        Tool::SendRequestEx(post_.request, DWORD(total));
        stat_ = CHttpPostStatT();
        stat_.active = true;
        stat_.totalBytes = total;
        stat_.totalCount = postParams_.size();
        for (const PostParam& param : postParams_) stat_.fileCount += param.isFile ? 1 : 0;
        current_ = 0;
        started_ = false;
        bodyComplete_ = false;
    } catch (...) {
        EndPost();
        throw;
    }
}

template <class Tool, class Encoder>
void CHttpClientT<Tool, Encoder>::WriteBody(const void* bytes, DWORD size)
{
    if (!size) return;
    Tool::InternetWriteFile(post_.request, bytes, size);
    stat_.postedBytes += size;
}

template <class Tool, class Encoder>
void CHttpClientT<Tool, Encoder>::CompleteCurrent()
{
    WriteBody("\r\n", 2);
    stat_.currComplete = true;
    stat_.postedCount++;
    if (stat_.currIsFile) stat_.postedFileCount++;
}

template <class Tool, class Encoder>
void CHttpClientT<Tool, Encoder>::WriteNextHead()
{
    current_ = started_ ? current_ + 1 : 0;
    started_ = true;
    PostParam& param = postParams_[current_];
    WriteBody(param.head.data(), DWORD(param.head.size()));
    stat_.currTotal = param.size;
    stat_.currPosted = 0;
    stat_.currIsFile = param.isFile;
    stat_.currComplete = false;
    if (param.size == 0) CompleteCurrent();
}

template <class Tool, class Encoder>
void CHttpClientT<Tool, Encoder>::WriteContent(DWORD budget)
{
    PostParam& param = postParams_[current_];
    uint64_t remaining = stat_.currTotal - stat_.currPosted;
    DWORD toWrite = DWORD(remaining < budget ? remaining : budget);
    if (param.isFile) {
        readBuffer_.resize(51200);
        while (toWrite) {
            DWORD piece = toWrite < 51200 ? toWrite : 51200;
            DWORD read = 0;
            if (!ReadFile(param.file, readBuffer_.data(), piece, &read, nullptr)) ThrowHttpError(602, true);
            if (read != piece) ThrowHttpError(105);
            WriteBody(readBuffer_.data(), read);
            stat_.currPosted += read;
            toWrite -= read;
        }
    } else {
        WriteBody(param.content.data() + stat_.currPosted, toWrite);
        stat_.currPosted += toWrite;
    }
    if (stat_.currPosted == stat_.currTotal) CompleteCurrent();
}

template <class Tool, class Encoder>
std::unique_ptr<CHttpResponseT<Tool>> CHttpClientT<Tool, Encoder>::Proceed(DWORD budget)
{
    if (!stat_.active) ThrowHttpError(104);
    if (!budget) ThrowArgumentError(L"CHttpClientT::Proceed: nDesiredByte can not be zero.");
    try {
        if (bodyComplete_) {
            Tool::EndRequest(post_.request);
            auto response = std::make_unique<Response>(post_.session, post_.connection, post_.request);
            post_ = Handles();  // the response owns them now
            EndPost();
            return response;
        }
        if (!started_ || stat_.currComplete) {
            size_t headsWritten = started_ ? current_ + 1 : 0;
            if (headsWritten == postParams_.size()) {
                std::string closing = (postParams_.empty() ? "\r\n--" : "--") + boundaryAnsi_ + "--\r\n";
                WriteBody(closing.data(), DWORD(closing.size()));
                bodyComplete_ = true;
            } else {
                WriteNextHead();
            }
            return nullptr;
        }
        WriteContent(budget);
        return nullptr;
    } catch (...) {
        EndPost();
        throw;
    }
}

template <class Tool, class Encoder>
void CHttpClientT<Tool, Encoder>::EndPost()
{
    CloseHandles(post_);
    for (PostParam& param : postParams_) {
        if (param.file != INVALID_HANDLE_VALUE) CloseHandle(param.file);
    }
    postParams_.clear();
    readBuffer_.clear();
    stat_.active = false;
}

}  // namespace Vardo
