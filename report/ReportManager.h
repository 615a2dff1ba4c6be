#pragma once
// The process-wide owner of the reports of every kind and of the thread that
// runs background upload passes.
#include <windows.h>

#include <map>

#include "report/BRKParam.h"
#include "report/Filebase.h"
#include "report/TaskMgr.h"

class CReportManager {
public:
    // Created on first use, never destroyed.
    static CReportManager& Instance();

    // Creates the report of a kind once; later calls change nothing.
    void CreateReport(int kind, const CBRKParam& param);
    void SetInt(int kind, uint32_t id, int32_t value);
    void SetText(int kind, uint32_t id, const wchar_t* text);
    // Closes every report, then uploads the queue: mode 0 on this thread,
    // mode 1 on the manager's thread.
    void Send(int mode);
    // Closes and destroys every report; no upload.
    void Shutdown();
    bool HasReport(int kind);
    // The thread that runs background upload passes.
    CTaskMgrTmpl<CReportManager>& Worker() { return worker_; }

private:
    CReportManager();
    ~CReportManager();
    void RunUploadPass(WPARAM, LPARAM);

    CRITICAL_SECTION lock_;
    std::map<int, Filebase*> reports_;
    CTaskMgrTmpl<CReportManager> worker_;
};

// The report object of a kind, or none for kinds that carry no report.
Filebase* CreateReportObject(int kind);
