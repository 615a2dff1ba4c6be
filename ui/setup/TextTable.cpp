#include "ui/setup/TextTable.h"

#include <cwchar>

#include "ui/setup/UiTextFile.h"

namespace {

constexpr wchar_t kGlobalSection[] = L"Global Defination";
constexpr wchar_t kEnglishKey[] = L"1033";
constexpr wchar_t kEnglishName[] = L"English";
constexpr int kListChars = 512;

const TextDefinition kDefinitions[kTextIdCount] = {
    {L"IDS_PreDownloadTip", L"Downloading the installation package, please wait...", false},
    {L"IDS_InstallTip", L"Start to install, please wait a minute...", false},
    {L"IDS_StartToDownload", L"Start to download...", false},
    {L"IDS_DownloadProgress", L"Download progress %d%%", true},
    {L"IDS_InstallProgress", L"Install progress: %d", true},
    {L"IDS_IHaveRead", L"I've read and accepted the", false},
    {L"IDS_Licence", L"License Agreetment", false},
    {L"IDS_CustomInstall", L"Custom Install", false},
    {L"IDS_Folder", L"Folder", false},
    {L"IDS_DownloadFail", L"Download failed!", false},
    {L"IDS_ErrorNoSpace", L"There is no Space avaliable!", false},
    {L"IDS_Unused1", L"", false},
    {L"IDS_Unused2", L"", false},
    {L"IDS_Unused3", L"", false},
    {L"IDS_PlsCheckNetwork", L"", false},
    {L"IDS_ButtonRetry", L"", false},
    {L"IDS_ButtonClose", L"", false},
    {L"IDS_InstallFailed", L"", false},
    {L"IDS_IsNotAdmin", L"Please run as administrator.", false},
    {L"IDS_IsInvalidSystem", L"The current operating system is not supported.", false},
    {L"IDS_ButtonInstall", L"Install", false},
    {L"IDS_TrayToolTip_Background", L"Running in the background...", false},
    {L"IDS_ViewPrivacyPolicy", L"View privacy policy", false},
    {L"IDS_PreInstallStatement", L"By installing this product you agree to the privacy policy and license agreement",
     false},
};

const std::wstring kNoText;

// Comma-separated fields; empty fields vanish, as with wcstok.
std::vector<std::wstring> SplitList(const std::wstring& list)
{
    std::vector<std::wstring> fields;
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(L',', start);
        if (comma == std::wstring::npos) comma = list.size();
        if (comma > start) fields.push_back(list.substr(start, comma - start));
        start = comma + 1;
    }
    return fields;
}

std::wstring ReadProfileString(const std::wstring& path, const wchar_t* section, const wchar_t* key,
                               const wchar_t* fallback, DWORD chars)
{
    std::wstring buffer(chars, L'\0');
    DWORD length = GetPrivateProfileStringW(section, key, fallback, &buffer[0], chars, path.c_str());
    buffer.resize(length);
    return buffer;
}

}  // namespace

const TextDefinition& GetTextDefinition(TextId id)
{
    return kDefinitions[id];
}

bool IsSingleIntegerFormat(const std::wstring& text)
{
    int integers = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'%') continue;
        if (i + 1 == text.size()) return false;
        wchar_t next = text[++i];
        if (next == L'd') ++integers;
        else if (next != L'%') return false;
    }
    return integers == 1;
}

CTextTable::CTextTable()
{
    LoadFromFile(std::wstring());
}

void CTextTable::Load(HMODULE module, LANGID userLangId)
{
    CUiTextFile file(module);
    LoadFromFile(file.Path());
    ChooseStartLanguage(userLangId);
}

void CTextTable::LoadFromFile(const std::wstring& path)
{
    ReadLanguages(path);
    ReadTexts(path);
    current_ = 0;
    currentLangId_ = static_cast<LANGID>(languages_[0].langId);
}

void CTextTable::SetBuiltInLanguage()
{
    languages_.assign(1, LanguageEntry{kEnglishKey, 1033, kEnglishName});
}

void CTextTable::ReadLanguages(const std::wstring& path)
{
    if (path.empty()) {
        SetBuiltInLanguage();
        return;
    }
    int declared = static_cast<int>(GetPrivateProfileIntW(kGlobalSection, L"Number_of_languages", 1, path.c_str()));
    std::vector<std::wstring> keys =
        SplitList(ReadProfileString(path, kGlobalSection, L"Languages", kEnglishKey, kListChars));
    std::vector<std::wstring> names =
        SplitList(ReadProfileString(path, kGlobalSection, L"Descripts", kEnglishName, kListChars));

    // The declared count is only trusted as far as the lists really go.
    int count = declared;
    if (count > static_cast<int>(keys.size())) count = static_cast<int>(keys.size());
    if (count > kMaxLanguages) count = kMaxLanguages;
    if (count <= 0) {
        SetBuiltInLanguage();
        return;
    }
    languages_.clear();
    for (int i = 0; i < count; ++i) {
        LanguageEntry entry;
        entry.key = keys[i].substr(0, kMaxKeyChars);
        entry.langId = static_cast<DWORD>(wcstoul(entry.key.c_str(), nullptr, 10));
        entry.name = (i < static_cast<int>(names.size()) ? names[i] : entry.key).substr(0, kMaxNameChars);
        languages_.push_back(entry);
    }
}

void CTextTable::ReadTexts(const std::wstring& path)
{
    for (int id = 0; id < kTextIdCount; ++id) texts_[id].clear();
    for (const LanguageEntry& language : languages_) {
        for (int id = 0; id < kTextIdCount; ++id) {
            const TextDefinition& definition = kDefinitions[id];
            std::wstring text = path.empty() ? std::wstring(definition.builtIn)
                                             : ReadProfileString(path, definition.section, language.key.c_str(),
                                                                 definition.builtIn, kTextChars);
            // A translated format text in any other shape would make the
            // formatting call read arguments that were never passed.
            if (definition.formatsPercent && !IsSingleIntegerFormat(text)) text = definition.builtIn;
            texts_[id].push_back(text);
        }
    }
}

void CTextTable::ChooseStartLanguage(LANGID userLangId)
{
    int chosen = 0;
    for (int i = 0; i < LanguageCount(); ++i) {
        if (languages_[i].langId == userLangId) {
            chosen = i;
            break;
        }
    }
    Select(chosen);
}

bool CTextTable::Select(int index)
{
    if (index < 0 || index >= LanguageCount()) return false;
    current_ = index;
    currentLangId_ = static_cast<LANGID>(languages_[index].langId);
    return true;
}

std::vector<std::wstring> CTextTable::DisplayNames() const
{
    std::vector<std::wstring> names;
    for (const LanguageEntry& language : languages_) names.push_back(language.name);
    return names;
}

const std::wstring& CTextTable::CurrentName() const
{
    return languages_[current_].name;
}

const std::wstring& CTextTable::Text(TextId id, int languageIndex) const
{
    if (id < 0 || id >= kTextIdCount || languageIndex < 0 || languageIndex >= LanguageCount()) return kNoText;
    return texts_[id][languageIndex];
}

std::wstring CTextTable::Format(TextId id, int value) const
{
    const std::wstring& format = Text(id);
    if (!IsSingleIntegerFormat(format)) return format;
    wchar_t buffer[kTextChars] = {};
    // Cut rather than overflow: a 255-character text with a long number does not fit.
    _snwprintf(buffer, kTextChars - 1, format.c_str(), value);
    buffer[kTextChars - 1] = L'\0';
    return buffer;
}
