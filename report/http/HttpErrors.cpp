#include "report/http/HttpErrors.h"

#include <cwchar>

namespace Vardo {

namespace {
const wchar_t* const kGeneralMessages[] = {
    L"Unexpected error occurred.",
    L"The index is out of range.",
    L"Out of memory.",
    L"The requested URL is not a valid URL.",
    L"The post context is not started yet.",
    L"Couldn't read expected bytes from a file.",
    L"The post context has not been finished yet.",
    L"The port number is not valid.",
    L"std::exception occurred.",
    L"The encoded URL is not valid.",
    L"The UTF8 string contains an invalid character.",
    L"An unexpected arithmetic error has been occurred.",
    L"An arithmetic overflow error has been occurred.",
    L"An interger divide by zero exception has been occurred.",
};
const wchar_t* const kHttpMessages[] = {
    L"::HttpQueryInfo failed.",         L"::InternetReadFile failed.",   L"::InternetOpen failed.",
    L"::InternetConnect failed.",       L"::HttpOpenRequest failed.",    L"::HttpAddRequestHeaders failed.",
    L"::HttpSendRequest failed.",       L"::HttpSendRequestEx failed.",  L"::InternetWriteFile failed.",
    L"::HttpEndRequest failed.",        L"::InternetSetOption failed.",
};
const wchar_t* const kFileMessages[] = {
    L"::WideCharToMultiByte failed.",
    L"::MultiByteToWideChar failed.",
    L"::ReadFile failed.",
    L"OpenFile (::CreateFile) failed (\"%s\").",
    L"::SetFilePointer failed.",
    L"::GetFileSize failed (\"%s\").",
    L"::WriteFile failed (\"%s\").",
};

template <size_t N>
const wchar_t* Lookup(const wchar_t* const (&table)[N], int index)
{
    return index >= 0 && size_t(index) < N ? table[index] : nullptr;
}

const wchar_t* MessageTemplate(int code)
{
    const wchar_t* found = nullptr;
    if (code >= 100 && code < 200) found = Lookup(kGeneralMessages, code - 100);
    if (code >= 400 && code < 500) found = Lookup(kHttpMessages, code - 400);
    if (code >= 600 && code < 700) found = Lookup(kFileMessages, code - 600);
    if (code > 999) found = L"user-defined error message";
    return found ? found : kGeneralMessages[0];
}

std::string Narrow(const std::wstring& text)
{
    std::string narrow;
    for (wchar_t c : text) narrow.push_back(c < 0x80 ? char(c) : '?');
    return narrow;
}
}  // namespace

errmsg_exceptionW::errmsg_exceptionW(const std::wstring& message) : message_(message), narrow_(Narrow(message)) {}

std::wstring HttpErrorMessage(int code, const wchar_t* path)
{
    std::wstring message = MessageTemplate(code);
    size_t slot = message.find(L"%s");
    if (slot == std::wstring::npos) return message;
    message.replace(slot, 2, path ? path : L"NULL");
    if (message.size() > 511) message.resize(511);
    return message;
}

void ThrowArgumentError(const wchar_t* message) { throw httpclientexceptionW(message, 0, 0); }

void ThrowHttpError(int code, bool withLastError, const wchar_t* path)
{
    DWORD lastError = withLastError ? GetLastError() : 0;
    throw httpclientexceptionW(HttpErrorMessage(code, path), code, lastError);
}

}  // namespace Vardo
