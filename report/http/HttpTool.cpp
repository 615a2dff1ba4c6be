#include "report/http/HttpTool.h"

#include <shlwapi.h>

#include "report/http/HttpErrors.h"
#include "base/TextConvert.h"

namespace Vardo {

HINTERNET CHttpToolW::OpenSession(const wchar_t* agent, DWORD accessType, const wchar_t* proxy,
                                  const wchar_t* bypass, DWORD flags, DWORD connectTimeoutMs)
{
    HINTERNET session = WinHttpOpen(agent, accessType, proxy ? proxy : WINHTTP_NO_PROXY_NAME,
                                    bypass ? bypass : WINHTTP_NO_PROXY_BYPASS, flags);
    if (!session) ThrowHttpError(402, true);
    if (connectTimeoutMs) {
        DWORD timeout = connectTimeoutMs;
        if (!WinHttpSetOption(session, WINHTTP_OPTION_CONNECT_TIMEOUT, &timeout, sizeof(timeout))) {
            DWORD error = GetLastError();
            WinHttpCloseHandle(session);
            SetLastError(error);
            ThrowHttpError(402, true);
        }
    }
    return session;
}

HINTERNET CHttpToolW::OpenConnection(HINTERNET session, const wchar_t* host, INTERNET_PORT port)
{
    if (!session) ThrowArgumentError(L"CHttpToolW::OpenConnection: hInternet can not be NULL.");
    if (!host) ThrowArgumentError(L"CHttpToolW::OpenConnection: szServerAddr can not be NULL.");
    if (!*host) ThrowArgumentError(L"CHttpToolW::OpenConnection: szServerAddr can not be an empty string.");
    HINTERNET connection = WinHttpConnect(session, host, port, 0);
    if (!connection) ThrowHttpError(403, true);
    return connection;
}

HINTERNET CHttpToolW::OpenRequest(HINTERNET connection, const wchar_t* verb, const wchar_t* objectName, DWORD flags,
                                  UINT codePage)
{
    if (!connection) ThrowArgumentError(L"CHttpToolW::OpenRequest: hConnection can not be NULL.");
    if (!objectName) ThrowArgumentError(L"CHttpToolW::OpenRequest: szObjectName can not be NULL.");
    if (!*objectName) ThrowArgumentError(L"CHttpToolW::OpenRequest: szObjectName can not be an empty string.");
    if (codePage == CP_UTF8 || codePage == CP_UTF7)
        ThrowArgumentError(L"CHttpToolW::OpenRequest: CP_UTF8 and CP_UTF7 can not be used for the CodePage parameter.");
    const wchar_t* acceptTypes[] = {L"*/*", nullptr};
    return WinHttpOpenRequest(connection, verb, objectName, L"HTTP/1.1", WINHTTP_NO_REFERER, acceptTypes, flags);
}

void CHttpToolW::AddHeader(HINTERNET request, const wchar_t* name, const wchar_t* value)
{
    if (!request) ThrowArgumentError(L"CHttpToolW::AddHeader: hRequest can not be NULL.");
    if (!name) ThrowArgumentError(L"CHttpToolW::AddHeader: szName can not be NULL.");
    std::wstring line = std::wstring(name) + L": " + (value ? value : L"") + L"\r\n";
    if (!WinHttpAddRequestHeaders(request, line.c_str(), DWORD(line.size()),
                                  WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE))
        ThrowHttpError(405, true);
}

// Certificate failures are final: the request is never repeated with the
// checks switched off.
void CHttpToolW::SendRequest(HINTERNET request, const void* body, DWORD size)
{
    if (!request) ThrowArgumentError(L"CHttpToolW::SendRequest: hRequest can not be NULL.");
    if (!WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, const_cast<void*>(body), size, size, 0))
        ThrowHttpError(406, true);
}

void CHttpToolW::SendRequestEx(HINTERNET request, DWORD totalSize)
{
    if (!request) ThrowArgumentError(L"CHttpToolW::SendRequestEx: hRequest can not be NULL.");
    if (!WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, totalSize, 0))
        ThrowHttpError(407, true);
}

void CHttpToolW::InternetWriteFile(HINTERNET request, const void* bytes, DWORD size)
{
    if (!request) ThrowArgumentError(L"CHttpToolW::InternetWriteFile: hRequest can not be NULL.");
    if (!bytes) ThrowArgumentError(L"CHttpToolW::InternetWriteFile: pbyBuff can not be NULL.");
    if (!size) ThrowArgumentError(L"CHttpToolW::InternetWriteFile: cbyBuff can not be zero.");
    const BYTE* next = static_cast<const BYTE*>(bytes);
    while (size) {
        DWORD written = 0;
        if (!WinHttpWriteData(request, next, size, &written) || written == 0) ThrowHttpError(408, true);
        next += written;
        size -= written;
    }
}

void CHttpToolW::EndRequest(HINTERNET request)
{
    if (!request) ThrowArgumentError(L"CHttpToolW::EndRequest: hRequest can not be NULL.");
    WinHttpReceiveResponse(request, nullptr);  // a missing response shows when the status is asked for
}

void CHttpToolW::SetProxyCredentials(HINTERNET request, const wchar_t* user, const wchar_t* password)
{
    if (!WinHttpSetCredentials(request, WINHTTP_AUTH_TARGET_PROXY, WINHTTP_AUTH_SCHEME_BASIC, user, password,
                               nullptr))
        ThrowHttpError(410, true);
}

void CHttpToolW::CloseInternetHandle(HINTERNET handle)
{
    if (handle) WinHttpCloseHandle(handle);
}

HANDLE CHttpToolW::OpenFile(const wchar_t* path)
{
    if (!path) ThrowArgumentError(L"CHttpToolW::OpenFile: szFilePath can not be NULL.");
    return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL, nullptr);
}

uint64_t CHttpToolW::GetFileSize(HANDLE file, const wchar_t* path)
{
    if (!file || file == INVALID_HANDLE_VALUE) ThrowArgumentError(L"CHttpToolW::GetFileSize: hFile can not be NULL.");
    if (!path) ThrowArgumentError(L"CHttpToolW::GetFileSize: szFilePath can not be NULL.");
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file, &size)) ThrowHttpError(605, true, path);
    return uint64_t(size.QuadPart);
}

std::string CHttpToolW::GetMimeType(const wchar_t* path)
{
    const char* fallback = "application/octet-stream";
    const wchar_t* extension = path ? PathFindExtensionW(path) : L"";
    if (!extension || !*extension) return fallback;
    char value[256] = {};
    DWORD type = 0;
    DWORD size = sizeof(value) - 1;
    if (SHGetValueA(HKEY_CLASSES_ROOT, Unicode2Ansi(extension, CP_ACP).c_str(), "Content Type", &type, value,
                    &size) != ERROR_SUCCESS ||
        type != REG_SZ || !value[0])
        return fallback;
    return value;
}

std::string CHttpToolW::Unicode2Ansi(const std::wstring& text, UINT codePage)
{
    if (codePage == CP_UTF8 || codePage == CP_UTF7) ThrowArgumentError(L"CHttpToolW::Unicode2Ansi: CP_UTF8 and CP_UTF7 can not be used for the CodePage parameter.");
    std::string narrow;
    if (!TryWideToCodePage(text, codePage, &narrow)) ThrowHttpError(600, true);
    return narrow;
}

std::wstring CHttpToolW::Ansi2Unicode(const std::string& text, UINT codePage)
{
    if (codePage == CP_UTF8 || codePage == CP_UTF7) ThrowArgumentError(L"CHttpToolW::Ansi2Unicode: CP_UTF8 and CP_UTF7 can not be used for the CodePage parameter.");
    std::wstring wide;
    if (!TryCodePageToWide(text, codePage, &wide)) ThrowHttpError(601, true);
    return wide;
}

}  // namespace Vardo
