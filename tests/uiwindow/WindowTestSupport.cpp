#include "WindowTestSupport.h"

#include <set>

#include "base/AppSettings.h"
#include "report/Report.h"
#include "report/ReportLocations.h"
#include "report/ReportQueue.h"
#include "setup/SetupRequest.h"

namespace {

// Nothing listens on port 1: every upload fails at once and packages stay queued.
const wchar_t kReportAddress[] = L"http://127.0.0.1:1/cgi-bin-py/mini_install_statistic_info.cgi";

void StartReport() { ReportInit(0, CBRKParam(kReportAddress, L"4.0.0.1", L"c")); }

}  // namespace

bool CFakeFrameDisks::AvailableBytes(const std::wstring& root, uint64_t* bytes)
{
    auto found = available.find(root);
    if (found == available.end()) return false;
    *bytes = found->second;
    return true;
}

int RecordedItems::Counter(uint32_t id) const
{
    auto found = counters.find(id);
    return found == counters.end() ? 0 : found->second;
}

std::vector<int32_t> RecordedItems::Integers(uint32_t id) const
{
    auto found = integers.find(id);
    return found == integers.end() ? std::vector<int32_t>() : found->second;
}

WindowFixture::WindowFixture() : scoped_(env)
{
    env.version.dwMajorVersion = 10;
    env.version.wProductType = VER_NT_WORKSTATION;
    disks.available[L"C:"] = 10 * 1024 * kMiB;
    gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    factory.gateBeforeCreate = gate;
    factory.scripts[kXMLCookie].refuse = true;
    GetAppSettings().exitCode = 2;
    StartReport();
}

WindowFixture::~WindowFixture()
{
    Release();
    ReportShutdown();
    CloseHandle(gate);
    GetAppSettings().exitCode = 2;
    GetAppSettings().channelName.clear();
}

HWND WindowFixture::Create(bool silent, bool traySuppressed)
{
    DownloadControlSeams seams;
    seams.engines = &factory;
    seams.subfolder = &subfolder;
    seams.hardwareId = L"0123456789abcdef0123456789abcdef";
    frame = std::make_unique<CMainFrame>(seams, &disks);
    frame->silent = silent;
    frame->traySuppressed = traySuppressed;
    RECT rect = {0, 0, CW_USEDEFAULT, CW_USEDEFAULT};
    DWORD visible = silent ? 0 : WS_VISIBLE;
    window = frame->Create(nullptr, rect, WS_POPUP | visible | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0);
    return window;
}

void WindowFixture::Release()
{
    SetEvent(gate);
    frame.reset();
    window = nullptr;
    Pump(0);
}

void WindowFixture::Pump(DWORD ms)
{
    PumpUntil([] { return false; }, ms);
}

bool WindowFixture::PumpUntil(const std::function<bool()>& done, DWORD ms)
{
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) return true;
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed < 20 ? ms - elapsed : 20, QS_ALLINPUT);
    }
}

RecordedItems WindowFixture::Items()
{
    ReportShutdown();
    RecordedItems items;
    std::set<std::wstring> seen;
    for (const std::wstring& key : {ProcessingKeyPath(), TempKeyPath()}) {
        for (const std::wstring& name : QueueNames(key)) {
            if (!seen.insert(name).second || !FileExists(name)) continue;
            rp::Package package = DecodePackage(name);
            for (const auto& counter : package.counters) items.counters[counter.first] += counter.second;
            for (const rp::ListRecord& list : package.lists) {
                std::vector<int32_t>& values = items.integers[list.id];
                values.insert(values.end(), list.ints.begin(), list.ints.end());
            }
            // Each reading sees only what was recorded since the one before.
            DeleteFileW(name.c_str());
            DeleteQueueValue(key, name);
        }
    }
    StartReport();
    return items;
}

LRESULT WindowFixture::Send(UINT message, WPARAM wParam, LPARAM lParam)
{
    return SendMessageW(window, message, wParam, lParam);
}

LRESULT WindowFixture::SendResult(const std::wstring& code, const std::wstring& message)
{
    InstallerResultBlock block = MakeInstallerResultBlock(code, message);
    COPYDATASTRUCT copy = {kInstallerResultDataId, sizeof(block), &block};
    return Send(WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy));
}

int WindowFixture::WindowHeight() const
{
    RECT box = {};
    GetWindowRect(window, &box);
    return box.bottom - box.top;
}

std::vector<NotifyCall> WindowFixture::NotifyCallsWith(UINT flag) const
{
    std::vector<NotifyCall> calls;
    for (const NotifyCall& call : env.notifyCalls) {
        if (call.message == NIM_MODIFY && (call.data.uFlags & flag)) calls.push_back(call);
    }
    return calls;
}
