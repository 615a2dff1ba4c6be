#include "setup/SetupReport.h"

#include "base/AppSettings.h"
#include "report/Report.h"

void SendSetupReport()
{
    constexpr int kKind = 0;
    ReportSend(1);
    ReportSetText(setup_items::kMarker, L"A", kKind);
    ReportSetText(setup_items::kInstallId, GetAppSettings().installId, kKind);
}
