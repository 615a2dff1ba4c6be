#include "ui/setup/ThankPageSkip.h"

#include <cwchar>

#include "base/RegKey.h"
#include "ui/setup/Environment.h"

namespace {

constexpr LONGLONG kDayIn100ns = 864000000000LL;

bool ToTicks(const SYSTEMTIME& time, LONGLONG* ticks)
{
    FILETIME file = {};
    if (!SystemTimeToFileTime(&time, &file)) return false;
    ULARGE_INTEGER value = {};
    value.LowPart = file.dwLowDateTime;
    value.HighPart = file.dwHighDateTime;
    *ticks = static_cast<LONGLONG>(value.QuadPart);
    return true;
}

}  // namespace

bool ParseUninstallTime(const std::wstring& text, SYSTEMTIME* time)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (swscanf(text.c_str(), L"%04d-%02d-%02d %02d:%02d:%02d", &year, &month, &day, &hour, &minute, &second) != 6)
        return false;
    const int fields[] = {year, month, day, hour, minute, second};
    for (int field : fields) {
        if (field < 0 || field > 0xFFFF) return false;
    }
    SYSTEMTIME parsed = {};
    parsed.wYear = static_cast<WORD>(year);
    parsed.wMonth = static_cast<WORD>(month);
    parsed.wDay = static_cast<WORD>(day);
    parsed.wHour = static_cast<WORD>(hour);
    parsed.wMinute = static_cast<WORD>(minute);
    parsed.wSecond = static_cast<WORD>(second);
    FILETIME check = {};
    if (!SystemTimeToFileTime(&parsed, &check)) return false;
    *time = parsed;
    return true;
}

bool IsLessThanDayBefore(const SYSTEMTIME& stored, const SYSTEMTIME& now)
{
    LONGLONG storedTicks = 0, nowTicks = 0;
    if (!ToTicks(stored, &storedTicks) || !ToTicks(now, &nowTicks)) return false;
    return nowTicks - storedTicks < kDayIn100ns;
}

bool UninstallTimeIsRecent(const BYTE* data, DWORD size, DWORD type, const SYSTEMTIME& now)
{
    if (type != REG_SZ || !data || size < sizeof(wchar_t) || size % sizeof(wchar_t) != 0) return false;
    size_t count = size / sizeof(wchar_t);
    std::wstring stored(reinterpret_cast<const wchar_t*>(data), count);
    // A value stored without its terminator is still read only within its size
    // (Windows returns it as stored; Wine terminates it on the way out).
    size_t end = stored.find(L'\0');
    if (end != std::wstring::npos) stored.resize(end);
    SYSTEMTIME time = {};
    return ParseUninstallTime(stored, &time) && IsLessThanDayBefore(time, now);
}

bool UninstalledWithinDay(HKEY root, const wchar_t* subKey)
{
    CRegKey key;
    if (RegOpenKeyExW(root, subKey, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS) return false;
    wchar_t buffer[kUninstallTimeMaxChars + 1] = {};
    DWORD type = 0;
    DWORD size = sizeof(buffer);
    if (RegQueryValueExW(key.Get(), kUninstallTimeValue, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
        ERROR_SUCCESS)
        return false;
    SYSTEMTIME now = {};
    GetSystemTime(&now);
    return UninstallTimeIsRecent(reinterpret_cast<const BYTE*>(buffer), size, type, now);
}

bool ShouldSkipThankPage(HKEY root, const wchar_t* subKey)
{
    bool skip = Env().IsProcessRunning(kProductServiceProcess);
    if (UninstalledWithinDay(root, subKey)) skip = true;
    return skip;
}
