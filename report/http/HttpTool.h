#pragma once
// Thin wrappers of the WinHTTP and file calls used by the client. Each checks
// its arguments and turns a failure into an httpclientexceptionW.
#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <string>

namespace Vardo {

class CHttpToolW {
public:
    static HINTERNET OpenSession(const wchar_t* agent, DWORD accessType, const wchar_t* proxy,
                                 const wchar_t* bypass, DWORD flags, DWORD connectTimeoutMs);
    static HINTERNET OpenConnection(HINTERNET session, const wchar_t* host, INTERNET_PORT port);
    static HINTERNET OpenRequest(HINTERNET connection, const wchar_t* verb, const wchar_t* objectName, DWORD flags,
                                 UINT codePage);
    static void AddHeader(HINTERNET request, const wchar_t* name, const wchar_t* value);
    static void SendRequest(HINTERNET request, const void* body, DWORD size);
    static void SendRequestEx(HINTERNET request, DWORD totalSize);
    static void InternetWriteFile(HINTERNET request, const void* bytes, DWORD size);
    static void EndRequest(HINTERNET request);
    static void SetProxyCredentials(HINTERNET request, const wchar_t* user, const wchar_t* password);
    static void CloseInternetHandle(HINTERNET handle);

    // INVALID_HANDLE_VALUE when the file cannot be opened.
    static HANDLE OpenFile(const wchar_t* path);
    static uint64_t GetFileSize(HANDLE file, const wchar_t* path);
    static std::string GetMimeType(const wchar_t* path);

    static std::string Unicode2Ansi(const std::wstring& text, UINT codePage);
    static std::wstring Ansi2Unicode(const std::string& text, UINT codePage);
};

}  // namespace Vardo
