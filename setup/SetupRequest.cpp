#include "setup/SetupRequest.h"

#include <objbase.h>

#include <climits>
#include <cstdio>
#include <cwchar>

#include "base/DebugLog.h"
#include "base/TextConvert.h"

namespace {

constexpr size_t kMaxIdentityChars = 125;

bool NeedsPercentEncoding(unsigned char byte)
{
    if (byte <= 0x20 || byte >= 0x7F)
        return true;
    switch (byte) {
    case '"': case '#': case '%': case ':': case '<': case '>': case '?':
    case '[': case '\\': case ']': case '^': case '`': case '{': case '|': case '}':
        return true;
    default:
        return false;
    }
}

bool IsControl(wchar_t c)
{
    return c < 0x20 || c == 0x7F;
}

std::wstring WithoutControls(const std::wstring& text)
{
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t c : text)
        if (!IsControl(c))
            out += c;
    return out;
}

// The user agent goes inside a JSON string.
std::wstring JsonEscaped(const std::wstring& text)
{
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        if (IsControl(c))
            continue;
        if (c == L'"' || c == L'\\')
            out += L'\\';
        out += c;
    }
    return out;
}

}  // namespace

std::string PercentEncodeQuery(const std::string& bytes)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (char c : bytes) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (NeedsPercentEncoding(byte)) {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

std::wstring BuildQueryString(const std::wstring& hardwareId, const std::wstring& rand)
{
    const std::wstring text =
        L"userid={" + hardwareId.substr(0, kMaxIdentityChars) + L"}&rand=" + rand;
    return L"?" + AnsiToWide(PercentEncodeQuery(WideToAnsi(text)));
}

std::wstring MakeQueryRand()
{
    GUID guid;
    if (FAILED(CoCreateGuid(&guid)))
        return std::wstring();
    wchar_t text[40];
    std::swprintf(text, 40, L"%08X%04X%04x%02X%02X%02X%02X%02X%02X%02X%02X",
                  static_cast<unsigned>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1],
                  guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return std::wstring(text).substr(0, 8);
}

std::wstring BuildHeaderJson(const std::wstring& userAgentValue)
{
    return L"{\"httpheader\":[\"User-Agent: " + JsonEscaped(userAgentValue) + L"\"," +
           L"\"Pragma: no-cache\"," + L"\"Cache-Control: no-cache\"" + L"]}";
}

std::wstring BuildUserAgentValue(const std::wstring& programPath, const std::wstring& productVersion)
{
    const size_t slash = programPath.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? programPath : programPath.substr(slash + 1);
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos)
        name.erase(dot);
    return WithoutControls(name + productVersion);
}

bool ParseManifestVersion(const std::wstring& version, unsigned numbers[4])
{
    size_t pos = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (pos >= version.size() || version[pos] != L'.')
                return false;
            ++pos;
        }
        unsigned long long value = 0;
        size_t digits = 0;
        while (pos < version.size() && version[pos] >= L'0' && version[pos] <= L'9') {
            value = value * 10 + static_cast<unsigned>(version[pos] - L'0');
            if (++digits > 10 || value > UINT_MAX)
                return false;
            ++pos;
        }
        if (digits == 0)
            return false;
        numbers[part] = static_cast<unsigned>(value);
    }
    return pos == version.size();
}

std::wstring VersionSubfolder(const std::wstring& version)
{
    unsigned n[4];
    if (!ParseManifestVersion(version, n))
        return std::wstring();
    if (n[0] < 3 || (n[0] == 3 && n[1] < 7))
        return L"\\" + version;
    wchar_t text[32];
    std::swprintf(text, 32, L"\\%u.%u.0.0", n[0], n[1]);
    return text;
}

std::wstring CVersionSubfolder::Apply(const std::wstring& installFolder, const std::wstring& version)
{
    if (!decided_) {
        subfolder_ = VersionSubfolder(version);
        if (subfolder_.empty())
            DebugLog(L"CDownloadControl: version \"%s\" is not four numbers, no version subfolder", version.c_str());
        decided_ = true;
    }
    const bool alreadyThere = !subfolder_.empty() && installFolder.size() >= subfolder_.size() &&
                              installFolder.compare(installFolder.size() - subfolder_.size(),
                                                    subfolder_.size(), subfolder_) == 0;
    return alreadyThere ? installFolder : installFolder + subfolder_;
}

bool BuildInstallerCommandLine(WORD langId, int helpUs, const std::wstring& passThroughArgs,
                               const std::wstring& installFolder, std::wstring* commandLine)
{
    wchar_t head[128];
    std::swprintf(head, 128, L"/S /POLICY /SetUpdateFileMapping=MiniInstallHwnd /LANG=%u /bHelpUs=%d ",
                  static_cast<unsigned>(langId), helpUs);
    std::wstring line = head;
    line += passThroughArgs;
    line += L"/D=";
    line += installFolder;
    if (line.size() >= kInstallerCommandLineUnits) {
        DebugLog(L"CDownloadControl: installer command line of %u characters does not fit, not started",
                 static_cast<unsigned>(line.size()));
        return false;
    }
    *commandLine = line;
    return true;
}
