#include "report/BRKParam.h"

CBRKParam::CBRKParam(const std::wstring& url, const std::wstring& version, const std::wstring& channelText)
    : ParamBase(url), productVersion(version), channel(channelText)
{
    if (channel.empty()) channel = L"Unknown-Channel";
}
