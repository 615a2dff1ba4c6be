#pragma once
// The download control: fetches the manifest and the package for the window.
// For now it only keeps the client information the start-up hands it.
#include <string>

class CDownloadControl {
public:
    void SetClientInfo(const std::wstring& channelName, const std::wstring& exeVersion);
    const std::wstring& ChannelName() const { return channelName_; }
    const std::wstring& ExeVersion() const { return exeVersion_; }

private:
    std::wstring channelName_;
    std::wstring exeVersion_;
};
