// Proxy choice: bypass lists and the entry for a scheme.
#include <gtest/gtest.h>

#include "gnet/IEProxy.h"

namespace {

TEST(IsBypassProxyTest, Table) {
    const struct {
        const wchar_t* list;
        const wchar_t* url;
        bool bypass;
    } cases[] = {
        {L"<local>", L"http://intranet/file", true},
        {L"<local>", L"http://127.0.0.1:8080/a.bin", true},
        {L"<local>", L"http://example.com/a.bin", false},
        {L"example.com", L"http://dl.example.com/a.bin", true},
        {L"*.example.com", L"http://dl.example.com/a.bin", false},
        {L"Example.com", L"http://example.com/a", false},
        {L"foo;bar.org", L"http://bar.org/x", true},
        {L"foo;bar.org", L"http://baz.org/x", false},
        {L"foo;;", L"http://baz.org/x", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.bypass, gnet::IsBypassProxy(c.list, c.url))
            << std::wstring(c.list).size() << " list entry, url length " << std::wstring(c.url).size();
    }
}

TEST(SelectProxyForSchemeTest, Table) {
    const struct {
        const wchar_t* list;
        int scheme;
        const wchar_t* expected;
    } cases[] = {
        {L"proxy:8080", gnet::kProxySchemeHttp, L"proxy:8080"},
        {L"http=h:1;https=s:2", gnet::kProxySchemeHttp, L"h:1"},
        {L"https=s:2;http=h:1", gnet::kProxySchemeHttp, L"h:1"},
        {L"http=h:1;https=s:2", gnet::kProxySchemeHttps, L"s:2"},
        {L"https=s:2", gnet::kProxySchemeHttp, L""},
        {L"ftp=f:21;socks=k:1080", gnet::kProxySchemeSocks, L"k:1080"},
        {L"ftp=f:21;socks=k:1080", gnet::kProxySchemeFtp, L"f:21"},
        {L"http=h:1", 9, L""},
    };
    for (const auto& c : cases) EXPECT_EQ(std::wstring(c.expected), gnet::SelectProxyForScheme(c.list, c.scheme));
}

TEST(GetIEProxyTest, NoSystemProxyMeansDirect) {
    EXPECT_EQ(L"", gnet::GetIEProxy(L"http://127.0.0.1/a.bin", gnet::kProxySchemeHttp));
}

}  // namespace
