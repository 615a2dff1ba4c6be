#include "ui/setup/LanguageChange.h"

bool ChangeLanguage(CTextTable& table, int row, ILanguageTextTarget& target)
{
    if (!table.Select(row)) return false;
    target.SetControlText(ControlText::LicenceLink, table.Text(IDS_Licence));
    target.SetControlText(ControlText::PrivacyLink, table.Text(IDS_ViewPrivacyPolicy));
    target.SetControlText(ControlText::CustomInstallLink, table.Text(IDS_CustomInstall));
    target.SetControlText(ControlText::RetryButton, table.Text(IDS_ButtonRetry));
    target.SetControlText(ControlText::CloseButton, table.Text(IDS_ButtonClose));
    target.ReloadInstallButtonImages();
    target.SetControlText(ControlText::InstallButton, table.Text(IDS_ButtonInstall));
    target.RepaintWindow();
    return true;
}
