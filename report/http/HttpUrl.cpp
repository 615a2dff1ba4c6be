#include "report/http/HttpUrl.h"

#include "report/http/HttpErrors.h"

namespace Vardo {

namespace {
INTERNET_PORT ParsePort(const std::wstring& text)
{
    if (text.empty() || text.size() > 5) ThrowHttpError(107);
    unsigned long port = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') ThrowHttpError(107);
        port = port * 10 + unsigned(c - L'0');
    }
    if (port == 0 || port > 65535) ThrowHttpError(107);
    return INTERNET_PORT(port);
}
}  // namespace

HttpAddress CHttpUrlAnalyzerT::Analyze(const std::wstring& url)
{
    HttpAddress address;
    size_t schemeEnd = url.find(L"://");
    if (schemeEnd == std::wstring::npos || schemeEnd == 0) ThrowHttpError(103);
    address.scheme = url.substr(0, schemeEnd);
    address.secure = _wcsicmp(address.scheme.c_str(), L"https") == 0;
    if (!address.secure && _wcsicmp(address.scheme.c_str(), L"http") != 0) ThrowHttpError(103);
    address.port = address.secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;

    size_t hostStart = schemeEnd + 3;
    size_t hostEnd = url.find_first_of(L"/?#", hostStart);
    std::wstring hostPort = url.substr(hostStart, hostEnd == std::wstring::npos ? std::wstring::npos : hostEnd - hostStart);
    size_t colon = hostPort.find(L':');
    address.host = hostPort.substr(0, colon);
    if (address.host.empty()) ThrowHttpError(103);
    if (colon != std::wstring::npos) address.port = ParsePort(hostPort.substr(colon + 1));

    if (hostEnd != std::wstring::npos) {
        size_t fragment = url.find(L'#', hostEnd);
        address.objectName = url.substr(hostEnd, fragment == std::wstring::npos ? std::wstring::npos : fragment - hostEnd);
    }
    if (address.objectName.empty() || address.objectName[0] != L'/') address.objectName = L"/" + address.objectName;
    return address;
}

}  // namespace Vardo
