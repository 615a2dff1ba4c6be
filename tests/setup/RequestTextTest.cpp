// The texts sent with requests and handed to the installer.
#include <gtest/gtest.h>

#include <string>

#include "setup/SetupRequest.h"

namespace {

// The bytes the query must encode, spelled out independently of the code.
bool ExpectEncoded(int b)
{
    static const int kSingles[] = {0x22, 0x23, 0x25, 0x3A, 0x3C, 0x3E, 0x3F, 0x5B,
                                   0x5C, 0x5D, 0x5E, 0x60, 0x7B, 0x7C, 0x7D, 0x7F};
    if (b <= 0x20 || b >= 0x80)
        return true;
    for (int s : kSingles)
        if (s == b)
            return true;
    return false;
}

TEST(QueryEncoding, EveryByteValue)
{
    int encoded = 0;
    for (int b = 0; b < 256; ++b) {
        const std::string in(1, static_cast<char>(b));
        char hex[4];
        std::snprintf(hex, sizeof hex, "%%%02X", b);
        const std::string expected = ExpectEncoded(b) ? std::string(hex) : in;
        EXPECT_EQ(PercentEncodeQuery(in), expected) << "byte " << b;
        encoded += ExpectEncoded(b) ? 1 : 0;
    }
    EXPECT_EQ(encoded, 177);
}

TEST(QueryEncoding, AllBytesInOneText)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const std::string out = PercentEncodeQuery(all);
    // 177 bytes become three characters each, the other 79 stay.
    EXPECT_EQ(out.size(), 177u * 3 + 79u);
    EXPECT_EQ(out.substr(0, 6), "%00%01");
    EXPECT_NE(out.find("&'()*+,-./0123456789%3A;%3C=%3E%3F@ABC"), std::string::npos);
}

TEST(QueryString, ShapeAndIdentityCut)
{
    EXPECT_EQ(BuildQueryString(L"ABC-123", L"1A2B3C4D"), L"?userid=%7BABC-123%7D&rand=1A2B3C4D");
    EXPECT_EQ(BuildQueryString(L"a b|c", L""), L"?userid=%7Ba%20b%7Cc%7D&rand=");
    const std::wstring longId(200, L'x');
    EXPECT_EQ(BuildQueryString(longId, L"R"), L"?userid=%7B" + std::wstring(125, L'x') + L"%7D&rand=R");
}

TEST(QueryString, RandIsEightUpperHexDigits)
{
    const std::wstring a = MakeQueryRand();
    const std::wstring b = MakeQueryRand();
    ASSERT_EQ(a.size(), 8u);
    for (wchar_t c : a)
        EXPECT_TRUE((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F')) << static_cast<int>(c);
    EXPECT_NE(a, b);
}

TEST(HeaderJson, ExactText)
{
    EXPECT_EQ(BuildHeaderJson(L"MiniSetup4.0.0.1"),
              L"{\"httpheader\":[\"User-Agent: MiniSetup4.0.0.1\",\"Pragma: no-cache\",\"Cache-Control: no-cache\"]}");
}

TEST(HeaderJson, UserAgentCannotBreakTheJson)
{
    EXPECT_EQ(BuildHeaderJson(L"a\"b\\c\r\nX: y"),
              L"{\"httpheader\":[\"User-Agent: a\\\"b\\\\cX: y\",\"Pragma: no-cache\",\"Cache-Control: no-cache\"]}");
}

TEST(UserAgent, NameWithoutFolderAndLastExtensionThenVersion)
{
    struct Case {
        const wchar_t* path;
        const wchar_t* version;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"C:\\Users\\me\\Downloads\\MiniSetup.exe", L"4.0.0.1", L"MiniSetup4.0.0.1"},
        {L"C:\\x\\Brisko_Setup.v2.exe", L"1.2.3.4", L"Brisko_Setup.v21.2.3.4"},
        {L"C:\\dir.with.dots\\Setup", L"1.0", L"Setup1.0"},
        {L"MiniSetup.exe", L"", L"MiniSetup"},
        {L"C:\\x\\MiniSetup.exe", L"4.0\r\n.1", L"MiniSetup4.0.1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BuildUserAgentValue(c.path, c.version), c.expected) << c.path;
}

TEST(VersionSubfolder, Table)
{
    struct Case {
        const wchar_t* version;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"3.6.9.9", L"\\3.6.9.9"},
        {L"3.7.0.1", L"\\3.7.0.0"},
        {L"10.2.3.4", L"\\10.2.0.0"},
        {L"2.99.1.1", L"\\2.99.1.1"},
        {L"3.06.9.9", L"\\3.06.9.9"},
        {L"4294967295.0.0.0", L"\\4294967295.0.0.0"},
        {L"4294967296.0.0.0", L""},
        {L"3.7", L""},
        {L"3.6.9", L""},
        {L"3.6.9.9.9", L""},
        {L"3.6.9.x", L""},
        {L"3.6..9", L""},
        {L" 3.6.9.9", L""},
        {L"3.6.9.9 ", L""},
        {L"-1.2.3.4", L""},
        {L"+3.6.9.9", L""},
        {L"3.6.9.9\\..\\..", L""},
        {L"..\\..\\Windows", L""},
        {L"", L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(VersionSubfolder(c.version), c.expected) << c.version;
}

TEST(VersionSubfolder, DecidedOnceAndKeptForRetries)
{
    const std::wstring base = L"C:\\Program Files\\Nuvex Security\\Brisko";
    CVersionSubfolder sub;
    EXPECT_EQ(sub.Apply(base, L"3.6.9.9"), base + L"\\3.6.9.9");
    // A retry hands the window's folder again: same subfolder, once.
    EXPECT_EQ(sub.Apply(base, L"3.6.9.9"), base + L"\\3.6.9.9");
    // A second manifest in the same process changes nothing.
    EXPECT_EQ(sub.Apply(base, L"10.2.3.4"), base + L"\\3.6.9.9");
    // A folder that already carries it is not extended twice.
    EXPECT_EQ(sub.Apply(base + L"\\3.6.9.9", L"3.6.9.9"), base + L"\\3.6.9.9");
}

TEST(VersionSubfolder, UnusableFirstVersionMeansNoSubfolderForTheProcess)
{
    CVersionSubfolder sub;
    EXPECT_EQ(sub.Apply(L"D:\\Brisko", L"3.6.9"), L"D:\\Brisko");
    EXPECT_TRUE(sub.Decided());
    EXPECT_EQ(sub.Apply(L"D:\\Brisko", L"3.6.9.9"), L"D:\\Brisko");
}

TEST(InstallerCommandLine, Table)
{
    const std::wstring head = L"/S /POLICY /SetUpdateFileMapping=MiniInstallHwnd ";
    struct Case {
        const char* what;
        WORD lang;
        int helpUs;
        std::wstring passThrough;
        std::wstring folder;
        std::wstring expected;
    };
    const Case cases[] = {
        {"silent", 1033, 0, L"", L"C:\\Brisko\\3.6.9.9",
         head + L"/LANG=1033 /bHelpUs=0 /D=C:\\Brisko\\3.6.9.9"},
        {"interactive with quoted arguments", 2052, 1, L"\"/demo-fail\" \"some arg\" /POP ",
         L"C:\\Brisko", head + L"/LANG=2052 /bHelpUs=1 \"/demo-fail\" \"some arg\" /POP /D=C:\\Brisko"},
        {"folder with blanks stays unquoted and last", 1049, 0, L"/POP ",
         L"C:\\Program Files\\Nuvex Security\\Brisko\\3.7.0.0",
         head + L"/LANG=1049 /bHelpUs=0 /POP /D=C:\\Program Files\\Nuvex Security\\Brisko\\3.7.0.0"},
        {"largest language id", 65535, 1, L"", L"X:\\", head + L"/LANG=65535 /bHelpUs=1 /D=X:\\"},
    };
    for (const Case& c : cases) {
        std::wstring line;
        ASSERT_TRUE(BuildInstallerCommandLine(c.lang, c.helpUs, c.passThrough, c.folder, &line)) << c.what;
        EXPECT_EQ(line, c.expected) << c.what;
    }
}

TEST(InstallerCommandLine, LengthLimitOf513Characters)
{
    std::wstring probe;
    ASSERT_TRUE(BuildInstallerCommandLine(1033, 0, L"", L"", &probe));
    const size_t fixed = probe.size();
    std::wstring line = L"untouched";
    ASSERT_TRUE(BuildInstallerCommandLine(1033, 0, L"", std::wstring(513 - fixed, L'a'), &line));
    EXPECT_EQ(line.size(), 513u);
    line = L"untouched";
    EXPECT_FALSE(BuildInstallerCommandLine(1033, 0, L"", std::wstring(514 - fixed, L'a'), &line));
    EXPECT_EQ(line, L"untouched");
    EXPECT_FALSE(BuildInstallerCommandLine(1033, 0, std::wstring(600, L'p'), L"C:\\B", &line));
    EXPECT_EQ(line, L"untouched");
}

}  // namespace
