// Process entry of MiniSetup.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "app/Run.h"
#include "report/Report.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int showCommand)
{
    CoInitialize(nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    int exitCode = RunMiniSetup(showCommand);
    // The final send is synchronous: whatever way the run ended, its reports leave now.
    ReportSend(0);
    CoUninitialize();
    return exitCode;
}
