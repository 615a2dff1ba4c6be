#include "report/BRKParam.h"

#include "app/InstallIdentity.h"

CBRKParam::CBRKParam(const std::wstring& url, const std::wstring& version, const std::wstring& channelText)
    : ParamBase(url.empty() ? ReadFallbackReportUrl() : url)
{
    productVersion = version.empty() ? ReadInstalledProductVersion() : version;
    channel = channelText.empty() ? ReadInstallChannel() : channelText;
    if (channel.empty()) channel = L"Unknown-Channel";
}
