#include "gnet/StringUtil.h"

#include <windows.h>

namespace gnet {
namespace {

std::string WideToCodePage(const std::wstring& text, UINT codePage) {
    if (text.empty()) return std::string();
    int size = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                   nullptr, nullptr);
    if (size <= 0) return std::string();
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr,
                        nullptr);
    return out;
}

std::wstring CodePageToWide(const std::string& text, UINT codePage) {
    if (text.empty()) return std::wstring();
    int size = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (size <= 0) return std::wstring();
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], size);
    return out;
}

}  // namespace

std::string WideToUtf8(const std::wstring& text) { return WideToCodePage(text, CP_UTF8); }
std::wstring Utf8ToWide(const std::string& text) { return CodePageToWide(text, CP_UTF8); }
std::string WideToAnsi(const std::wstring& text) { return WideToCodePage(text, CP_ACP); }
std::wstring AnsiToWide(const std::string& text) { return CodePageToWide(text, CP_ACP); }

}  // namespace gnet
