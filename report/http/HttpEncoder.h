#pragma once
// Text encodings for request bodies: ANSI code page, UTF-8, URL encoding.
#include <windows.h>

#include <string>

namespace Vardo {

class CHttpEncoderW {
public:
    static std::string AnsiEncode(const std::wstring& text, UINT codePage = CP_ACP);
    static std::string Utf8Encode(const std::wstring& text);
    static size_t AnsiEncodeLen(const std::wstring& text, UINT codePage = CP_ACP)
    {
        return AnsiEncode(text, codePage).size();
    }
    static size_t Utf8EncodeLen(const std::wstring& text) { return Utf8Encode(text).size(); }
    // Percent-encodes every byte outside the unreserved set.
    static std::string UrlEncodeA(const std::string& bytes);
};

}  // namespace Vardo
