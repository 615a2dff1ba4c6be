#pragma once
// Conversions between UTF-16 and 8-bit texts (UTF-8 or a code page).
#include <windows.h>

#include <string>

// False when the system cannot convert the text; empty text always converts.
bool TryWideToCodePage(const std::wstring& text, UINT codePage, std::string* out);
bool TryCodePageToWide(const std::string& text, UINT codePage, std::wstring* out);

// The same, with empty text for a text that cannot be converted.
std::string WideToCodePage(const std::wstring& text, UINT codePage);
std::wstring CodePageToWide(const std::string& text, UINT codePage);

inline std::string WideToUtf8(const std::wstring& text) { return WideToCodePage(text, CP_UTF8); }
inline std::wstring Utf8ToWide(const std::string& text) { return CodePageToWide(text, CP_UTF8); }
inline std::string WideToAnsi(const std::wstring& text) { return WideToCodePage(text, CP_ACP); }
inline std::wstring AnsiToWide(const std::string& text) { return CodePageToWide(text, CP_ACP); }
