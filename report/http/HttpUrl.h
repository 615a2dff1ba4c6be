#pragma once
// Splits a request address into the pieces WinHTTP needs.
#include <windows.h>
#include <winhttp.h>

#include <string>

namespace Vardo {

struct HttpAddress {
    std::wstring scheme;
    std::wstring host;
    INTERNET_PORT port = 80;
    std::wstring objectName;  // path and query, at least "/"
    bool secure = false;
};

class CHttpUrlAnalyzerT {
public:
    // Raises 103 for an address without scheme or host, 107 for a bad port.
    static HttpAddress Analyze(const std::wstring& url);
};

}  // namespace Vardo
