#pragma once
// The report item interface: every usage fact of the program goes through
// these six functions. They never fail towards their callers.
#include <cstdint>

#include "report/BRKParam.h"

int ReportInit(int kind, const CBRKParam& param);
int ReportSetInt(uint32_t id, int32_t value, int kind);
int ReportMark(uint32_t id, int kind);
int ReportSetText(uint32_t id, const wchar_t* text, int kind);
int ReportSend(int mode);
int ReportShutdown();
