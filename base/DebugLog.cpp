#include "base/DebugLog.h"

#include <windows.h>

#include <cstdio>

namespace {

constexpr wchar_t kProductKey[] = L"SOFTWARE\\Nuvex Security\\Brisko";

// Read once per process; later changes of the value take effect at the next start.
bool LoggingEnabled()
{
    static LONG state = -1;
    LONG current = InterlockedCompareExchange(&state, -1, -1);
    if (current >= 0) return current == 1;
    bool enabled = PrintLogSwitchOn(HKEY_LOCAL_MACHINE, kProductKey);
    InterlockedExchange(&state, enabled ? 1 : 0);
    return enabled;
}

}  // namespace

bool PrintLogSwitchOn(void* root, const wchar_t* subKey)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(static_cast<HKEY>(root), subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD value = 0, size = sizeof(value), type = 0;
    bool on = RegQueryValueExW(key, L"PrintLog", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
                  ERROR_SUCCESS &&
              type == REG_DWORD && size == sizeof(value) && value == 1;
    RegCloseKey(key);
    return on;
}

std::wstring FormatDebugLogLine(const wchar_t* format, va_list args)
{
    wchar_t text[2048];
    // A cut text (negative answer) still ends inside the buffer.
    _vsnwprintf(text, _countof(text) - 1, format, args);
    text[_countof(text) - 1] = L'\0';
    return std::wstring(L"Nuvex:") + text + L"\r\n";
}

void DebugLog(const wchar_t* format, ...)
{
    if (!format || !LoggingEnabled()) return;
    va_list args;
    va_start(args, format);
    std::wstring line = FormatDebugLogLine(format, args);
    va_end(args);
    OutputDebugStringW(line.c_str());
}
