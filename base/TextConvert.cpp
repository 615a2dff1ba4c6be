#include "base/TextConvert.h"

bool TryWideToCodePage(const std::wstring& text, UINT codePage, std::string* out)
{
    out->clear();
    if (text.empty()) return true;
    int size = WideCharToMultiByte(codePage, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    if (size <= 0) return false;
    out->resize(size_t(size));
    return WideCharToMultiByte(codePage, 0, text.data(), int(text.size()), &(*out)[0], size, nullptr, nullptr) > 0;
}

bool TryCodePageToWide(const std::string& text, UINT codePage, std::wstring* out)
{
    out->clear();
    if (text.empty()) return true;
    int size = MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), nullptr, 0);
    if (size <= 0) return false;
    out->resize(size_t(size));
    return MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), &(*out)[0], size) > 0;
}

std::string WideToCodePage(const std::wstring& text, UINT codePage)
{
    std::string out;
    if (!TryWideToCodePage(text, codePage, &out)) out.clear();
    return out;
}

std::wstring CodePageToWide(const std::string& text, UINT codePage)
{
    std::wstring out;
    if (!TryCodePageToWide(text, codePage, &out)) out.clear();
    return out;
}
