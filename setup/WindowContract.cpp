#include "setup/WindowContract.h"

#include <cstring>
#include <cwchar>

namespace {

// A field ends at its first zero or, lacking one, at the end of the field.
std::wstring FieldText(const wchar_t* field, size_t units)
{
    size_t length = 0;
    while (length < units && field[length] != L'\0')
        ++length;
    return std::wstring(field, length);
}

template <size_t N>
void FillField(wchar_t (&field)[N], const std::wstring& text)
{
    const size_t length = text.size() < N - 1 ? text.size() : N - 1;
    std::wmemset(field, L'\0', N);
    std::wmemcpy(field, text.data(), length);
}

}  // namespace

bool InstallerResult::Succeeded() const
{
    return resultCode.size() == 1 && resultCode[0] == L'0';
}

bool ParseInstallerResult(ULONG_PTR dwData, DWORD cbData, const void* data, InstallerResult* out)
{
    if (dwData != kInstallerResultDataId || cbData != sizeof(InstallerResultBlock) || data == nullptr)
        return false;
    // The sender's buffer need not be aligned for wchar_t: copy it first.
    InstallerResultBlock block;
    std::memcpy(&block, data, sizeof block);
    out->resultCode = FieldText(block.resultCode, kInstallerResultCodeChars);
    out->message = FieldText(block.message, kInstallerResultMessageChars);
    return true;
}

bool ParseInstallerResult(const COPYDATASTRUCT* copyData, InstallerResult* out)
{
    if (copyData == nullptr)
        return false;
    return ParseInstallerResult(copyData->dwData, copyData->cbData, copyData->lpData, out);
}

InstallerResultBlock MakeInstallerResultBlock(const std::wstring& resultCode, const std::wstring& message)
{
    InstallerResultBlock block;
    FillField(block.resultCode, resultCode);
    FillField(block.message, message);
    return block;
}
