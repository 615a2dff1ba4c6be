#pragma once
// Placeholder expansion of settings values: "%name%" is replaced by the value
// that the section [name] gives for the computer's UTC offset.
#include <optional>
#include <string>

#include "app/IniText.h"

// True when an interval key such as "{+06:00,+13:00}" contains the offset
// (minutes east of UTC). Keys of any other shape never match.
bool IntervalKeyMatches(const std::wstring& key, int offsetMinutes, bool* isIntervalKey = nullptr);

// The value for one placeholder name; no offset means the zone is unknown.
std::wstring ResolvePlaceholder(const CIniFile& ini, const std::wstring& name, std::optional<int> offsetMinutes);

// Expands every resolvable "%name%" of the value; unresolved ones stay literally.
std::wstring ExpandPlaceholders(const CIniFile& ini, std::wstring value, std::optional<int> offsetMinutes);

// The standard offset of the computer's time zone, daylight saving not applied.
std::optional<int> CurrentUtcOffsetMinutes();

// Substitutes the "%s" of a settings format in order; "%%" gives "%" and any
// other '%' stays as it is (the text comes from settings that release tooling
// may rewrite, so it is never handed to printf).
std::wstring FormatSettingsText(const std::wstring& format, const std::wstring& first, const std::wstring& second);
