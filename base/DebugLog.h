#pragma once
// Debug log of the setup code: "Nuvex:" lines to the debugger output, written
// only when HKLM "SOFTWARE\Nuvex Security\Brisko" has PrintLog = 1.
void DebugLog(const wchar_t* format, ...);

// The line as it is sent (without the switch check); exposed for tests.
#include <cstdarg>
#include <string>
std::wstring FormatDebugLogLine(const wchar_t* format, va_list args);
