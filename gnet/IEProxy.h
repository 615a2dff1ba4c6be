#pragma once
// The user's system proxy for a URL, as configured for the browser.
#include <string>

namespace gnet {

enum ProxyScheme { kProxySchemeHttp = 1, kProxySchemeHttps = 2, kProxySchemeFtp = 3, kProxySchemeSocks = 4 };

// Empty when the URL goes direct.
std::wstring GetIEProxy(const std::wstring& url, int scheme);

// Whether a ";"-separated bypass list says the URL does not use the proxy.
bool IsBypassProxy(const std::wstring& bypassList, const std::wstring& url);
// The entry of a proxy list for one scheme ("http=host:port;https=..."), or
// the whole list when it has no "=" at all.
std::wstring SelectProxyForScheme(const std::wstring& proxyList, int scheme);

}  // namespace gnet
