#include "setup/DownloadControl.h"

void CDownloadControl::SetClientInfo(const std::wstring& channelName, const std::wstring& exeVersion)
{
    channelName_ = channelName;
    exeVersion_ = exeVersion;
}
