#pragma once
// The process-wide start-up record, filled in order by the run function.
#include <string>

struct AppSettings {
    int silent = 0;
    int showTray = 0;
    std::wstring channelName;
    std::wstring channelNumber;
    std::wstring versionInfoUrl;
    std::wstring reportUrl;
    std::wstring passThroughArgs;
    std::wstring exeVersion;
    wchar_t installId[260] = {};
    int exitCode = 2;
};

AppSettings& GetAppSettings();
