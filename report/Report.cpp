#include "report/Report.h"

#include "report/ReportManager.h"

// The caller registers the exit-time send and shutdown (see the run function).
int ReportInit(int kind, const CBRKParam& param)
{
    CReportManager::Instance().CreateReport(kind, param);
    return 1;
}

int ReportSetInt(uint32_t id, int32_t value, int kind)
{
    CReportManager::Instance().SetInt(kind, id, value);
    return 0;
}

int ReportMark(uint32_t id, int kind)
{
    ReportSetInt(id, 1, kind);
    return 1;
}

int ReportSetText(uint32_t id, const wchar_t* text, int kind)
{
    CReportManager::Instance().SetText(kind, id, text);
    return 0;
}

int ReportSend(int mode)
{
    CReportManager::Instance().Send(mode);
    return 1;
}

int ReportShutdown()
{
    CReportManager::Instance().Shutdown();
    return 1;
}
