// Reading the update manifest, its check copy and the self-check.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "TestFolder.h"
#include "base/MD5Checksum.h"
#include "setup/UpdateManifest.h"

namespace {

const char kFullItem[] =
    "<item name=\"BriskoSetup\" version=\"3.6.9.9\" type=\"full\" mode=\"silent\" require_admin=\"YES\" "
    "parameter=\"/x\" size=\"123456\" md5=\"0123456789ABCDEF0123456789abcdef\" "
    "url=\"http://127.0.0.1:8080/pkg/BriskoSetup.exe\" thread=\"4\" promotion_policy=\"pp\" policy_md5=\"pm\"/>";

std::string Manifest(const std::string& rootAttributes, const std::string& item)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<update_info " + rootAttributes + ">\r\n  " + item +
           "\r\n</update_info>\r\n";
}

TEST(ManifestParse, ThirteenAttributes)
{
    UpdateManifest m;
    ASSERT_TRUE(ParseUpdateManifest(Manifest("md5=\"AA\"", kFullItem), &m, nullptr));
    EXPECT_EQ(m.listMd5, L"AA");
    EXPECT_EQ(m.name, L"BriskoSetup");
    EXPECT_EQ(m.version, L"3.6.9.9");
    EXPECT_EQ(m.type, L"full");
    EXPECT_EQ(m.mode, L"silent");
    EXPECT_EQ(m.requireAdmin, L"YES");
    EXPECT_EQ(m.parameter, L"/x");
    EXPECT_EQ(m.size, L"123456");
    EXPECT_EQ(m.md5, L"0123456789ABCDEF0123456789abcdef");
    EXPECT_EQ(m.url, L"http://127.0.0.1:8080/pkg/BriskoSetup.exe");
    EXPECT_EQ(m.thread, 4);
    EXPECT_EQ(m.promotionPolicy, L"pp");
    EXPECT_EQ(m.policyMd5, L"pm");
}

TEST(ManifestParse, LaterReadOverwritesTextsAndKeepsThreadUnlessGiven)
{
    UpdateManifest m;
    ASSERT_TRUE(ParseUpdateManifest(Manifest("md5=\"AA\"", kFullItem), &m, nullptr));
    ASSERT_TRUE(ParseUpdateManifest(Manifest("", "<item name=\"n\" url=\"https://h/p\"/>"), &m, nullptr));
    EXPECT_EQ(m.listMd5, L"");
    EXPECT_EQ(m.version, L"");
    EXPECT_EQ(m.md5, L"");
    EXPECT_EQ(m.policyMd5, L"");
    EXPECT_EQ(m.name, L"n");
    EXPECT_EQ(m.thread, 4);

    struct Case {
        const char* thread;
        int expected;
    };
    const Case cases[] = {{"thread=\"0\"", 0}, {"thread=\"\"", 0}, {"thread=\"12\"", 12}, {"", 12}, {"thread=\"x\"", 0}};
    for (const Case& c : cases) {
        ASSERT_TRUE(ParseUpdateManifest(Manifest("", std::string("<item name=\"n\" url=\"http://h/\" ") + c.thread + "/>"),
                                        &m, nullptr));
        EXPECT_EQ(m.thread, c.expected) << c.thread;
    }
}

TEST(ManifestParse, OnlyFirstUpdateInfoAndFirstItem)
{
    const std::string xml =
        "<other><update_info md5=\"no\"><item name=\"z\" url=\"http://z/\"/></update_info></other>"
        "<update_info md5=\"first\"><thing name=\"t\"/><item name=\"a\" url=\"http://a/\"/>"
        "<item name=\"b\" url=\"http://b/\"/></update_info>"
        "<update_info md5=\"second\"><item name=\"c\" url=\"http://c/\"/></update_info>";
    UpdateManifest m;
    ASSERT_TRUE(ParseUpdateManifest(xml, &m, nullptr));
    EXPECT_EQ(m.listMd5, L"first");
    EXPECT_EQ(m.name, L"a");
    EXPECT_EQ(m.url, L"http://a/");
}

TEST(ManifestParse, EntitiesAndUtf8Values)
{
    UpdateManifest m;
    ASSERT_TRUE(ParseUpdateManifest(
        Manifest("", "<item name=\"Brisko\xC3\xA9&amp;Co\" url=\"http://h/p?a=1&amp;b=2\" parameter=\"&lt;&#x41;&gt;\"/>"),
        &m, nullptr));
    EXPECT_EQ(m.name, L"Brisko\u00E9&Co");
    EXPECT_EQ(m.url, L"http://h/p?a=1&b=2");
    EXPECT_EQ(m.parameter, L"<A>");
}

TEST(ManifestParse, UnreadableManifestsLeaveTheRecordAlone)
{
    const std::string deep = "<update_info>" + [] {
        std::string s;
        for (int i = 0; i < 200000; ++i)
            s += "<a>";
        return s;
    }();
    static const char kNulInside[] = "<update_info md5=\"a\">\0<item name=\"a\" url=\"http://h/\"/></update_info>";
    const std::string cases[] = {
        "",
        "not xml at all",
        "<update_info md5=\"a\"",
        "<update_info><item name=\"a\" url=\"http://h/\"></update_info>",
        "<update_info><item name=\"a\" url=\"http://h/\"/>",
        std::string(kNulInside, sizeof(kNulInside) - 1),
        "<config><item name=\"a\" url=\"http://h/\"/></config>",
        "<update_info md5=\"a\"/>",
        "<update_info md5=\"a\"><items name=\"a\" url=\"http://h/\"/></update_info>",
        "<UPDATE_INFO><item name=\"a\" url=\"http://h/\"/></UPDATE_INFO>",
        "<update_info><item name=\"a\" url=\"http://h/\" name=\"&bogus;\"/></update_info>x<",
        deep,
        "<update_info>" + std::string(kMaxManifestBytes, ' ') + "<item name=\"a\" url=\"http://h/\"/></update_info>",
    };
    for (const std::string& xml : cases) {
        UpdateManifest m;
        m.name = L"previous";
        m.thread = 9;
        std::string copy = "untouched";
        EXPECT_FALSE(ParseUpdateManifest(xml, &m, &copy)) << xml.substr(0, 80);
        EXPECT_EQ(m.name, L"previous");
        EXPECT_EQ(m.thread, 9);
        EXPECT_EQ(copy, "untouched");
    }
}

TEST(ManifestParse, ModeratelyNestedExtrasStillParse)
{
    std::string extra;
    for (int i = 0; i < 20; ++i)
        extra += "<x a='>' b=\"/>\">";
    for (int i = 0; i < 20; ++i)
        extra += "</x>";
    UpdateManifest m;
    EXPECT_TRUE(ParseUpdateManifest(
        "<!-- <<<<<< --><update_info><![CDATA[<<<<]]>" + extra + "<item name=\"a\" url=\"http://h/\"/></update_info>",
        &m, nullptr));
}

TEST(ManifestSafety, PackageNames)
{
    struct Case {
        std::wstring name;
        bool safe;
    };
    const Case cases[] = {
        {L"BriskoSetup", true}, {L"Brisko_4.0.0.1-full", true}, {L"\u0411\u0440\u0438\u0441\u043A\u043E", true},
        {L"con1", true}, {L"COM10", true}, {L"nul_setup", true},
        {L"", false}, {L"..", false}, {L".", false}, {L"..\\evil", false}, {L"a\\b", false}, {L"a/b", false},
        {L"C:evil", false}, {L"a..b", false}, {L"x|y", false}, {L"x*", false}, {L"x?", false}, {L"x<y", false},
        {L"x>y", false}, {L"x\"y", false}, {L"tab\tname", false}, {std::wstring(L"nul\0x", 5), false},
        {L"trailing.", false}, {L"trailing ", false}, {L"CON", false}, {L"con", false}, {L"Nul", false},
        {L"aux.setup", false}, {L"PRN ", false}, {L"COM1", false}, {L"lpt9", false}, {L"CONOUT$", false},
        {L"com\u00B9", false}, {std::wstring(251, L'a'), true}, {std::wstring(252, L'a'), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsPlainFileName(c.name), c.safe) << std::string(c.name.begin(), c.name.end());
}

TEST(ManifestSafety, PackageAddresses)
{
    struct Case {
        const wchar_t* url;
        bool ok;
    };
    const Case cases[] = {
        {L"http://127.0.0.1:8080/p.exe", true}, {L"HTTPS://Example.com/p", true}, {L"http://h", true},
        {L"http://h?x", true},
        {L"", false}, {L"ftp://h/p", false}, {L"file:///C:/Windows/p.exe", false}, {L"//h/p", false},
        {L"http://", false}, {L"http:///p", false}, {L"h/p", false}, {L"http://h/a b", false},
        {L"http://h/\r\nX: y", false}, {L"httpx://h/", false}, {L"C:\\p.exe", false}, {L"\\\\server\\share\\p", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsHttpAddress(c.url), c.ok) << std::wstring(c.url).size();
}

TEST(ManifestSafety, UnsafeNameOrAddressMakesTheManifestUnreadable)
{
    const std::string cases[] = {
        "<item name=\"..\\..\\Windows\\evil\" url=\"http://h/p\"/>",
        "<item name=\"CON\" url=\"http://h/p\"/>",
        "<item url=\"http://h/p\"/>",
        "<item name=\"a\" url=\"file:///C:/evil.exe\"/>",
        "<item name=\"a\"/>",
    };
    for (const std::string& item : cases) {
        UpdateManifest m;
        EXPECT_FALSE(ParseUpdateManifest(Manifest("md5=\"a\"", item), &m, nullptr)) << item;
    }
}

TEST(ManifestCheckCopy, ExactBytes)
{
    const std::string xml =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- served by the update host -->\n"
        "<update_info product=\"Brisko &amp; Co\" md5=\"0123\" channel='say \"hi\"' note=\"it's &lt;new&gt;\">\n"
        "    <item name=\"BriskoSetup\"\n          url=\"http://h/p?a=1&amp;b=2\" />\n"
        "    <item name=\"second\" url=\"http://h/q\"></item>\n"
        "</update_info>\n";
    UpdateManifest m;
    std::string copy;
    ASSERT_TRUE(ParseUpdateManifest(xml, &m, &copy));
    const std::string expected =
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" ?>"
        "<update_info product=\"Brisko &amp; Co\" channel='say \"hi\"' note=\"it's &lt;new&gt;\" md5=\"\">"
        "<item name=\"BriskoSetup\" url=\"http://h/p?a=1&amp;b=2\"/>"
        "<item name=\"second\" url=\"http://h/q\"/>"
        "</update_info>";
    EXPECT_EQ(copy, expected);
}

TEST(ManifestCheckCopy, WhitespaceOfTheDownloadDoesNotMatter)
{
    std::string a, b;
    UpdateManifest m;
    ASSERT_TRUE(ParseUpdateManifest("<update_info md5=\"1\"><item name=\"a\" url=\"http://h/\"/></update_info>", &m, &a));
    ASSERT_TRUE(ParseUpdateManifest(
        "\r\n<update_info   md5=\"2\" >\r\n\t<item\r\n name=\"a\"   url=\"http://h/\" />\r\n</update_info>\r\n", &m, &b));
    EXPECT_EQ(a, b);
}

class ManifestFiles : public ::testing::Test {
protected:
    CTestFolder folder{L"manifest"};
    std::wstring path = folder / L"config.xml";

    // A manifest whose md5 is the digest of its own check copy.
    std::string SelfConsistent(const std::string& md5Case)
    {
        const std::string body = "<item name=\"BriskoSetup\" version=\"3.7.0.1\" url=\"http://h/p.exe\"/>";
        UpdateManifest m;
        std::string copy;
        EXPECT_TRUE(ParseUpdateManifest(Manifest("product=\"Brisko\" md5=\"x\"", body), &m, &copy));
        std::string digest = CMD5Checksum::HexOfText(copy);
        if (md5Case == "upper")
            for (char& c : digest)
                c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        return Manifest("product=\"Brisko\" md5=\"" + digest + "\"", body);
    }
};

TEST_F(ManifestFiles, CheckPassesForTheRightDigestInEitherCase)
{
    for (const char* digestCase : {"lower", "upper"}) {
        ASSERT_TRUE(WriteBytes(path, SelfConsistent(digestCase)));
        UpdateManifest m;
        ASSERT_TRUE(ReadUpdateManifest(path, &m)) << digestCase;
        EXPECT_TRUE(FileExists(path + L"_"));
        EXPECT_FALSE(FileExists(path + L"_.tmp"));
        EXPECT_TRUE(CheckUpdateManifest(path, m)) << digestCase;
    }
}

TEST_F(ManifestFiles, CheckFailsForAWrongOrMissingDigest)
{
    const std::string cases[] = {
        "md5=\"0123456789abcdef0123456789abcdef\"",
        "md5=\"\"",
        "",
        "md5=\"00000000000000000000000000000000\"",
    };
    for (const std::string& root : cases) {
        ASSERT_TRUE(WriteBytes(path, Manifest(root, "<item name=\"a\" url=\"http://h/\"/>")));
        UpdateManifest m;
        ASSERT_TRUE(ReadUpdateManifest(path, &m)) << root;
        EXPECT_FALSE(CheckUpdateManifest(path, m)) << root;
    }
}

TEST_F(ManifestFiles, NoStaleCopyPassesTheCheck)
{
    ASSERT_TRUE(WriteBytes(path, SelfConsistent("lower")));
    UpdateManifest good;
    ASSERT_TRUE(ReadUpdateManifest(path, &good));
    ASSERT_TRUE(CheckUpdateManifest(path, good));

    // A malformed download: the read fails and the old copy is gone.
    ASSERT_TRUE(WriteBytes(path, "<update_info"));
    UpdateManifest m = good;
    EXPECT_FALSE(ReadUpdateManifest(path, &m));
    EXPECT_FALSE(FileExists(path + L"_"));
    EXPECT_FALSE(CheckUpdateManifest(path, good));

    // A copy that cannot be written: the read succeeds, the check fails.
    ASSERT_TRUE(WriteBytes(path, SelfConsistent("lower")));
    ASSERT_TRUE(ReadUpdateManifest(path, &m));
    ASSERT_TRUE(CheckUpdateManifest(path, m));
    ASSERT_TRUE(CreateDirectoryW((path + L"_.tmp").c_str(), nullptr));
    EXPECT_TRUE(ReadUpdateManifest(path, &m));
    EXPECT_FALSE(FileExists(path + L"_"));
    EXPECT_FALSE(CheckUpdateManifest(path, m));
    RemoveDirectoryW((path + L"_.tmp").c_str());
}

TEST_F(ManifestFiles, MissingOrOversizedFileIsUnreadable)
{
    UpdateManifest m;
    EXPECT_FALSE(ReadUpdateManifest(folder / L"absent.xml", &m));
    // Nothing to digest never matches, not even a digest of zeros.
    m.listMd5 = std::wstring(32, L'0');
    EXPECT_FALSE(CheckUpdateManifest(folder / L"absent.xml", m));
    const std::string big = Manifest("md5=\"a\"", "<item name=\"a\" url=\"http://h/\"/>") +
                            "<!--" + std::string(kMaxManifestBytes, '-') + "-->";
    ASSERT_TRUE(WriteBytes(path, big));
    EXPECT_FALSE(ReadUpdateManifest(path, &m));
    EXPECT_FALSE(FileExists(path + L"_"));
}

TEST_F(ManifestFiles, DeleteRemovesManifestAndCopies)
{
    ASSERT_TRUE(WriteBytes(path, SelfConsistent("lower")));
    UpdateManifest m;
    ASSERT_TRUE(ReadUpdateManifest(path, &m));
    ASSERT_TRUE(WriteBytes(path + L"_.tmp", "left over"));
    DeleteManifestFiles(path);
    EXPECT_FALSE(FileExists(path));
    EXPECT_FALSE(FileExists(path + L"_"));
    EXPECT_FALSE(FileExists(path + L"_.tmp"));
}

}  // namespace
