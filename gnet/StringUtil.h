#pragma once
// Text conversions between UTF-16, UTF-8 and the ANSI code page.
#include <string>

namespace gnet {

std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);
std::string WideToAnsi(const std::wstring& text);
std::wstring AnsiToWide(const std::string& text);

}  // namespace gnet
