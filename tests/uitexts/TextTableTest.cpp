// The text table: the shipped resource, the starting language, the fallbacks
// for missing or malformed texts, and the temporary file it is read through.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "tests/uitexts/TestSupport.h"
#include "ui/setup/TextTable.h"
#include "ui/setup/UiTextFile.h"

namespace {

HMODULE ThisProgram() { return GetModuleHandleW(nullptr); }
// A module that certainly carries no text resource.
HMODULE ModuleWithoutTexts() { return GetModuleHandleW(L"kernel32.dll"); }

CTextTable ShippedTexts(LANGID userLangId)
{
    CTextTable table;
    table.Load(ThisProgram(), userLangId);
    return table;
}

// The ids whose sections the resource carries (all but the unused ones and
// the two texts that stay English everywhere).
std::vector<TextId> TranslatedIds()
{
    std::vector<TextId> ids;
    for (int id = 0; id < kTextIdCount; ++id) {
        TextId text = static_cast<TextId>(id);
        if (text == IDS_Unused1 || text == IDS_Unused2 || text == IDS_Unused3 || text == IDS_IsNotAdmin ||
            text == IDS_IsInvalidSystem)
            continue;
        ids.push_back(text);
    }
    return ids;
}

std::wstring MiniIni(const std::wstring& globalLines, const std::wstring& textLines)
{
    return L"[Global Defination]\n" + globalLines + L"\n" + textLines;
}

}  // namespace

TEST(ShippedTexts, ListsSixLanguagesWithTheirOwnNames)
{
    CTextTable table = ShippedTexts(1033);
    struct Expected {
        const wchar_t* key;
        DWORD langId;
        const wchar_t* name;
    };
    const Expected expected[] = {
        {L"1033", 1033, L"English"},   {L"1054", 1054, L"ไทย"},     {L"1046", 1046, L"Português"},
        {L"1057", 1057, L"Indonesia"}, {L"3082", 3082, L"Español"}, {L"1028", 1028, L"繁體中文"},
    };
    ASSERT_EQ(table.LanguageCount(), 6);
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(table.Languages()[i].key, expected[i].key);
        EXPECT_EQ(table.Languages()[i].langId, expected[i].langId);
        EXPECT_EQ(table.Languages()[i].name, expected[i].name);
    }
}

TEST(ShippedTexts, StartingLanguageFollowsTheUserLanguageExactly)
{
    struct Case {
        LANGID user;
        int index;
        LANGID langId;
        const wchar_t* install;
    };
    const Case cases[] = {
        {1054, 1, 1054, L"ติดตั้ง"},   // Thai
        {1033, 0, 1033, L"Install"},
        {1046, 2, 1046, L"Instalar"},  // Portuguese (Brazil)
        {1057, 3, 1057, L"Instal"},
        {3082, 4, 3082, L"Instalar"},  // Spanish, modern sort
        {1028, 5, 1028, L"安裝"},
        {2058, 0, 1033, L"Install"},   // Spanish of Mexico: not listed
        {2070, 0, 1033, L"Install"},   // Portuguese of Portugal: not listed
        {2052, 0, 1033, L"Install"},   // Simplified Chinese: not listed
        {1034, 0, 1033, L"Install"},   // Spanish, traditional sort: not listed
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.user);
        CTextTable table = ShippedTexts(c.user);
        EXPECT_EQ(table.CurrentIndex(), c.index);
        EXPECT_EQ(table.CurrentLangId(), c.langId);
        EXPECT_EQ(table.Text(IDS_ButtonInstall), c.install);
    }
}

TEST(ShippedTexts, EnglishValuesAreTheResourceOnesNotTheBuiltInOnes)
{
    CTextTable table = ShippedTexts(1033);
    const std::pair<TextId, const wchar_t*> expected[] = {
        {IDS_InstallTip, L"Start to install, please wait..."},
        {IDS_InstallProgress, L"Install progress: %d%%"},
        {IDS_IHaveRead, L"Join customer experience improvement program"},
        {IDS_Licence, L"View license agreement"},
        {IDS_CustomInstall, L"Custom installation"},
        {IDS_Folder, L"Destination Folder:"},
        {IDS_PlsCheckNetwork, L"Please Check the network."},
        {IDS_ButtonRetry, L"Retry"},
        {IDS_ButtonClose, L"Close"},
        {IDS_InstallFailed, L"Install failed!"},
        {IDS_ErrorNoSpace, L"There is no Space avaliable!"},
        {IDS_PreInstallStatement,
         L"By installing this product you agree to the privacy policy and license agreement"},
    };
    for (const auto& [id, text] : expected) EXPECT_EQ(table.Text(id), text) << GetTextDefinition(id).section;
}

TEST(ShippedTexts, NotElevatedAndUnsupportedSystemStayEnglishInEveryLanguage)
{
    CTextTable table = ShippedTexts(1033);
    for (int language = 0; language < table.LanguageCount(); ++language) {
        SCOPED_TRACE(language);
        EXPECT_EQ(table.Text(IDS_IsNotAdmin, language), L"Please run as administrator.");
        EXPECT_EQ(table.Text(IDS_IsInvalidSystem, language), L"The current operating system is not supported.");
    }
}

TEST(ShippedTexts, EveryOtherLanguageTranslatesEveryText)
{
    CTextTable table = ShippedTexts(1033);
    for (int language = 1; language < table.LanguageCount(); ++language) {
        for (TextId id : TranslatedIds()) {
            SCOPED_TRACE(std::to_string(language) + " " + std::to_string(id));
            const std::wstring& text = table.Text(id, language);
            EXPECT_FALSE(text.empty());
            EXPECT_NE(text, table.Text(id, 0)) << "left in English";
        }
    }
}

TEST(ShippedTexts, InstallProgressEndsInPercentInEveryLanguageButNotFromTheBuiltInDefault)
{
    CTextTable table = ShippedTexts(1033);
    for (int language = 0; language < table.LanguageCount(); ++language) {
        SCOPED_TRACE(language);
        ASSERT_TRUE(table.Select(language));
        std::wstring install = table.Format(IDS_InstallProgress, 42);
        std::wstring download = table.Format(IDS_DownloadProgress, 42);
        EXPECT_EQ(install.substr(install.size() - 3), L"42%") << "install";
        EXPECT_EQ(download.substr(download.size() - 3), L"42%") << "download";
    }
    EXPECT_EQ(table.Format(IDS_InstallProgress, 42), L"安裝進度：42%");

    CTextTable builtIn;
    builtIn.Load(ModuleWithoutTexts(), 1033);
    EXPECT_EQ(builtIn.Format(IDS_InstallProgress, 42), L"Install progress: 42");
    EXPECT_EQ(builtIn.Format(IDS_DownloadProgress, 42), L"Download progress 42%");
}

TEST(ShippedTexts, ResourceHasOnlyKnownSections)
{
    CUiTextFile file(ThisProgram());
    ASSERT_FALSE(file.Path().empty());
    std::set<std::wstring> known = {L"Global Defination"};
    for (int id = 0; id < kTextIdCount; ++id) known.insert(GetTextDefinition(static_cast<TextId>(id)).section);
    std::vector<wchar_t> names(32768);
    DWORD length = GetPrivateProfileSectionNamesW(names.data(), static_cast<DWORD>(names.size()),
                                                  file.Path().c_str());
    int sections = 0;
    for (const wchar_t* name = names.data(); name < names.data() + length && *name; name += wcslen(name) + 1) {
        EXPECT_TRUE(known.count(name)) << "a section no text id reads: " << std::string(name, name + wcslen(name));
        ++sections;
    }
    EXPECT_EQ(sections, 1 + static_cast<int>(TranslatedIds().size()));
}

TEST(MissingResource, GivesEnglishWithTheBuiltInTexts)
{
    for (LANGID user : {LANGID(1033), LANGID(1054)}) {
        CTextTable table;
        table.Load(ModuleWithoutTexts(), user);
        ASSERT_EQ(table.LanguageCount(), 1);
        EXPECT_EQ(table.Languages()[0].name, L"English");
        EXPECT_EQ(table.CurrentLangId(), 1033);
        for (int id = 0; id < kTextIdCount; ++id) {
            TextId text = static_cast<TextId>(id);
            EXPECT_EQ(table.Text(text), GetTextDefinition(text).builtIn) << GetTextDefinition(text).section;
        }
        EXPECT_EQ(table.Text(IDS_ButtonRetry), L"");
        EXPECT_EQ(table.Text(IDS_Licence), L"License Agreetment");
    }
}

TEST(FormatTexts, ATranslationWithoutExactlyOnePercentDFallsBackToTheBuiltInDefault)
{
    struct Case {
        const wchar_t* value;
        bool kept;
    };
    const Case cases[] = {
        {L"ok %d%%", true},
        {L"%d", true},
        {L"100%% done: %d", true},
        {L"no number", false},
        {L"%d of %d", false},
        {L"%s%%", false},       // would read a string pointer that was never passed
        {L"%d%% %n", false},
        {L"%x%%", false},
        {L"%5d%%", false},
        {L"%d %", false},       // stray percent at the end
        {L"50% %d", false},     // "% %" is no conversion the text means
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.value, c.value + wcslen(c.value)));
        ScratchIni ini(MiniIni(L"Number_of_languages=2\nLanguages=1033,1054\nDescripts=English,Thai",
                               std::wstring(L"[IDS_DownloadProgress]\n1033=Download %d%%\n1054=") + c.value +
                                   L"\n[IDS_InstallProgress]\n1054=" + c.value + L"\n"));
        CTextTable table;
        table.LoadFromFile(ini.Path());
        EXPECT_EQ(table.Text(IDS_DownloadProgress, 0), L"Download %d%%");
        EXPECT_EQ(table.Text(IDS_DownloadProgress, 1), c.kept ? c.value : L"Download progress %d%%");
        EXPECT_EQ(table.Text(IDS_InstallProgress, 1), c.kept ? c.value : L"Install progress: %d");
        table.Select(1);
        EXPECT_FALSE(table.Format(IDS_DownloadProgress, 7).empty());
    }
}

TEST(FormatTexts, FormattingALongTextCutsInsteadOfOverflowing)
{
    std::wstring longText(253, L'x');
    longText += L"%d";
    ScratchIni ini(MiniIni(L"Number_of_languages=1\nLanguages=1033\nDescripts=English",
                           L"[IDS_InstallProgress]\n1033=" + longText + L"\n"));
    CTextTable table;
    table.LoadFromFile(ini.Path());
    ASSERT_EQ(table.Text(IDS_InstallProgress), longText);
    std::wstring formatted = table.Format(IDS_InstallProgress, -2147483647);
    EXPECT_EQ(formatted.size(), 255u);
    EXPECT_EQ(formatted.substr(0, 253), std::wstring(253, L'x'));
}

TEST(LanguageList, CountIsClampedToTheListAndTo32)
{
    std::wstring forty, fortyNames;
    for (int i = 0; i < 40; ++i) {
        forty += (i ? L"," : L"") + std::to_wstring(2000 + i);
        fortyNames += (i ? L"," : L"") + std::wstring(L"L") + std::to_wstring(i);
    }
    struct Case {
        std::wstring global;
        int count;
        DWORD firstLangId;
        DWORD lastLangId;
    };
    const Case cases[] = {
        {L"Number_of_languages=3\nLanguages=1033,1054,1046\nDescripts=E,T,P", 3, 1033, 1046},
        {L"Number_of_languages=9\nLanguages=1033,1054,1046\nDescripts=E,T,P", 3, 1033, 1046},
        {L"Number_of_languages=2\nLanguages=1033,1054,1046\nDescripts=E,T,P", 2, 1033, 1054},
        {L"Number_of_languages=0\nLanguages=1054,1046\nDescripts=T,P", 1, 1033, 1033},
        {L"Number_of_languages=-4\nLanguages=1054,1046\nDescripts=T,P", 1, 1033, 1033},
        {L"Languages=1054,1046\nDescripts=T,P", 1, 1054, 1054},  // the count defaults to 1
        {L"Number_of_languages=3\nLanguages=,1054,,1046,\nDescripts=T,,P", 2, 1054, 1046},
        {L"Number_of_languages=3\nLanguages=\nDescripts=", 1, 1033, 1033},
        {L"Number_of_languages=40\nLanguages=" + forty + L"\nDescripts=" + fortyNames, 32, 2000, 2031},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.global.begin(), c.global.begin() + 30));
        ScratchIni ini(MiniIni(c.global, L"[IDS_ButtonClose]\n1033=Close\n1054=Thai close\n"));
        CTextTable table;
        table.LoadFromFile(ini.Path());
        ASSERT_EQ(table.LanguageCount(), c.count);
        EXPECT_EQ(table.Languages().front().langId, c.firstLangId);
        EXPECT_EQ(table.Languages().back().langId, c.lastLangId);
        EXPECT_EQ(table.CurrentIndex(), 0);
        for (int i = 0; i < table.LanguageCount(); ++i) {
            std::wstring expected = table.Languages()[i].langId == 1033   ? L"Close"
                                    : table.Languages()[i].langId == 1054 ? L"Thai close"
                                                                           : L"";
            EXPECT_EQ(table.Text(IDS_ButtonClose, i), expected);
        }
    }
}

TEST(LanguageList, OverlongKeysNamesAndValuesAreCutToTheirBuffers)
{
    std::wstring longValue(300, L'v');
    ScratchIni ini(MiniIni(L"Number_of_languages=2\nLanguages=1033,12345678\nDescripts=English," +
                               std::wstring(40, L'n'),
                           L"[IDS_ButtonClose]\n1033=" + longValue + L"\n"));
    CTextTable table;
    table.LoadFromFile(ini.Path());
    ASSERT_EQ(table.LanguageCount(), 2);
    EXPECT_EQ(table.Languages()[1].key, L"1234567");
    EXPECT_EQ(table.Languages()[1].name, std::wstring(30, L'n'));
    EXPECT_EQ(table.Text(IDS_ButtonClose, 0), std::wstring(255, L'v'));
}

TEST(LanguageList, MissingDisplayNamesShowTheKey)
{
    ScratchIni ini(MiniIni(L"Number_of_languages=2\nLanguages=1033,1054\nDescripts=English", L""));
    CTextTable table;
    table.LoadFromFile(ini.Path());
    ASSERT_EQ(table.LanguageCount(), 2);
    EXPECT_EQ(table.Languages()[1].name, L"1054");
}

TEST(Selection, OnlyListedRowsChangeTheLanguage)
{
    CTextTable table = ShippedTexts(1054);
    for (int bad : {-1, 6, 32}) {
        EXPECT_FALSE(table.Select(bad));
        EXPECT_EQ(table.CurrentIndex(), 1);
        EXPECT_EQ(table.CurrentLangId(), 1054);
    }
    EXPECT_TRUE(table.Select(5));
    EXPECT_EQ(table.CurrentLangId(), 1028);
    EXPECT_EQ(table.CurrentName(), L"繁體中文");
    EXPECT_EQ(table.Text(IDS_ButtonInstall, -1), L"");
    EXPECT_EQ(table.Text(IDS_ButtonInstall, 6), L"");
}

TEST(UiTextFile, HoldsTheResourceBytesUnchangedUntilItsOwnerGoes)
{
    DWORD size = 0;
    const void* resource = FindUiTextResource(ThisProgram(), &size);
    ASSERT_NE(resource, nullptr);
    ASSERT_GT(size, 2u);
    EXPECT_EQ(0, memcmp(resource, "\xFF\xFE", 2)) << "UTF-16LE with a byte-order mark";

    std::wstring path;
    {
        CUiTextFile file(ThisProgram());
        path = file.Path();
        ASSERT_FALSE(path.empty());
        EXPECT_EQ(path.substr(path.find_last_of(L'\\') + 1, 3), L"brk");
        HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(handle, INVALID_HANDLE_VALUE);
        std::string bytes(size + 16, '\0');
        DWORD read = 0;
        ReadFile(handle, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
        CloseHandle(handle);
        ASSERT_EQ(read, size);
        EXPECT_EQ(0, memcmp(bytes.data(), resource, size));
    }
    EXPECT_FALSE(FileExists(path)) << "the temporary file outlived its owner";
}

TEST(UiTextFile, NoResourceGivesNoFile)
{
    CUiTextFile file(ModuleWithoutTexts());
    EXPECT_TRUE(file.Path().empty());
}
