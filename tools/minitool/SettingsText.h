#pragma once
// The settings text a release engineer hands to `minitool stamp`: read from
// UTF-8 or UTF-16 and checked as the program will read it, so a copy is
// never stamped with a text that the program cannot use.
#include <cstdint>
#include <string>
#include <vector>

namespace minitool {

// Appends one code point as UTF-8.
void AppendUtf8(std::string& out, uint32_t c);

// The text of a settings file as UTF-8. UTF-8 (with or without BOM),
// UTF-16LE and UTF-16BE (with BOM, or recognised by the zero bytes of an
// ASCII first character) are accepted; zero code units at the very end (as
// in a dumped area) are dropped. False with a message for malformed text.
bool SettingsFileToUtf8(const std::vector<uint8_t>& raw, std::string& utf8, std::string& error);

// Checks the INI shape (sections, key=value lines, ';' or '#' comments,
// blank lines) and the keys the program reads: params/ChannelName,
// params/ChannelNumber (may be empty), global/VERSION_INFO_URL (not empty),
// DataReport/ReportURLMini; values must fit the program's read buffers.
// Names compare without case and the first section and key win, as with the
// Windows profile functions. False with a message naming the line or key.
bool CheckSettingsText(const std::string& utf8, std::string& error);

}  // namespace minitool
