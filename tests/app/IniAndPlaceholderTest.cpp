// INI reads through the profile functions and the placeholder expansion with
// time-zone intervals, on real temporary files.
#include <gtest/gtest.h>
#include <windows.h>

#include "app/IniText.h"
#include "app/Placeholders.h"
#include "tests/app/TempIni.h"

namespace {

const wchar_t kDomainText[] =
    L"\xFEFF[params]\r\nChannelNumber=GL\r\n\r\n"
    L"[Domain]\r\n"
    L"default={+06:00,+13:00}\r\n"
    L"{-12:00,+00:00)=host-a.example\r\n"
    L"{+00:00,+06:00)=host-b.example\r\n"
    L"{+06:00,+13:00}=host-c.example\r\n"
    L"[domain]\r\n"
    L"default=second-section-never-read\r\n";

TEST(IniText, FirstSectionAndKeyWinCaseInsensitively)
{
    Ini ini(L"[A]\r\nkey=1\r\nKEY=2\r\n[a]\r\nother=3\r\n[B]\r\n  spaced  =  value with blanks  \r\nq=\"quoted\"\r\n");
    EXPECT_EQ(L"1", ini->GetString(L"a", L"Key", 260));
    EXPECT_EQ(L"", ini->GetString(L"A", L"other", 260));
    EXPECT_EQ(L"value with blanks", ini->GetString(L"b", L"SPACED", 260));
    EXPECT_EQ(L"quoted", ini->GetString(L"B", L"q", 260));
    EXPECT_EQ(L"", ini->GetString(L"missing", L"key", 260));
    EXPECT_EQ(L"", ini->GetString(L"A", L"missing", 260));
}

TEST(IniText, BufferLimitsCutValuesAndSections)
{
    Ini ini(L"[s]\r\nk=abcdef\r\nx=1\r\ny=2\r\n");
    EXPECT_EQ(L"abc", ini->GetString(L"s", L"k", 4));
    EXPECT_EQ(L"", ini->GetString(L"s", L"k", 0));
    std::vector<std::wstring> all = ini->GetSection(L"s", 1024);
    ASSERT_EQ(3u, all.size());
    EXPECT_EQ(L"k=abcdef", all[0]);
    EXPECT_EQ(L"y=2", all[2]);
    // "k=abcdef\0x=1\0" plus the final zero needs 14 characters: "y=2" is cut
    // off, and nothing is read past the buffer.
    std::vector<std::wstring> cut = ini->GetSection(L"s", 14);
    ASSERT_GE(cut.size(), 2u);
    EXPECT_EQ(L"x=1", cut[1]);
    EXPECT_TRUE(cut.size() == 2 || cut[2].size() < 3u);
}

TEST(IniText, Integers)
{
    Ini ini(L"[p]\r\nSilent=2\r\nNeg=-7\r\nJunk=x1\r\nLead=12ab\r\n");
    EXPECT_EQ(2, ini->GetInt(L"P", L"silent", 0));
    EXPECT_EQ(-7, ini->GetInt(L"p", L"Neg", 0));
    EXPECT_EQ(0, ini->GetInt(L"p", L"Junk", 5));
    EXPECT_EQ(12, ini->GetInt(L"p", L"Lead", 5));
    EXPECT_EQ(5, ini->GetInt(L"p", L"Missing", 5));
}

TEST(IniText, AnsiFilesAndMissingFiles)
{
    std::wstring path = CreateUniqueTempFile(L"ini");
    ASSERT_FALSE(path.empty());
    const char text[] = "[params]\r\nChannelNumber=GL\r\n";
    ASSERT_TRUE(WriteFileBytes(path, text, sizeof(text) - 1));
    EXPECT_EQ(L"GL", CIniFile(path).GetString(L"params", L"ChannelNumber", 260));
    DeleteFileW(path.c_str());
    CIniFile missing(path);
    EXPECT_EQ(L"", missing.GetString(L"params", L"ChannelNumber", 260));
    EXPECT_EQ(4, missing.GetInt(L"params", L"Silent", 4));
    EXPECT_TRUE(missing.GetSection(L"params", 1024).empty());
}

TEST(IniText, TemporaryFilesGoAway)
{
    std::wstring path;
    {
        CTempIniFile temp(L"[a]\r\nb=c\r\n");
        ASSERT_TRUE(temp.Valid());
        path = temp.File().Path();
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str()));
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str()));
}

struct ZoneCase {
    const char* name;
    int offsetMinutes;
    const wchar_t* host;
};

class ZoneTable : public ::testing::TestWithParam<ZoneCase> {};

TEST_P(ZoneTable, PicksTheRegionalHost)
{
    Ini ini(kDomainText);
    EXPECT_EQ(GetParam().host, ResolvePlaceholder(ini, L"domain", GetParam().offsetMinutes));
}

INSTANTIATE_TEST_SUITE_P(Intervals, ZoneTable,
                         ::testing::Values(ZoneCase{"plus_6_lower_bound_included", 360, L"host-c.example"},
                                           ZoneCase{"utc", 0, L"host-b.example"},
                                           ZoneCase{"minus_12", -720, L"host-a.example"},
                                           ZoneCase{"plus_13_upper_included", 780, L"host-c.example"},
                                           ZoneCase{"plus_14_falls_to_default", 840, L"host-c.example"},
                                           ZoneCase{"plus_5_45", 345, L"host-b.example"},
                                           ZoneCase{"minus_3_30", -210, L"host-a.example"},
                                           ZoneCase{"minus_13_default", -780, L"host-c.example"}),
                         [](const ::testing::TestParamInfo<ZoneCase>& info) { return std::string(info.param.name); });

struct KeyCase {
    const wchar_t* key;
    int offset;
    bool matches;
};

TEST(IntervalKeys, OnlyTheFourBracketFormsOfFifteenCharactersMatch)
{
    const KeyCase cases[] = {
        {L"{+00:00,+06:00)", 0, true},   {L"(+00:00,+06:00)", 0, false}, {L"(+00:00,+06:00}", 360, true},
        {L"{+00:00,+06:00)", 360, false}, {L"[+00:00,+06:00]", 60, false}, {L"{+00:00,+06:00]", 60, false},
        {L")+00:00,+06:00(", 60, false}, {L"{00:00,06:00}", 60, false},   {L"{-00:30,+00:30}", -30, true},
        {L"{-00:30,+00:30}", -31, false}, {L"{+aa:00,+06:00}", 60, false}, {L"{+00:00,+06:00} ", 60, false},
    };
    for (const KeyCase& c : cases) EXPECT_EQ(c.matches, IntervalKeyMatches(c.key, c.offset)) << c.key << " @" << c.offset;
}

TEST(Placeholders, DefaultRules)
{
    Ini namesNoKey(L"[domain]\r\ndefault=plain-host.example\r\n{+00:00,+01:00)=\r\n");
    EXPECT_EQ(L"plain-host.example", ResolvePlaceholder(namesNoKey, L"domain", 0));
    Ini emptyDefault(L"[domain]\r\ndefault=\r\n");
    EXPECT_EQ(L"http://dl.%domain%/x", ExpandPlaceholders(emptyDefault, L"http://dl.%domain%/x", 0));
    Ini ini(kDomainText);
    EXPECT_EQ(L"host-c.example", ResolvePlaceholder(ini, L"domain", std::nullopt));
}

TEST(Placeholders, FormatMarkersAreLeftAlone)
{
    Ini ini(kDomainText);
    EXPECT_EQ(L"http://dl.host-b.example/%snewver%s.xml",
              ExpandPlaceholders(ini, L"http://dl.%domain%/%snewver%s.xml", 60));
    EXPECT_EQ(L"a host-a.example b host-a.example %", ExpandPlaceholders(ini, L"a %domain% b %DOMAIN% %", -60));
    EXPECT_EQ(L"no placeholders", ExpandPlaceholders(ini, L"no placeholders", 0));
    EXPECT_EQ(L"100%% sure", ExpandPlaceholders(ini, L"100%% sure", 0));
}

TEST(Placeholders, SelfReferenceEndsInsteadOfLoopingForever)
{
    Ini ini(L"[loop]\r\ndefault=%loop%%loop%\r\n");
    std::wstring value = ExpandPlaceholders(ini, L"x%loop%", 0);
    EXPECT_LE(value.size(), 1023u);
}

TEST(SettingsFormat, OnlyStringMarkersAreSubstituted)
{
    EXPECT_EQ(L"http://h/sub/newver_GL.xml", FormatSettingsText(L"http://h/%snewver%s.xml", L"sub/", L"_GL"));
    EXPECT_EQ(L"http://h/newver.xml", FormatSettingsText(L"http://h/%snewver%s.xml", L"", L""));
    EXPECT_EQ(L"%d %n 50% x", FormatSettingsText(L"%d %n 50%% %s", L"x", L"y"));
}

}  // namespace
