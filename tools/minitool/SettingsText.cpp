#include "SettingsText.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace minitool {

namespace {

std::string Lower(std::string s)
{
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Trim(const std::string& s)
{
    const char* blanks = " \t";
    size_t first = s.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}


bool Utf16ToUtf8(const std::vector<uint8_t>& raw, size_t start, bool bigEndian, std::string& utf8, std::string& error)
{
    if ((raw.size() - start) % 2 != 0) {
        error = "the settings file is UTF-16 but has an odd number of bytes";
        return false;
    }
    std::vector<uint16_t> units;
    for (size_t i = start; i < raw.size(); i += 2)
        units.push_back(bigEndian ? uint16_t(raw[i] << 8 | raw[i + 1]) : uint16_t(raw[i] | raw[i + 1] << 8));
    while (!units.empty() && units.back() == 0) units.pop_back();
    utf8.clear();
    for (size_t k = 0; k < units.size(); ++k) {
        uint32_t c = units[k];
        if (c >= 0xD800 && c <= 0xDBFF && k + 1 < units.size() && units[k + 1] >= 0xDC00 && units[k + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++k] - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            error = "the settings text has an unpaired UTF-16 surrogate (character " + std::to_string(k) + ")";
            return false;
        }
        AppendUtf8(utf8, c);
    }
    return true;
}

// Number of UTF-16 code units the program will hold for this UTF-8 text.
size_t Utf16Length(const std::string& utf8)
{
    size_t units = 0;
    for (unsigned char c : utf8) {
        if ((c & 0xC0) == 0x80) continue;
        units += c >= 0xF0 ? 2 : 1;
    }
    return units;
}

struct RequiredKey {
    const char* section;
    const char* key;
    size_t maxUnits;  // the program's read buffer less its terminating zero
    bool mayBeEmpty;
};

// Text values are read into 260-character buffers, expanded addresses into
// 1,024-character ones.
const RequiredKey kRequiredKeys[] = {
    {"params", "ChannelName", 259, true},
    {"params", "ChannelNumber", 259, true},
    {"global", "VERSION_INFO_URL", 1023, false},
    {"DataReport", "ReportURLMini", 1023, true},
};

}  // namespace

void AppendUtf8(std::string& out, uint32_t c)
{
    if (c < 0x80) {
        out.push_back(char(c));
    } else if (c < 0x800) {
        out += {char(0xC0 | (c >> 6)), char(0x80 | (c & 0x3F))};
    } else if (c < 0x10000) {
        out += {char(0xE0 | (c >> 12)), char(0x80 | ((c >> 6) & 0x3F)), char(0x80 | (c & 0x3F))};
    } else {
        out += {char(0xF0 | (c >> 18)), char(0x80 | ((c >> 12) & 0x3F)), char(0x80 | ((c >> 6) & 0x3F)),
                char(0x80 | (c & 0x3F))};
    }
}

bool SettingsFileToUtf8(const std::vector<uint8_t>& raw, std::string& utf8, std::string& error)
{
    if (raw.size() >= 2 && raw[0] == 0xFF && raw[1] == 0xFE) return Utf16ToUtf8(raw, 2, false, utf8, error);
    if (raw.size() >= 2 && raw[0] == 0xFE && raw[1] == 0xFF) return Utf16ToUtf8(raw, 2, true, utf8, error);
    if (raw.size() >= 2 && raw[0] != 0 && raw[1] == 0) return Utf16ToUtf8(raw, 0, false, utf8, error);
    if (raw.size() >= 2 && raw[0] == 0 && raw[1] != 0) return Utf16ToUtf8(raw, 0, true, utf8, error);
    size_t start = raw.size() >= 3 && raw[0] == 0xEF && raw[1] == 0xBB && raw[2] == 0xBF ? 3 : 0;
    size_t end = raw.size();
    while (end > start && raw[end - 1] == 0) --end;
    utf8.assign(raw.begin() + std::ptrdiff_t(start), raw.begin() + std::ptrdiff_t(end));
    return true;  // the encoder checks the UTF-8 itself
}

bool CheckSettingsText(const std::string& utf8, std::string& error)
{
    std::map<std::string, std::map<std::string, std::string>> values;  // lower-case names
    std::map<std::string, bool> sectionSeen;
    std::string section;
    bool inSection = false, sectionIsRepeat = false;
    size_t lineNumber = 0, at = 0;
    while (at <= utf8.size()) {
        size_t end = utf8.find('\n', at);
        if (end == std::string::npos) end = utf8.size();
        std::string line = utf8.substr(at, end - at);
        at = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        line = Trim(line);
        const std::string where = "line " + std::to_string(lineNumber) + ": ";
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[') {
            size_t close = line.find(']');
            if (close == std::string::npos || close == 1 || close + 1 != line.size()) {
                error = where + "a section line must be [name]: " + line;
                return false;
            }
            section = Lower(Trim(line.substr(1, close - 1)));
            inSection = true;
            sectionIsRepeat = sectionSeen[section];
            sectionSeen[section] = true;
            continue;
        }
        size_t equals = line.find('=');
        if (equals == std::string::npos || Trim(line.substr(0, equals)).empty()) {
            error = where + "neither a [section], a key=value line nor a comment: " + line;
            return false;
        }
        if (!inSection) {
            error = where + "key outside any section: " + line;
            return false;
        }
        if (sectionIsRepeat) continue;  // the first section of a name wins
        std::string key = Lower(Trim(line.substr(0, equals)));
        values[section].emplace(key, Trim(line.substr(equals + 1)));  // the first key wins
    }
    for (const RequiredKey& required : kRequiredKeys) {
        const std::string name = std::string(required.section) + "/" + required.key;
        auto s = values.find(Lower(required.section));
        if (s == values.end() || s->second.find(Lower(required.key)) == s->second.end()) {
            error = "the settings text lacks " + name + ", which the program reads";
            return false;
        }
        const std::string& value = s->second.find(Lower(required.key))->second;
        if (value.empty() && !required.mayBeEmpty) {
            error = name + " is empty";
            return false;
        }
        if (Utf16Length(value) > required.maxUnits) {
            error = name + " is longer than the " + std::to_string(required.maxUnits) +
                    " characters the program reads";
            return false;
        }
    }
    return true;
}

}  // namespace minitool
