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
    DWORD value = 0, size = sizeof(value), type = 0;
    HKEY key = nullptr;
    bool enabled = false;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProductKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        enabled = RegQueryValueExW(key, L"PrintLog", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
                      ERROR_SUCCESS &&
                  type == REG_DWORD && value == 1;
        RegCloseKey(key);
    }
    InterlockedExchange(&state, enabled ? 1 : 0);
    return enabled;
}

}  // namespace

std::wstring FormatDebugLogLine(const wchar_t* format, va_list args)
{
    wchar_t text[2048];
    int written = _vsnwprintf(text, _countof(text) - 1, format, args);
    text[_countof(text) - 1] = L'\0';
    if (written < 0) text[_countof(text) - 1] = L'\0';
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
