#pragma once
// The localised texts of the setup window: every text id in every language
// the embedded text resource offers, and the language currently shown.
#include <windows.h>

#include <string>
#include <vector>

// The text ids, in the fixed order of the table. The section of each id in the
// text resource carries its name; three ids are unused and have no section.
enum TextId : int {
    IDS_PreDownloadTip,
    IDS_InstallTip,
    IDS_StartToDownload,
    IDS_DownloadProgress,
    IDS_InstallProgress,
    IDS_IHaveRead,
    IDS_Licence,
    IDS_CustomInstall,
    IDS_Folder,
    IDS_DownloadFail,
    IDS_ErrorNoSpace,
    IDS_Unused1,
    IDS_Unused2,
    IDS_Unused3,
    IDS_PlsCheckNetwork,
    IDS_ButtonRetry,
    IDS_ButtonClose,
    IDS_InstallFailed,
    IDS_IsNotAdmin,
    IDS_IsInvalidSystem,
    IDS_ButtonInstall,
    IDS_TrayToolTip_Background,
    IDS_ViewPrivacyPolicy,
    IDS_PreInstallStatement,
    kTextIdCount
};

struct TextDefinition {
    const wchar_t* section;      // section name in the text resource
    const wchar_t* builtIn;      // used when the section or the language's key is missing
    bool formatsPercent;         // formatted with one integer ("%d")
};

const TextDefinition& GetTextDefinition(TextId id);

// True for a format text with exactly one "%d" and no other conversion
// ("%%" is a plain percent sign): the only shape that formats safely.
bool IsSingleIntegerFormat(const std::wstring& text);

struct LanguageEntry {
    std::wstring key;            // the LANGID in decimal, as the sections use it (at most 7 characters)
    DWORD langId = 0;            // the key read as a number
    std::wstring name;           // the language's own display name (at most 30 characters)
};

class CTextTable {
public:
    static constexpr int kMaxLanguages = 32;
    static constexpr int kMaxKeyChars = 7;
    static constexpr int kMaxNameChars = 30;
    static constexpr int kTextChars = 256;   // values are read into buffers of this size

    // English with the built-in texts, until something is loaded.
    CTextTable();

    // Reads the text resource of `module` through a temporary file and picks
    // the starting language for `userLangId` (GetUserDefaultLangID()).
    void Load(HMODULE module, LANGID userLangId);
    // Reads the tables from a UTF-16 INI file; an empty path gives the built-in texts.
    void LoadFromFile(const std::wstring& path);
    // The first language whose LANGID equals `userLangId`, else the first one.
    void ChooseStartLanguage(LANGID userLangId);
    // Makes `index` the current language; false (and no change) when out of range.
    bool Select(int index);

    int LanguageCount() const { return static_cast<int>(languages_.size()); }
    const std::vector<LanguageEntry>& Languages() const { return languages_; }
    std::vector<std::wstring> DisplayNames() const;
    int CurrentIndex() const { return current_; }
    LANGID CurrentLangId() const { return currentLangId_; }
    const std::wstring& CurrentName() const;

    // The text in the current language, or in `languageIndex` (-1 gives no text).
    const std::wstring& Text(TextId id) const { return Text(id, current_); }
    const std::wstring& Text(TextId id, int languageIndex) const;
    // A percent text formatted with `value`, cut to 255 characters.
    std::wstring Format(TextId id, int value) const;

private:
    void SetBuiltInLanguage();
    void ReadLanguages(const std::wstring& path);
    void ReadTexts(const std::wstring& path);

    std::vector<LanguageEntry> languages_;
    std::vector<std::wstring> texts_[kTextIdCount];   // per id, one string per language
    int current_ = 0;
    LANGID currentLangId_ = 0;
};
