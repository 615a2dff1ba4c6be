#include "report/ReportManager.h"

#include "report/ReportLocations.h"
#include "report/ReportQueue.h"
#include "report/Upload.h"

namespace {
class CLockGuard {
public:
    explicit CLockGuard(CRITICAL_SECTION& lock) : lock_(lock) { EnterCriticalSection(&lock_); }
    ~CLockGuard() { LeaveCriticalSection(&lock_); }
    CLockGuard(const CLockGuard&) = delete;
    CLockGuard& operator=(const CLockGuard&) = delete;

private:
    CRITICAL_SECTION& lock_;
};
}  // namespace

Filebase* CreateReportObject(int kind)
{
    switch (kind) {
    case 0:
    case 2:
    case 4: return new CBRKFileImpl();
    case 1: return new Filebase();
    default: return nullptr;
    }
}

CReportManager& CReportManager::Instance()
{
    // Deliberately leaked: reports may still be used by exit-time clean-up.
    static CReportManager* manager = new CReportManager();
    return *manager;
}

CReportManager::CReportManager() : worker_(this)
{
    InitializeCriticalSectionAndSpinCount(&lock_, 1000);
    worker_.Start(false);
}

CReportManager::~CReportManager() { DeleteCriticalSection(&lock_); }

void CReportManager::CreateReport(int kind, const CBRKParam& param)
{
    CLockGuard guard(lock_);
    if (reports_.count(kind)) return;
    Filebase* report = CreateReportObject(kind);
    if (!report) return;
    report->ApplyParam(param);
    report->Recover();
    reports_[kind] = report;
}

bool CReportManager::HasReport(int kind)
{
    CLockGuard guard(lock_);
    return reports_.count(kind) != 0;
}

// Writes take the lock only for the look-up and the post, which never blocks,
// so a shutdown on another thread cannot free the report under them.
void CReportManager::SetInt(int kind, uint32_t id, int32_t value)
{
    CLockGuard guard(lock_);
    auto found = reports_.find(kind);
    if (found != reports_.end() && dynamic_cast<CBRKFileImpl*>(found->second)) found->second->PostInt(id, value);
}

void CReportManager::SetText(int kind, uint32_t id, const wchar_t* text)
{
    CLockGuard guard(lock_);
    auto found = reports_.find(kind);
    if (found != reports_.end() && dynamic_cast<CBRKFileImpl*>(found->second)) found->second->PostText(id, text);
}

void CReportManager::Send(int mode)
{
    {
        CLockGuard guard(lock_);
        for (auto& entry : reports_) entry.second->Close();
    }
    if (CountQueueValues(ProcessingKeyPath()) == 0) return;
    // Mode 1 callers include the window thread: when the manager's worker
    // cannot take the pass, the queue simply waits for the next send.
    if (mode == 1) {
        worker_.Post(&CReportManager::RunUploadPass, 0, 0);
        return;
    }
    UploadPass();
}

void CReportManager::Shutdown()
{
    CLockGuard guard(lock_);
    for (auto& entry : reports_) {
        entry.second->Close();
        delete entry.second;
    }
    reports_.clear();
}

void CReportManager::RunUploadPass(WPARAM, LPARAM) { UploadPass(); }
