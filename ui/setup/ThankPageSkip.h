#pragma once
// Whether the thank-you page is left out: the product's service runs (the
// product is in use), or the product was uninstalled less than a day ago.
#include <windows.h>

#include <string>

constexpr wchar_t kProductUserKey[] = L"Software\\Nuvex Security\\Brisko";
constexpr wchar_t kUninstallTimeValue[] = L"UninstallTime";
constexpr wchar_t kProductServiceProcess[] = L"BriskoSvc.exe";
// Longest "UninstallTime" text read, terminating zero excluded.
constexpr DWORD kUninstallTimeMaxChars = 32;

// "YYYY-MM-DD hh:mm:ss" (UTC) into a system time; false when the text does
// not have that shape or names no valid time.
bool ParseUninstallTime(const std::wstring& text, SYSTEMTIME* time);

// True when `stored` lies less than 24 hours before `now`, or after it.
bool IsLessThanDayBefore(const SYSTEMTIME& stored, const SYSTEMTIME& now);

// The same for a raw registry value: only a zero-terminated REG_SZ holding a
// valid time counts; anything else is ignored (false).
bool UninstallTimeIsRecent(const BYTE* data, DWORD size, DWORD type, const SYSTEMTIME& now);

// Reads "UninstallTime" of `subKey` under `root` and checks it against the
// current UTC time. False when the key or value cannot be read.
bool UninstalledWithinDay(HKEY root = HKEY_CURRENT_USER, const wchar_t* subKey = kProductUserKey);

// The window's skip flag, decided once at its creation: the service runs, or
// the uninstall time under `root`/`subKey` is recent.
bool ShouldSkipThankPage(HKEY root = HKEY_CURRENT_USER, const wchar_t* subKey = kProductUserKey);
