#include "report/http/HttpClient.h"

#include <objbase.h>

#include <cstdio>

namespace Vardo {

std::wstring MakeBoundary()
{
    GUID guid = {};
    if (FAILED(CoCreateGuid(&guid))) return L"------FB3B405B7EAE495aB0C0295C54D4E096";
    wchar_t text[64] = {};
    swprintf(text, 64, L"------%.08x%.04x%.04x%.02x%.02x%.02x%.02x%.02x%.02x%.02x%.02x", unsigned(guid.Data1),
             unsigned(guid.Data2), unsigned(guid.Data3), guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
             guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}

template class CHttpClientT<CHttpToolW, CHttpEncoderW>;

}  // namespace Vardo
