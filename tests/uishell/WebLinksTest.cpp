// The licence, privacy and thank-you addresses and how they are opened. The
// fake environment records every shell call; nothing opens a real browser.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeEnvironment.h"
#include "ui/setup/WebLinks.h"

namespace {

const std::wstring kHost = kProductWebHost;

TEST(WebLinks, LicenceAndPrivacyCarryTheLanguage)
{
    EXPECT_EQ(LicenceAddress(1054), kHost + L"/go.php?link=11&langid=1054");
    EXPECT_EQ(LicenceAddress(1033), kHost + L"/go.php?link=11&langid=1033");
    EXPECT_EQ(PrivacyAddress(1028), kHost + L"/go.php?link=4&langid=1028");
    EXPECT_EQ(PrivacyAddress(65535), kHost + L"/go.php?link=4&langid=65535");
}

struct OpenLinkCase {
    const char* name;
    std::vector<INT_PTR> results;
    size_t expectedCalls;
};

class OpenLinkTest : public ::testing::TestWithParam<OpenLinkCase> {};

TEST_P(OpenLinkTest, DefaultHandlerThenInternetExplorer)
{
    const OpenLinkCase& c = GetParam();
    CFakeEnvironment fake;
    fake.shellResults.assign(c.results.begin(), c.results.end());
    CScopedEnvironment scope(fake);
    std::wstring address = LicenceAddress(1046);

    OpenLink(address);

    ASSERT_EQ(fake.shellCalls.size(), c.expectedCalls);
    const ShellCall& first = fake.shellCalls[0];
    EXPECT_EQ(first.verb, L"open");
    EXPECT_EQ(first.file, address);
    EXPECT_FALSE(first.hasParameters);
    EXPECT_EQ(first.show, SW_SHOWNORMAL);
    if (c.expectedCalls == 2) {
        const ShellCall& second = fake.shellCalls[1];
        EXPECT_EQ(second.verb, L"open");
        EXPECT_EQ(second.file, L"iexplore");
        EXPECT_EQ(second.parameters, address);
        EXPECT_EQ(second.show, SW_SHOW);
    }
}

INSTANTIATE_TEST_SUITE_P(Results, OpenLinkTest,
                         ::testing::Values(OpenLinkCase{"opened", {33}, 1},
                                           OpenLinkCase{"limit_is_a_failure", {32, 42}, 2},
                                           OpenLinkCase{"no_association", {SE_ERR_NOASSOC, 42}, 2},
                                           OpenLinkCase{"fallback_failing_is_ignored", {2, 2}, 2}),
                         [](const ::testing::TestParamInfo<OpenLinkCase>& info) { return info.param.name; });

TEST(WebLinks, EmptyAddressOpensNothing)
{
    CFakeEnvironment fake;
    CScopedEnvironment scope(fake);
    OpenLink(L"");
    EXPECT_TRUE(fake.shellCalls.empty());
}

struct SidCase {
    const wchar_t* path;
    const wchar_t* sid;
};

TEST(WebLinks, SidIsTheFileNameSuffixAfterTheLastUnderscore)
{
    const SidCase cases[] = {
        {L"C:\\Downloads\\BriskoSetup_partner7.exe", L"partner7"},
        {L"C:\\Downloads\\Brisko_Setup_web.exe", L"web"},
        {L"C:\\Downloads\\BriskoSetup_a.b.exe", L"a.b"},
        {L"BriskoSetup_x.exe", L"x"},
        {L"C:\\Downloads\\BriskoSetup.exe", L""},
        // An underscore in a folder name is not the file's.
        {L"C:\\my_downloads\\BriskoSetup.exe", L""},
        {L"C:\\my_downloads/BriskoSetup.exe", L""},
        {L"C:\\Downloads\\BriskoSetup_partner", L""},
        {L"C:\\Downloads\\Brisko.v2_partner", L""},
        {L"C:\\Downloads\\BriskoSetup_.exe", L""},
        {L"", L""},
    };
    for (const SidCase& c : cases) EXPECT_EQ(SidFromProgramPath(c.path), c.sid) << c.path;
}

struct EncodeCase {
    std::wstring text;
    const wchar_t* encoded;
};

TEST(WebLinks, QueryValuesAreEncodedByteByByte)
{
    const EncodeCase cases[] = {
        {L"", L""},
        {L"AZaz09", L"AZaz09"},
        {L"web|x", L"web%7Cx"},
        {L"a b", L"a+b"},
        {L"\t\n\v\f\r", L"+++++"},
        {L"-_.~", L"%2D%5F%2E%7E"},
        {L"%&=?/+", L"%25%26%3D%3F%2F%2B"},
        {std::wstring(1, L'\x01') + L"\x7F", L"%01%7F"},
        // Bytes above 0x7F are never taken for letters, whatever the locale says.
        {L"\x00E9\x00FF", L"%C3%A9%C3%BF"},
        {L"\x0E01", L"%E0%B8%81"},
        {L"\xD83D\xDE00", L"%F0%9F%98%80"},
    };
    for (const EncodeCase& c : cases) EXPECT_EQ(EncodeQueryValue(c.text), c.encoded) << c.encoded;
}

TEST(WebLinks, ThankPageAddressCarriesSidAndChannel)
{
    EXPECT_EQ(ThankPageAddress(L"partner7", L"brk|web 2"),
              kHost + L"/cgi/pixel/thankpage.php?sid=partner7&channel=brk%7Cweb+2");
    EXPECT_EQ(ThankPageAddress(L"", L""), kHost + L"/cgi/pixel/thankpage.php?sid=&channel=");
}

TEST(WebLinks, LongChannelIsNeverCut)
{
    std::wstring channel(600, L'\x0E01');
    std::wstring address = ThankPageAddress(L"s", channel);
    std::wstring expectedTail;
    for (int i = 0; i < 600; ++i) expectedTail += L"%E0%B8%81";
    ASSERT_GT(address.size(), expectedTail.size());
    EXPECT_EQ(address.substr(address.size() - expectedTail.size()), expectedTail);
}

struct BrowserCase {
    std::vector<std::wstring> running;
    const wchar_t* browser;
};

TEST(WebLinks, BrowserIsTheOnlyOneRunningElseInternetExplorer)
{
    const BrowserCase cases[] = {
        {{}, L"iexplore.exe"},
        {{L"chrome.exe"}, L"chrome.exe"},
        {{L"firefox.exe"}, L"firefox.exe"},
        {{L"iexplore.exe"}, L"iexplore.exe"},
        {{L"chrome.exe", L"firefox.exe"}, L"iexplore.exe"},
        {{L"chrome.exe", L"iexplore.exe"}, L"iexplore.exe"},
        {{L"firefox.exe", L"iexplore.exe"}, L"iexplore.exe"},
        {{L"chrome.exe", L"iexplore.exe", L"firefox.exe"}, L"iexplore.exe"},
        {{L"msedge.exe", L"firefox.exe"}, L"firefox.exe"},
        {{L"msedge.exe"}, L"iexplore.exe"},
    };
    for (const BrowserCase& c : cases) {
        CFakeEnvironment fake;
        fake.runningProcesses = c.running;
        CScopedEnvironment scope(fake);
        EXPECT_EQ(ChooseBrowser(), c.browser) << "running: " << c.running.size() << ", expected " << c.browser;
    }
}

TEST(ThankPage, OpensInTheChosenBrowserWithTheAddress)
{
    CFakeEnvironment fake;
    fake.programPath = L"C:\\Users\\me\\Downloads\\BriskoSetup_sid42.exe";
    fake.runningProcesses = {L"FIREFOX.EXE", L"explorer.exe"};
    CScopedEnvironment scope(fake);

    OpenThankPage(false, L"web|nl");

    ASSERT_EQ(fake.shellCalls.size(), 1u);
    const ShellCall& call = fake.shellCalls[0];
    EXPECT_EQ(call.verb, L"open");
    EXPECT_EQ(call.file, L"firefox.exe");
    EXPECT_EQ(call.parameters, kHost + L"/cgi/pixel/thankpage.php?sid=sid42&channel=web%7Cnl");
    EXPECT_EQ(call.show, SW_SHOWNORMAL);
}

TEST(ThankPage, FallsBackToTheDefaultHandler)
{
    CFakeEnvironment fake;
    fake.programPath = L"C:\\BriskoSetup_p.exe";
    fake.shellResults = {ERROR_FILE_NOT_FOUND, 2};
    CScopedEnvironment scope(fake);

    OpenThankPage(false, L"c");

    ASSERT_EQ(fake.shellCalls.size(), 2u);
    std::wstring address = kHost + L"/cgi/pixel/thankpage.php?sid=p&channel=c";
    EXPECT_EQ(fake.shellCalls[0].file, L"iexplore.exe");
    EXPECT_EQ(fake.shellCalls[0].parameters, address);
    EXPECT_EQ(fake.shellCalls[1].verb, L"open");
    EXPECT_EQ(fake.shellCalls[1].file, address);
    EXPECT_FALSE(fake.shellCalls[1].hasParameters);
    EXPECT_EQ(fake.shellCalls[1].show, SW_SHOWNORMAL);
}

TEST(ThankPage, SkippedPageOpensNothing)
{
    CFakeEnvironment fake;
    fake.runningProcesses = {L"chrome.exe"};
    CScopedEnvironment scope(fake);
    OpenThankPage(true, L"web");
    EXPECT_TRUE(fake.shellCalls.empty());
    EXPECT_TRUE(fake.shellExCalls.empty());
}

}  // namespace
