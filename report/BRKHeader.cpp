#include "report/BRKHeader.h"

#include "identity/HardwareId.h"
#include "report/BRKParam.h"
#include "report/PackageBytes.h"
#include "report/ReportLocations.h"
#include "report/ReportQueue.h"

namespace {
// Decimal text-to-integer: optional blanks and sign, then digits; saturates.
long long LeadingNumber(const std::wstring& piece)
{
    size_t i = 0;
    while (i < piece.size() && (piece[i] == L' ' || piece[i] == L'\t')) ++i;
    bool negative = false;
    if (i < piece.size() && (piece[i] == L'+' || piece[i] == L'-')) negative = piece[i++] == L'-';
    long long value = 0;
    for (; i < piece.size() && piece[i] >= L'0' && piece[i] <= L'9'; ++i) {
        if (value < 100000000000LL) value = value * 10 + (piece[i] - L'0');
    }
    return negative ? -value : value;
}
}  // namespace

HeaderVersion ParseHeaderVersion(const std::wstring& text)
{
    HeaderVersion version = {};
    size_t start = 0;
    for (size_t index = 0; index < 4; ++index) {
        size_t dot = index < 3 ? text.find(L'.', start) : std::wstring::npos;
        long long number = LeadingNumber(text.substr(start, dot == std::wstring::npos ? std::wstring::npos : dot - start));
        if (index == 3 && number > 65535) number = 65535;
        version[index] = uint16_t(number);
        if (dot == std::wstring::npos) break;
        start = dot + 1;
    }
    return version;
}

IdentityField MakeIdentityField(const std::string& identity)
{
    IdentityField field = {};
    std::string wrapped = "{" + identity.substr(0, 125) + "}";
    for (size_t i = 0; i < wrapped.size(); ++i) field[i] = static_cast<unsigned char>(wrapped[i]);
    if (wrapped.size() <= 126) field[kIdentityUnits - 1] = 'M';
    return field;
}

std::wstring ReadVersionOverride() { return ReadQueueValue(TestKeyPath(), L"version", 520); }

CBRKHeader::CBRKHeader() : CBRKHeader(GetHardwareId() ? GetHardwareId() : "") {}

CBRKHeader::CBRKHeader(const std::string& identity) : identity_(MakeIdentityField(identity)), clock_(GetLocalTime) {}

int CBRKHeader::ApplyParam(const ParamBase& param)
{
    const CBRKParam* brk = dynamic_cast<const CBRKParam*>(&param);
    if (!brk) return 0;
    versionText_ = brk->productVersion.empty() ? std::wstring(L"0.0.0.0") : brk->productVersion;
    std::wstring override = ReadVersionOverride();
    if (!override.empty()) versionText_ = override;
    version_ = ParseHeaderVersion(versionText_);
    return 1;
}

int CBRKHeader::Serialize(uint8_t* buffer, uint32_t* length)
{
    if (!buffer || *length < kHeaderSize) {
        *length = kHeaderSize;
        return 0;
    }
    SYSTEMTIME now = {};
    clock_(&now);
    PackageBytes bytes;
    for (uint16_t number : version_) bytes.U16(number);
    for (WORD field : {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond}) bytes.U16(field);
    for (uint16_t unit : identity_) bytes.U16(unit);
    bytes.U32(0);  // body length, filled in once the body is on disk
    return CopySerialized(bytes.Bytes(), buffer, length);
}
