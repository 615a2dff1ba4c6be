#pragma once
// Decodes a report package (280-byte header, then counters, list items and
// value items) and renders it as JSON. Plain C++: builds on the host and for
// the program's tests alike.
#include <cstdint>
#include <string>
#include <vector>

namespace rp {

struct Header {
    uint16_t version[4] = {};
    uint16_t time[6] = {};  // year, month, day, hour, minute, second
    std::u16string identity;  // the 128 code units of the field
    uint32_t bodyLength = 0;
};

struct ListRecord {
    uint32_t id = 0;
    uint8_t type = 0;  // 3 texts, 4 integers
    std::vector<std::u16string> texts;
    std::vector<int32_t> ints;
};

struct ValueRecord {
    uint32_t id = 0;
    uint8_t type = 0;  // 7 text, 8 integer
    std::u16string text;
    int32_t number = 0;
};

struct Package {
    Header header;
    std::vector<std::pair<uint32_t, int32_t>> counters;
    std::vector<ListRecord> lists;
    std::vector<ValueRecord> values;

    const ValueRecord* FindValue(uint32_t id) const;
    const ListRecord* FindList(uint32_t id) const;
    const int32_t* FindCounter(uint32_t id) const;
};

// False with a message naming the offset when the bytes are not a well-formed package.
bool ReadPackage(const std::vector<uint8_t>& bytes, Package& package, std::string& error);
std::string PackageToJson(const Package& package);
std::string Utf16ToUtf8(const std::u16string& text);

}  // namespace rp
