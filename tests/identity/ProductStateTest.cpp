// The installed product's version file, channel value and service check.
#include <gtest/gtest.h>

#include <fstream>

#include "app/InstallIdentity.h"
#include "app/ProductState.h"
#include "tests/identity/TestFolders.h"

TEST(VersionXml, ProgramVersionAndDate)
{
    struct Case {
        const char* name;
        const char* xml;
        const wchar_t* version;
        const wchar_t* date;
    } cases[] = {
        {"usual file",
         "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<VersionInfo>\n"
         "  <ProgramVersion Time=\"2023-05-17 10:22:31\">4.0.3.118</ProgramVersion>\n</VersionInfo>\n",
         L"4.0.3.118", L"2023-05-17"},
        {"names in other case", "<versioninfo><PROGRAMVERSION time=\"x\">4.1.0.2</PROGRAMVERSION></versioninfo>",
         L"4.1.0.2", L""},
        {"other elements first",
         "<VersionInfo><Build>77</Build><ProgramVersion>4.2.0.1</ProgramVersion></VersionInfo>", L"4.2.0.1", L""},
        {"no ProgramVersion", "<VersionInfo><Build>77</Build></VersionInfo>", L"", L""},
        {"wrong root", "<Other><ProgramVersion>1.0.0.0</ProgramVersion></Other>", L"", L""},
        {"malformed", "<VersionInfo><ProgramVersion>4.0", L"", L""},
        {"empty", "", L"", L""},
    };
    for (const Case& c : cases) {
        ProductVersionInfo info = ParseVersionXml(c.xml);
        EXPECT_EQ(c.version, info.version) << c.name;
        EXPECT_EQ(c.date, info.date) << c.name;
    }
}

TEST(VersionXml, ReadFromAFileOrEmptyWhenMissing)
{
    ScratchFolder folder;
    const std::wstring path = folder.File(L"version.xml");
    EXPECT_EQ(L"", ReadVersionXml(path).version);
    {
        std::ofstream file(path.c_str(), std::ios::binary);
        file << "\xEF\xBB\xBF<VersionInfo><ProgramVersion>4.0.0.9</ProgramVersion></VersionInfo>";
    }
    EXPECT_EQ(L"4.0.0.9", ReadVersionXml(path).version);
    EXPECT_EQ(L"", ReadVersionXml(folder.Path()).version);  // a folder is not a file
}

TEST(InstallChannel, ValueOrUnknownChannel)
{
    ScratchRegistryKey key;
    EXPECT_EQ(L"Unknown-Channel", ReadInstallChannelFrom(HKEY_CURRENT_USER, key.Path() + L"\\missing"));
    EXPECT_EQ(L"Unknown-Channel", ReadInstallChannelFrom(HKEY_CURRENT_USER, key.Path()));
    key.SetText(L"", L"InstallChannel", L"");
    EXPECT_EQ(L"Unknown-Channel", ReadInstallChannelFrom(HKEY_CURRENT_USER, key.Path()));
    key.SetText(L"", L"InstallChannel", L"web|gl|official|direct");
    EXPECT_EQ(L"web|gl|official|direct", ReadInstallChannelFrom(HKEY_CURRENT_USER, key.Path()));
    const std::wstring longest(255, L'c');
    key.SetText(L"", L"InstallChannel", longest);
    EXPECT_EQ(longest, ReadInstallChannelFrom(HKEY_CURRENT_USER, key.Path()));
    key.SetText(L"", L"InstallChannel", std::wstring(256, L'c'));
    EXPECT_EQ(L"Unknown-Channel", ReadInstallChannelFrom(HKEY_CURRENT_USER, key.Path()));
    DWORD number = 3;
    RegSetValueExW(key.Key(), L"InstallChannel", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
    EXPECT_EQ(L"Unknown-Channel", ReadInstallChannelFrom(HKEY_CURRENT_USER, key.Path()));
}

TEST(ProductService, ProcessListIsSearchedByNameInAnyCase)
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name = path;
    name = name.substr(name.find_last_of(L"\\/") + 1);
    for (wchar_t& c : name) c = towupper(c);
    EXPECT_TRUE(IsProcessRunning(name.c_str()));
    EXPECT_FALSE(IsProcessRunning(L"NoSuchProcess-7f3a.exe"));
    EXPECT_FALSE(IsProductServiceRunning());
}
