#include "app/Placeholders.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr size_t kValueBufferChars = 1024;
constexpr size_t kSectionBufferChars = 1024;
constexpr size_t kDefaultBufferChars = 260;
// A placeholder whose value names itself again would never finish expanding.
constexpr int kMaxReplacements = 64;

struct BracketForm {
    wchar_t open;
    wchar_t close;
};
constexpr BracketForm kForms[] = {{L'{', L')'}, {L'{', L'}'}, {L'(', L')'}, {L'(', L'}'}};

int SignedMinutes(int hours, int minutes, wchar_t sign)
{
    int value = std::abs(hours) * 60 + minutes;
    return sign == L'-' ? -value : value;
}

}  // namespace

bool IntervalKeyMatches(const std::wstring& key, int offset, bool* isIntervalKey)
{
    if (isIntervalKey) *isIntervalKey = false;
    if (key.size() != 15) return false;
    for (const BracketForm& form : kForms) {
        if (key.front() != form.open || key.back() != form.close) continue;
        std::wstring inner = key.substr(1, 13);
        int h1 = 0, m1 = 0, h2 = 0, m2 = 0;
        if (swscanf(inner.c_str(), L"%d:%d,%d:%d", &h1, &m1, &h2, &m2) != 4) return false;
        if (isIntervalKey) *isIntervalKey = true;
        int lower = SignedMinutes(h1, m1, inner[0]);
        int upper = SignedMinutes(h2, m2, inner[7]);
        bool aboveLower = form.open == L'{' ? offset >= lower : offset > lower;
        bool belowUpper = form.close == L'}' ? offset <= upper : offset < upper;
        return aboveLower && belowUpper;
    }
    return false;
}

std::wstring ResolvePlaceholder(const CIniFile& ini, const std::wstring& name, std::optional<int> offset)
{
    if (offset) {
        for (const std::wstring& entry : ini.GetSection(name, kSectionBufferChars)) {
            size_t equals = entry.find(L'=');
            if (equals == std::wstring::npos) continue;
            if (!IntervalKeyMatches(entry.substr(0, equals), *offset)) continue;
            std::wstring value = entry.substr(equals + 1);
            if (!value.empty()) return value;
        }
    }
    std::wstring fallback = ini.GetString(name, L"default", kDefaultBufferChars);
    if (fallback.empty()) return fallback;
    std::wstring named = ini.GetString(name, fallback, kDefaultBufferChars);
    return named.empty() ? fallback : named;
}

std::wstring ExpandPlaceholders(const CIniFile& ini, std::wstring value, std::optional<int> offset)
{
    if (value.size() >= kValueBufferChars) value.resize(kValueBufferChars - 1);
    size_t p = value.find(L'%');
    for (int replacements = 0; p != std::wstring::npos && replacements < kMaxReplacements;) {
        size_t q = value.find(L'%', p + 1);
        if (q == std::wstring::npos || q == p + 1) break;
        std::wstring placeholder = value.substr(p, q - p + 1);
        std::wstring resolved = ResolvePlaceholder(ini, value.substr(p + 1, q - p - 1), offset);
        if (resolved.empty()) {
            p = value.find(L'%', q + 1);
            continue;
        }
        for (size_t at = value.find(placeholder); at != std::wstring::npos && value.size() < kValueBufferChars * 2;
             at = value.find(placeholder, at + resolved.size()))
            value.replace(at, placeholder.size(), resolved);
        // The value lives in a fixed buffer: a replacement never makes it longer.
        if (value.size() >= kValueBufferChars) value.resize(kValueBufferChars - 1);
        ++replacements;
        p = value.find(L'%');
    }
    return value;
}

std::optional<int> CurrentUtcOffsetMinutes()
{
    TIME_ZONE_INFORMATION zone = {};
    if (GetTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID) return std::nullopt;
    return -int(zone.Bias);
}

std::wstring FormatSettingsText(const std::wstring& format, const std::wstring& first, const std::wstring& second)
{
    std::wstring out;
    int used = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == L'%' && i + 1 < format.size()) {
            if (format[i + 1] == L's') {
                out += used == 0 ? first : used == 1 ? second : std::wstring();
                ++used;
                ++i;
                continue;
            }
            if (format[i + 1] == L'%') {
                out += L'%';
                ++i;
                continue;
            }
        }
        out += format[i];
    }
    return out;
}
