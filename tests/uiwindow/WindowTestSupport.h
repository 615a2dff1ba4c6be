#pragma once
// A real (visible, off the user's way) setup window for tests: fake drives,
// a fake shell, a download engine that waits at a gate, and the report items
// the run recorded, read back from the packages the report store queued.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "FakeEngine.h"
#include "FakeEnvironment.h"
#include "ReportTestSupport.h"
#include "setup/SetupRequest.h"
#include "ui/setup/MainFrame.h"
#include "ui/setup/MainFrameDisks.h"

class CFakeFrameDisks : public IFrameDisks {
public:
    std::wstring programFiles = L"C:\\Program Files";
    std::map<std::wstring, uint64_t> available;  // by root ("C:"); missing: unreadable
    BestDrive best;
    std::vector<std::wstring> created;

    std::wstring ProgramFilesFolder() override { return programFiles; }
    bool AvailableBytes(const std::wstring& root, uint64_t* bytes) override;
    BestDrive BestFixedDrive() override { return best; }
    bool IsDirectory(const std::wstring&) override { return false; }
    void CreateFolder(const std::wstring& folder) override { created.push_back(folder); }
};

constexpr uint64_t kMiB = 1024 * 1024;

// Every counter and integer list item of the packages queued so far.
struct RecordedItems {
    std::map<uint32_t, int> counters;
    std::map<uint32_t, std::vector<int32_t>> integers;
    int Counter(uint32_t id) const;
    std::vector<int32_t> Integers(uint32_t id) const;
};

class WindowFixture {
public:
    WindowFixture();
    ~WindowFixture();

    // Makes the window; the engine is held at its gate until Release().
    HWND Create(bool silent = false, bool traySuppressed = false);
    // Lets the download worker go on and destroys the window object.
    void Release();

    // Dispatches this thread's messages for `ms` milliseconds, or until `done` holds.
    void Pump(DWORD ms);
    bool PumpUntil(const std::function<bool()>& done, DWORD ms = 10000);

    // Closes the report and reads what it recorded (the report is started again).
    RecordedItems Items();

    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT SendResult(const std::wstring& code, const std::wstring& message);

    int WindowHeight() const;
    // The tray calls with this NIF_ flag, in order.
    std::vector<NotifyCall> NotifyCallsWith(UINT flag) const;

    TempReportPlace place;
    CFakeEnvironment env;
    CFakeFrameDisks disks;
    CFakeEngineFactory factory;
    CVersionSubfolder subfolder;
    HANDLE gate = nullptr;
    std::unique_ptr<CMainFrame> frame;
    HWND window = nullptr;

private:
    CScopedEnvironment scoped_;
};
