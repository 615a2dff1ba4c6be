#include "ui/setup/WebLinks.h"

#include "base/TextConvert.h"
#include "ui/setup/Environment.h"

namespace {

constexpr wchar_t kLicencePath[] = L"/go.php?link=11&langid=%u";
constexpr wchar_t kPrivacyPath[] = L"/go.php?link=4&langid=%u";
constexpr wchar_t kThankPagePath[] = L"/cgi/pixel/thankpage.php";
constexpr wchar_t kDefaultBrowser[] = L"iexplore.exe";
constexpr const wchar_t* kBrowsers[] = {L"chrome.exe", L"iexplore.exe", L"firefox.exe"};

std::wstring FormatWithLangId(const wchar_t* path, LANGID langId)
{
    std::wstring format = std::wstring(kProductWebHost) + path;
    wchar_t address[256] = {};
    wsprintfW(address, format.c_str(), static_cast<unsigned>(langId));
    return address;
}

bool IsAsciiLetterOrDigit(unsigned char byte)
{
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9');
}

bool IsAsciiWhiteSpace(unsigned char byte) { return byte == ' ' || (byte >= '\t' && byte <= '\r'); }

bool Opened(INT_PTR result) { return result > 32; }

}  // namespace

std::wstring LicenceAddress(LANGID langId) { return FormatWithLangId(kLicencePath, langId); }

std::wstring PrivacyAddress(LANGID langId) { return FormatWithLangId(kPrivacyPath, langId); }

void OpenLink(const std::wstring& address)
{
    if (address.empty()) return;
    IEnvironment& env = Env();
    if (Opened(env.ShellOpen(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL))) return;
    env.ShellOpen(nullptr, L"open", L"iexplore", address.c_str(), nullptr, SW_SHOW);
}

std::wstring SidFromProgramPath(const std::wstring& programPath)
{
    size_t folderEnd = programPath.find_last_of(L"\\/");
    std::wstring fileName = folderEnd == std::wstring::npos ? programPath : programPath.substr(folderEnd + 1);
    size_t underscore = fileName.rfind(L'_');
    size_t dot = fileName.rfind(L'.');
    if (underscore == std::wstring::npos || dot == std::wstring::npos || dot < underscore) return std::wstring();
    return fileName.substr(underscore + 1, dot - underscore - 1);
}

std::wstring EncodeQueryValue(const std::wstring& text)
{
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    std::wstring encoded;
    for (char c : WideToUtf8(text)) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (IsAsciiLetterOrDigit(byte)) {
            encoded += static_cast<wchar_t>(byte);
        } else if (IsAsciiWhiteSpace(byte)) {
            encoded += L'+';
        } else {
            encoded += L'%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0F];
        }
    }
    return encoded;
}

std::wstring ThankPageAddress(const std::wstring& sid, const std::wstring& channelName)
{
    return std::wstring(kProductWebHost) + kThankPagePath + L"?sid=" + EncodeQueryValue(sid) +
           L"&channel=" + EncodeQueryValue(channelName);
}

std::wstring ChooseBrowser()
{
    const wchar_t* running = nullptr;
    int count = 0;
    for (const wchar_t* browser : kBrowsers) {
        if (Env().IsProcessRunning(browser)) {
            running = browser;
            ++count;
        }
    }
    return count == 1 ? running : kDefaultBrowser;
}

void OpenThankPage(bool skip, const std::wstring& channelName)
{
    if (skip) return;
    IEnvironment& env = Env();
    std::wstring address = ThankPageAddress(SidFromProgramPath(env.ProgramPath()), channelName);
    std::wstring browser = ChooseBrowser();
    if (Opened(env.ShellOpen(nullptr, L"open", browser.c_str(), address.c_str(), nullptr, SW_SHOWNORMAL))) return;
    env.ShellOpen(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
