#include "app/StartOptions.h"

#include <cwctype>

#include "app/LaunchOrigin.h"

namespace {

constexpr int kExitProductInstalled = 3;

}  // namespace

void ApplyStartOptions(const CommandLineSwitches& switches, AppSettings& settings)
{
    if (!switches.newVerUrl.empty()) settings.versionInfoUrl = switches.newVerUrl;
    if (!settings.silent) settings.passThroughArgs += L"/POP ";
}

int IsNxChannel(const std::wstring& channelName)
{
    size_t first = channelName.find(L'|');
    if (first == std::wstring::npos) return 0;
    size_t second = channelName.find(L'|', first + 1);
    if (second == std::wstring::npos) return 0;
    size_t third = channelName.find(L'|', second + 1);
    std::wstring field = channelName.substr(second + 1, third == std::wstring::npos ? std::wstring::npos
                                                                                     : third - second - 1);
    for (wchar_t& c : field) c = wchar_t(towupper(c));
    return field.find(L"NX") != std::wstring::npos ? 1 : 0;
}

void RecordStartItems(const AppSettings& settings, const std::wstring& installId, const std::wstring& launchOrigin,
                      IStartItemSink& sink)
{
    sink.SetInt(kItemNxChannel, IsNxChannel(settings.channelName));
    sink.SetInt(kItemSilent, settings.silent);
    sink.SetText(kItemStartMarker, L"A");
    sink.SetText(kItemInstallId, installId);
    sink.SetText(kItemLaunchOrigin, launchOrigin.empty() ? LaunchOriginFallback(settings.channelName) : launchOrigin);
}

bool EndSilentStartOfInstalledProduct(AppSettings& settings, const std::vector<std::wstring>& args,
                                      const std::function<bool()>& serviceRunning, IStartItemSink& sink)
{
    if (!settings.silent || HasUpdateSwitch(args) || !serviceRunning()) return false;
    sink.Mark(kItemServiceRunning);
    settings.exitCode = kExitProductInstalled;
    return true;
}
