#pragma once
// The web pages the setup opens: the licence and the privacy policy (by
// language) and, after a successful installation, the thank-you page (by
// program file name and channel) in the browser the user is running.
#include <windows.h>

#include <string>

// The product's web host, scheme included, without a trailing slash.
constexpr wchar_t kProductWebHost[] = L"http://www.brisko.nuvex.com";

std::wstring LicenceAddress(LANGID langId);
std::wstring PrivacyAddress(LANGID langId);

// Opens an address with the default handler, else with Internet Explorer.
// An empty address opens nothing. Fire and forget.
void OpenLink(const std::wstring& address);

// The distribution tag of a program file: the part of its file name after the
// last "_" and before the last "."; empty without both or when the "." comes
// first. Folders of the path play no part.
std::wstring SidFromProgramPath(const std::wstring& programPath);

// A query value: UTF-8 bytes, ASCII letters and digits as they are, white
// space as "+", every other byte as "%" and two upper-case hex digits.
std::wstring EncodeQueryValue(const std::wstring& text);

std::wstring ThankPageAddress(const std::wstring& sid, const std::wstring& channelName);

// The browser for the thank-you page: the one of Chrome, Internet Explorer
// and Firefox that runs when exactly one does, Internet Explorer otherwise.
std::wstring ChooseBrowser();

// Opens the thank-you page in the chosen browser, else with the default
// handler. Nothing happens when `skip` is set. Fire and forget.
void OpenThankPage(bool skip, const std::wstring& channelName);
