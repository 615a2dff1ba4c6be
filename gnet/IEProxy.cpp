#include "gnet/IEProxy.h"

#include <windows.h>
#include <winhttp.h>

namespace gnet {
namespace {

std::wstring TakeAndFree(LPWSTR text) {
    std::wstring value = text ? text : L"";
    if (text) GlobalFree(text);
    return value;
}

std::wstring ProxyFromList(const std::wstring& proxyList, const std::wstring& bypassList, const std::wstring& url,
                           int scheme) {
    if (proxyList.empty()) return std::wstring();
    if (!bypassList.empty() && IsBypassProxy(bypassList, url)) return std::wstring();
    return SelectProxyForScheme(proxyList, scheme);
}

std::wstring ProxyFromScript(const std::wstring& scriptUrl, const std::wstring& url, int scheme) {
    HINTERNET session = WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                    WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC);
    if (!session) return std::wstring();
    WINHTTP_AUTOPROXY_OPTIONS options = {};
    options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
    options.lpszAutoConfigUrl = scriptUrl.c_str();
    options.fAutoLogonIfChallenged = TRUE;
    WINHTTP_PROXY_INFO info = {};
    std::wstring result;
    if (WinHttpGetProxyForUrl(session, url.c_str(), &options, &info)) {
        std::wstring proxy = TakeAndFree(info.lpszProxy);
        std::wstring bypass = TakeAndFree(info.lpszProxyBypass);
        result = ProxyFromList(proxy, bypass, url, scheme);
    }
    WinHttpCloseHandle(session);
    return result;
}

}  // namespace

bool IsBypassProxy(const std::wstring& bypassList, const std::wstring& url) {
    size_t start = 0;
    for (;;) {
        size_t end = bypassList.find(L';', start);
        std::wstring entry = bypassList.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        if (entry == L"<local>") {
            if (url.find(L'.') == std::wstring::npos || url.find(L"127.0.0.1") != std::wstring::npos) return true;
        } else if (url.find(entry) != std::wstring::npos) {
            return true;
        }
        if (end == std::wstring::npos) return false;
        start = end + 1;
    }
}

std::wstring SelectProxyForScheme(const std::wstring& proxyList, int scheme) {
    if (proxyList.find(L'=') == std::wstring::npos) return proxyList;
    const wchar_t* prefix = nullptr;
    switch (scheme) {
        case kProxySchemeHttp: prefix = L"http="; break;
        case kProxySchemeHttps: prefix = L"https="; break;
        case kProxySchemeFtp: prefix = L"ftp="; break;
        case kProxySchemeSocks: prefix = L"socks="; break;
        default: return std::wstring();
    }
    size_t found = proxyList.find(prefix);
    if (found == std::wstring::npos) return std::wstring();
    size_t valueStart = found + wcslen(prefix);
    size_t end = proxyList.find(L';', valueStart);
    return proxyList.substr(valueStart, end == std::wstring::npos ? std::wstring::npos : end - valueStart);
}

std::wstring GetIEProxy(const std::wstring& url, int scheme) {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config = {};
    if (!WinHttpGetIEProxyConfigForCurrentUser(&config)) return std::wstring();
    std::wstring autoConfigUrl = TakeAndFree(config.lpszAutoConfigUrl);
    std::wstring fixedProxy = TakeAndFree(config.lpszProxy);
    std::wstring fixedBypass = TakeAndFree(config.lpszProxyBypass);
    std::wstring result;
    if (!autoConfigUrl.empty()) result = ProxyFromScript(autoConfigUrl, url, scheme);
    if (result.empty()) result = ProxyFromList(fixedProxy, fixedBypass, url, scheme);
    return result;
}

}  // namespace gnet
