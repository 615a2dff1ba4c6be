#include "app/Run.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <ctime>
#include <memory>

#include "base/AppSettings.h"
#include "app/CommandLine.h"
#include "base/DebugLog.h"
#include "app/InstallIdentity.h"
#include "app/LaunchOrigin.h"
#include "app/MessageLoop.h"
#include "app/Settings.h"
#include "app/StartOptions.h"
#include "report/Report.h"
#include "base/FileVersion.h"
#include "base/RegKey.h"
#include "ui/setup/MainFrame.h"

namespace {

constexpr wchar_t kMutexName[] = L"Global\\Nuvex_IS_Mini_Mutex";
constexpr wchar_t kSetupKey[] = L"SOFTWARE\\Nuvex Security\\Brisko\\Setup";
constexpr int kReportKind = 0;

void RunScheduledTaskDeletion(const std::wstring& parameters)
{
    wchar_t system[MAX_PATH] = {};
    UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    std::wstring schtasks = std::wstring(system) + L"\\schtasks.exe";
    if (GetFileAttributesW(schtasks.c_str()) == INVALID_FILE_ATTRIBUTES) {
        DebugLog(L"schtasks.exe not found; task not deleted");
        return;
    }
    // Run twice: the first delete may race the task's own start.
    ShellExecuteW(nullptr, L"open", schtasks.c_str(), parameters.c_str(), nullptr, SW_HIDE);
    Sleep(5000);
    ShellExecuteW(nullptr, L"open", schtasks.c_str(), parameters.c_str(), nullptr, SW_HIDE);
}

void RaiseFirstInstanceWindow()
{
    for (HWND window = FindWindowExW(nullptr, nullptr, nullptr, nullptr); window;
         window = FindWindowExW(nullptr, window, nullptr, nullptr)) {
        if (GetPropW(window, kMainFramePropName) == reinterpret_cast<HANDLE>(1)) {
            ShowWindow(window, SW_SHOWNORMAL);
            SetForegroundWindow(window);
            return;
        }
    }
}

// The setup key is opened (never created) so the last run's result can be cleared.
class SetupKey {
public:
    void DeleteSetupResult()
    {
        if (key_.Get()) RegDeleteValueW(key_.Get(), L"SetupResult");
    }

private:
    CRegKey key_{HKEY_CURRENT_USER, kSetupKey, KEY_READ | KEY_WRITE};
};

void ReportAtExit()
{
    ReportSend(0);
    ReportShutdown();
}

void InitReports(const AppSettings& settings)
{
    static bool initialised = false;
    if (initialised) return;
    initialised = true;
    // Empty texts fall back to what the installed product records.
    const std::wstring url = settings.reportUrl.empty() ? ReadFallbackReportUrl() : settings.reportUrl;
    const std::wstring version = settings.exeVersion.empty() ? ReadInstalledProductVersion() : settings.exeVersion;
    const std::wstring channel = settings.channelName.empty() ? ReadInstallChannel() : settings.channelName;
    ReportInit(kReportKind, CBRKParam(url, version, channel));
    atexit(ReportAtExit);
}

// The start items go to the run's report.
class ReportStartItems : public IStartItemSink {
public:
    void SetInt(uint32_t id, int value) override { ReportSetInt(id, value, kReportKind); }
    void SetText(uint32_t id, const std::wstring& text) override { ReportSetText(id, text.c_str(), kReportKind); }
    void Mark(uint32_t id) override { ReportMark(id, kReportKind); }
};

int RunWindow(CMainFrame& frame, CMessageLoop& loop, int showCommand, HANDLE mutex)
{
    RECT rect = {0, 0, CW_USEDEFAULT, CW_USEDEFAULT};
    // A silent run's window is never shown, not even while it is created.
    const DWORD visible = frame.silent ? 0 : WS_VISIBLE;
    HWND window = frame.Create(nullptr, rect, WS_POPUP | visible | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0);
    if (!window) {
        // The mutex stays held until the process ends, so no second run starts meanwhile.
        DebugLog(L"main window creation failed: %lu", GetLastError());
        return GetAppSettings().exitCode;
    }
    ShowWindow(window, showCommand);
    loop.Run();
    g_module.RemoveMessageLoop();
    if (mutex) CloseHandle(mutex);
    return GetAppSettings().exitCode;
}

}  // namespace

int RunMiniSetup(int showCommand)
{
    AppSettings& settings = GetAppSettings();
    auto loop = std::make_unique<CMessageLoop>();
    g_module.AddMessageLoop(loop.get());
    auto frame = std::make_unique<CMainFrame>();
    g_mainFrame = frame.get();
    struct FrameRelease {
        std::unique_ptr<CMainFrame>& frame;
        ~FrameRelease()
        {
            g_mainFrame = nullptr;
            frame.reset();
            g_module.RemoveMessageLoop();
        }
    } release{frame};

    CommandLineSwitches switches =
        ParseSwitches(ProcessArguments(), int64_t(_time64(nullptr)), RunScheduledTaskDeletion);
    if (switches.silent) settings.silent = 1;
    if (switches.showTray) settings.showTray = 1;
    settings.passThroughArgs = switches.passThroughArgs;
    if (switches.installTimeInFuture) return settings.exitCode;

    HANDLE mutex = CreateMutexW(nullptr, TRUE, kMutexName);
    if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
        if (!settings.silent) RaiseFirstInstanceWindow();
        CloseHandle(mutex);
        return settings.exitCode;
    }

    SetupKey setupKey;
    setupKey.DeleteSetupResult();
    settings.exeVersion = GetFileProductVersion(OwnExecutablePath());
    if (!LoadEmbeddedSettings(settings)) return settings.exitCode;
    ApplyStartOptions(switches, settings);
    DebugLog(L"manifest %s, reports %s", settings.versionInfoUrl.c_str(), settings.reportUrl.c_str());

    InitReports(settings);
    ReportStartItems report;
    BuildInstallIdentity(nullptr, settings.installId, _countof(settings.installId), 0);
    RecordStartItems(settings, settings.installId, BuildLaunchOriginRecord(settings.channelName), report);

    if (EndSilentStartOfInstalledProduct(settings, ProcessArguments(), IsProductServiceRunning, report))
        return settings.exitCode;

    frame->downloadControl.SetClientInfo(settings.channelName, settings.exeVersion);
    if (settings.silent) {
        frame->silent = true;
        if (!settings.showTray) frame->traySuppressed = true;
        showCommand = SW_HIDE;
    }
    return RunWindow(*frame, *loop, showCommand, mutex);
}
