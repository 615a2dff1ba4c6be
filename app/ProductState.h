#pragma once
// What the program can learn about an installed product: its service process,
// the version in "version.xml" and the channel of its uninstall entry.
#include <windows.h>

#include <string>

struct ProductVersionInfo {
    std::wstring version;  // text of VersionInfo/ProgramVersion
    std::wstring date;     // its "Time" attribute, first 10 characters
};

// Parses the contents of a "version.xml"; element names compare without case.
// Empty fields when the text or an element is missing.
ProductVersionInfo ParseVersionXml(const std::string& xmlText);
// Reads and parses the file; empty fields when it cannot be read.
ProductVersionInfo ReadVersionXml(const std::wstring& path);

// "InstallChannel" (REG_SZ, at most 255 characters) under root\subkey, or
// "Unknown-Channel" when it is missing, empty or not text.
std::wstring ReadInstallChannelFrom(HKEY root, const std::wstring& subkey);

extern const wchar_t kUninstallKeyPath[];

// Whether a process with this executable name (any case) is running.
bool IsProcessRunning(const wchar_t* executableName);
