#pragma once
// Loading the embedded settings and the expanded read of settings values.
#include <optional>
#include <string>

#include "base/AppSettings.h"
#include "app/IniText.h"

// Writes the area to a temporary file, reads params, the manifest and report
// addresses from it and deletes it. False when the file cannot be written.
bool LoadEmbeddedSettings(AppSettings& settings);

// The settings of an INI text applied to the record: flags only ever turn on.
void ApplySettings(const CIniFile& ini, std::optional<int> utcOffsetMinutes, AppSettings& settings);

// The value of section/key with its placeholders expanded; an empty path
// means "url.ini" in the program's own folder.
std::wstring ExpandedRead(const std::wstring& section, const std::wstring& key, const std::wstring& iniPath);

// The full path of the running executable; empty when it does not fit MAX_PATH.
std::wstring OwnExecutablePath();

// The folder of the running executable, with a trailing backslash.
std::wstring ProgramFolder();
