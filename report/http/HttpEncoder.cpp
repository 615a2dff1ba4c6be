#include "report/http/HttpEncoder.h"

#include "report/http/HttpErrors.h"
#include "report/http/HttpTool.h"
#include "base/TextConvert.h"

namespace Vardo {

std::string CHttpEncoderW::AnsiEncode(const std::wstring& text, UINT codePage)
{
    return CHttpToolW::Unicode2Ansi(text, codePage);
}

std::string CHttpEncoderW::Utf8Encode(const std::wstring& text)
{
    std::string utf8;
    if (!TryWideToCodePage(text, CP_UTF8, &utf8)) ThrowHttpError(600, true);
    return utf8;
}

std::string CHttpEncoderW::UrlEncodeA(const std::string& bytes)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (unsigned char c : bytes) {
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '_' || c == '.' || c == '~';
        if (plain) {
            encoded.push_back(char(c));
        } else {
            encoded.push_back('%');
            encoded.push_back(kHex[c >> 4]);
            encoded.push_back(kHex[c & 15]);
        }
    }
    return encoded;
}

}  // namespace Vardo
