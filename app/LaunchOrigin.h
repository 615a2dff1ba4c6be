#pragma once
// The launch-origin record: which program started this one, and what it is.
#include <string>
#include <utility>
#include <vector>

struct ParentProcessInfo {
    bool queried = false;      // the process list could be read through ntdll
    bool found = false;        // the parent is in the list
    bool opened = false;       // its image path could be read
    std::wstring imageName;    // from the process list
    std::wstring imagePath;    // drive path of its executable
};

// "channel|image|file information record", with the "null" fill-ins for a
// parent that could not be opened or found. Empty when nothing was queried.
std::wstring FormatLaunchOrigin(const std::wstring& channelName, const ParentProcessInfo& parent,
                                const std::wstring& fileInfoRecord);

// The record the run function substitutes when the lookup gave nothing.
std::wstring LaunchOriginFallback(const std::wstring& channelName);

// "\Device\HarddiskVolume2\x.exe" with the pair ("C:", "\Device\HarddiskVolume2")
// becomes "C:\x.exe"; the first matching prefix wins, compared case-insensitively.
// A prefix matches only whole path components (followed by '\' or the end).
std::wstring DevicePathToDrivePath(const std::wstring& devicePath,
                                   const std::vector<std::pair<std::wstring, std::wstring>>& driveDevices);

// Looks up the parent process through ntdll and builds the record.
std::wstring BuildLaunchOriginRecord(const std::wstring& channelName);
