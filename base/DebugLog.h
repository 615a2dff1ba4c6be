#pragma once
// Debug log of the setup code: "Nuvex:" lines to the debugger output, written
// only when HKLM "SOFTWARE\Nuvex Security\Brisko" has the DWORD PrintLog = 1
// (read once per process).
#include <cstdarg>
#include <string>

void DebugLog(const wchar_t* format, ...);

// The line as it is sent: "Nuvex:", the formatted text (at most 2,047
// characters of it) and CRLF.
std::wstring FormatDebugLogLine(const wchar_t* format, va_list args);

// True when the key root\subKey holds PrintLog as a DWORD of 1; root is an
// HKEY. The log asks this once per process of HKLM and its product key.
bool PrintLogSwitchOn(void* root, const wchar_t* subKey);
