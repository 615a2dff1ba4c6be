#pragma once
// What a language change does to the setup window: the texts held by its
// controls follow the new language; everything else is looked up when drawn.
#include <string>

#include "ui/setup/TextTable.h"

// The controls that keep their own copy of a text.
enum class ControlText { LicenceLink, PrivacyLink, CustomInstallLink, RetryButton, CloseButton, InstallButton };

class ILanguageTextTarget {
public:
    virtual void SetControlText(ControlText control, const std::wstring& text) = 0;
    virtual void ReloadInstallButtonImages() = 0;
    virtual void RepaintWindow() = 0;

protected:
    ~ILanguageTextTarget() = default;
};

// Makes `row` the current language of `table` and refreshes the target's
// control texts, then repaints it. False, with nothing changed, for a row
// outside the language list.
bool ChangeLanguage(CTextTable& table, int row, ILanguageTextTarget& target);
