// The embedded settings: the text the program carries and what it yields.
#include <gtest/gtest.h>
#include <windows.h>

#include "app/Settings.h"
#include "app/SettingsArea.h"
#include "tests/app/TempIni.h"

namespace {

std::wstring EmbeddedText() { return SettingsAreaText(); }

TEST(SettingsArea, CarriesTheDefaultTextWithBomAndZeroFill)
{
    const wchar_t* area = SettingsAreaText();
    ASSERT_EQ(0xFEFF, area[0]);
    size_t length = wcslen(area);
    ASSERT_LT(length, kSettingsAreaChars);
    for (size_t i = length; i < kSettingsAreaChars; ++i) ASSERT_EQ(L'\0', area[i]) << i;
    std::wstring text = EmbeddedText();
    EXPECT_NE(std::wstring::npos, text.find(L"[params]\r\n"));
    EXPECT_NE(std::wstring::npos, text.find(L"[domain_uu]\r\n"));
    EXPECT_EQ(std::wstring::npos, text.find(L"\n\n"));  // every line ends in CRLF
}

TEST(Settings, DefaultTextGivesChannelAndAddresses)
{
    AppSettings settings;
    ApplySettings(Ini(EmbeddedText()), 0, settings);
    EXPECT_EQ(L"web|gl|official|direct", settings.channelName);
    EXPECT_EQ(L"GL", settings.channelNumber);
    EXPECT_EQ(L"http://dl.brisko-central.example/newver_GL.xml", settings.versionInfoUrl);
    EXPECT_EQ(L"http://stat.brisko-central.example/cgi-bin-py/mini_install_statistic_info.cgi", settings.reportUrl);
    EXPECT_EQ(0, settings.silent);
    EXPECT_EQ(0, settings.showTray);

    ApplySettings(Ini(EmbeddedText()), 600, settings);
    EXPECT_EQ(L"http://dl.brisko-east.example/newver_GL.xml", settings.versionInfoUrl);
}

TEST(Settings, EmptySubDirAndChannelNumberGiveThePlainManifestName)
{
    AppSettings settings;
    ApplySettings(Ini(L"[params]\r\nSubDir=\r\nChannelNumber=\r\n[global]\r\n"
                           L"VERSION_INFO_URL=http://dl.example/%snewver%s.xml\r\n"),
                  0, settings);
    EXPECT_EQ(L"http://dl.example/newver.xml", settings.versionInfoUrl);
    ApplySettings(Ini(L"[params]\r\nSubDir=beta/\r\nChannelNumber=NX\r\n[global]\r\n"
                           L"VERSION_INFO_URL=http://dl.example/%snewver%s.xml\r\n"),
                  0, settings);
    EXPECT_EQ(L"http://dl.example/beta/newver_NX.xml", settings.versionInfoUrl);
}

TEST(Settings, FlagsOnlyTurnOnWithOne)
{
    AppSettings settings;
    ApplySettings(Ini(L"[params]\r\nSilent=2\r\nShowTray=3\r\n"), 0, settings);
    EXPECT_EQ(0, settings.silent);
    EXPECT_EQ(0, settings.showTray);
    ApplySettings(Ini(L"[params]\r\nSilent=1\r\nShowTray=1\r\n"), 0, settings);
    EXPECT_EQ(1, settings.silent);
    EXPECT_EQ(1, settings.showTray);
    ApplySettings(Ini(L"[params]\r\nSilent=0\r\n"), 0, settings);
    EXPECT_EQ(1, settings.silent);  // settings never turn a switch off
}

TEST(Settings, LoaderReadsTheAreaAndLeavesNoTemporaryFile)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    auto countTempFiles = [&]() {
        WIN32_FIND_DATAW data;
        int count = 0;
        HANDLE find = FindFirstFileW((std::wstring(temp) + L"url*.tmp").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) return 0;
        do ++count; while (FindNextFileW(find, &data));
        FindClose(find);
        return count;
    };
    int before = countTempFiles();
    AppSettings settings;
    ASSERT_TRUE(LoadEmbeddedSettings(settings));
    EXPECT_EQ(L"web|gl|official|direct", settings.channelName);
    EXPECT_NE(std::wstring::npos, settings.versionInfoUrl.find(L"/newver_GL.xml"));
    EXPECT_EQ(before, countTempFiles());
}

TEST(Settings, ExpandedReadOfAMissingFileIsEmpty)
{
    EXPECT_EQ(L"", ExpandedRead(L"DataReport", L"ReportURL", L"C:\\no\\such\\folder\\url.ini"));
}

TEST(Settings, ExpandedReadOfAFileResolvesItsPlaceholders)
{
    CTempIniFile file(L"[DataReport]\r\nReportURL=http://stat.%domain%/cgi-bin-py/x.cgi\r\n"
                      L"[domain]\r\ndefault=fallback\r\nfallback=stat-host.example\r\n");
    ASSERT_TRUE(file.Valid());
    EXPECT_EQ(L"http://stat.stat-host.example/cgi-bin-py/x.cgi",
              ExpandedRead(L"DataReport", L"ReportURL", file.File().Path()));
    EXPECT_EQ(L"", ExpandedRead(L"DataReport", L"Missing", file.File().Path()));
}

}  // namespace
