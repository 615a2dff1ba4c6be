#include "PackageReader.h"

#include <cstdio>

namespace rp {

namespace {
constexpr size_t kHeaderSize = 280;

class Cursor {
public:
    Cursor(const std::vector<uint8_t>& bytes, size_t start) : bytes_(bytes), pos_(start) {}
    bool AtEnd() const { return pos_ >= bytes_.size(); }
    size_t Pos() const { return pos_; }
    bool Need(size_t count, std::string& error) const
    {
        if (bytes_.size() - pos_ >= count) return true;
        error = "truncated at offset " + std::to_string(pos_) + ": " + std::to_string(count) + " more bytes needed";
        return false;
    }
    uint8_t U8() { return bytes_[pos_++]; }
    uint16_t U16()
    {
        uint16_t v = uint16_t(bytes_[pos_] | (bytes_[pos_ + 1] << 8));
        pos_ += 2;
        return v;
    }
    uint32_t U32()
    {
        uint32_t v = uint32_t(U16());
        return v | (uint32_t(U16()) << 16);
    }

private:
    const std::vector<uint8_t>& bytes_;
    size_t pos_;
};

std::string Hex(uint32_t id)
{
    char text[16];
    snprintf(text, sizeof(text), "0x%08X", unsigned(id));
    return text;
}

std::string At(size_t offset) { return " at offset " + std::to_string(offset); }

bool ReadText(Cursor& in, std::u16string& text, std::string& error)
{
    if (!in.Need(2, error)) return false;
    uint16_t length = in.U16();
    if (!in.Need(size_t(length) * 2 + 2, error)) return false;
    text.clear();
    for (uint16_t i = 0; i < length; ++i) text.push_back(char16_t(in.U16()));
    size_t terminatorAt = in.Pos();
    if (in.U16() != 0) {
        error = "text not terminated by a zero code unit" + At(terminatorAt);
        return false;
    }
    return true;
}

bool ReadList(Cursor& in, ListRecord& list, std::string& error)
{
    if (!in.Need(7, error)) return false;
    size_t typeAt = in.Pos();
    list.type = in.U8();
    uint32_t length = in.U32();
    if (list.type != 3 && list.type != 4) {
        error = "list " + Hex(list.id) + " has unknown type " + std::to_string(list.type) + At(typeAt);
        return false;
    }
    if (!in.Need(2, error)) return false;
    size_t payloadStart = in.Pos();
    uint16_t count = in.U16();
    for (uint16_t i = 0; i < count; ++i) {
        if (list.type == 4) {
            if (!in.Need(4, error)) return false;
            list.ints.push_back(int32_t(in.U32()));
        } else {
            std::u16string text;
            if (!ReadText(in, text, error)) return false;
            list.texts.push_back(text);
        }
    }
    if (in.Pos() - payloadStart != length) {
        error = "list " + Hex(list.id) + " length field " + std::to_string(length) + " does not match its " +
                std::to_string(in.Pos() - payloadStart) + " bytes" + At(typeAt + 1);
        return false;
    }
    return true;
}

bool ReadValue(Cursor& in, ValueRecord& value, std::string& error)
{
    if (!in.Need(1, error)) return false;
    size_t typeAt = in.Pos();
    value.type = in.U8();
    if (value.type == 8) {
        if (!in.Need(4, error)) return false;
        value.number = int32_t(in.U32());
        return true;
    }
    if (value.type == 7) return ReadText(in, value.text, error);
    error = "value " + Hex(value.id) + " has unknown type " + std::to_string(value.type) + At(typeAt);
    return false;
}

int SectionOf(uint32_t id)
{
    switch (id >> 24) {
    case 0x05: return 0;
    case 0x04: return 1;
    case 0x02: return 2;
    default: return -1;
    }
}

bool ReadBody(const std::vector<uint8_t>& bytes, Package& package, std::string& error)
{
    Cursor in(bytes, kHeaderSize);
    int lastSection = 0;
    bool haveId = false;
    uint32_t lastId = 0;
    while (!in.AtEnd()) {
        size_t recordAt = in.Pos();
        if (!in.Need(4, error)) return false;
        uint32_t id = in.U32();
        int section = SectionOf(id);
        if (section < 0) {
            error = "item id " + Hex(id) + " belongs to no item class" + At(recordAt);
            return false;
        }
        if (section < lastSection || (haveId && section == lastSection && id <= lastId)) {
            error = "item " + Hex(id) + " out of order" + At(recordAt);
            return false;
        }
        lastSection = section;
        lastId = id;
        haveId = true;
        if (section == 0) {
            if (!in.Need(4, error)) return false;
            package.counters.emplace_back(id, int32_t(in.U32()));
        } else if (section == 1) {
            ListRecord list;
            list.id = id;
            if (!ReadList(in, list, error)) return false;
            package.lists.push_back(list);
        } else {
            ValueRecord value;
            value.id = id;
            if (!ReadValue(in, value, error)) return false;
            package.values.push_back(value);
        }
    }
    return true;
}

void AppendJsonString(std::string& out, const std::u16string& text)
{
    out.push_back('"');
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        char escaped[8];
        bool highSurrogate = c >= 0xD800 && c <= 0xDBFF;
        bool pairComplete = highSurrogate && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(char(c));
        } else if (c < 0x20 || (c >= 0xD800 && c <= 0xDFFF && !pairComplete)) {
            snprintf(escaped, sizeof(escaped), "\\u%04X", unsigned(c));
            out += escaped;
        } else if (pairComplete) {
            out += Utf16ToUtf8(text.substr(i, 2));
            ++i;
        } else {
            out += Utf16ToUtf8(std::u16string(1, c));
        }
    }
    out.push_back('"');
}
}  // namespace

std::string Utf16ToUtf8(const std::u16string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (uint32_t(text[i + 1]) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out.push_back(char(c));
        } else if (c < 0x800) {
            out.push_back(char(0xC0 | (c >> 6)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(char(0xE0 | (c >> 12)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else {
            out.push_back(char(0xF0 | (c >> 18)));
            out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

const ValueRecord* Package::FindValue(uint32_t id) const
{
    for (const ValueRecord& value : values)
        if (value.id == id) return &value;
    return nullptr;
}

const ListRecord* Package::FindList(uint32_t id) const
{
    for (const ListRecord& list : lists)
        if (list.id == id) return &list;
    return nullptr;
}

const int32_t* Package::FindCounter(uint32_t id) const
{
    for (const auto& counter : counters)
        if (counter.first == id) return &counter.second;
    return nullptr;
}

bool ReadPackage(const std::vector<uint8_t>& bytes, Package& package, std::string& error)
{
    package = Package();
    if (bytes.size() < kHeaderSize) {
        error = "truncated header: " + std::to_string(bytes.size()) + " of 280 bytes";
        return false;
    }
    Cursor in(bytes, 0);
    for (uint16_t& number : package.header.version) number = in.U16();
    for (uint16_t& field : package.header.time) field = in.U16();
    for (int i = 0; i < 128; ++i) package.header.identity.push_back(char16_t(in.U16()));
    package.header.bodyLength = in.U32();
    if (package.header.bodyLength != bytes.size() - kHeaderSize) {
        error = "body length field says " + std::to_string(package.header.bodyLength) + " bytes but " +
                std::to_string(bytes.size() - kHeaderSize) + " follow the header";
        return false;
    }
    const uint16_t* t = package.header.time;
    if (t[1] < 1 || t[1] > 12 || t[2] < 1 || t[2] > 31 || t[3] > 23 || t[4] > 59 || t[5] > 59) {
        error = "header time fields out of range";
        return false;
    }
    return ReadBody(bytes, package, error);
}

std::string PackageToJson(const Package& package)
{
    const Header& h = package.header;
    std::string out = "{\n  \"header\": {\n";
    char line[160];
    snprintf(line, sizeof(line), "    \"version\": \"%u.%u.%u.%u\",\n", h.version[0], h.version[1], h.version[2],
             h.version[3]);
    out += line;
    snprintf(line, sizeof(line), "    \"time\": \"%04u-%02u-%02u %02u:%02u:%02u\",\n", h.time[0], h.time[1],
             h.time[2], h.time[3], h.time[4], h.time[5]);
    out += line;
    std::u16string identity = h.identity.substr(0, h.identity.find(char16_t(0)));
    out += "    \"identity\": ";
    AppendJsonString(out, identity);
    out += ",\n    \"identityMarker\": ";
    out += h.identity.size() == 128 && h.identity[127] == u'M' ? "true" : "false";
    out += ",\n    \"bodyLength\": " + std::to_string(h.bodyLength) + "\n  },\n";

    out += "  \"counters\": {";
    for (size_t i = 0; i < package.counters.size(); ++i)
        out += std::string(i ? "," : "") + "\n    \"" + Hex(package.counters[i].first) +
               "\": " + std::to_string(package.counters[i].second);
    out += package.counters.empty() ? "},\n" : "\n  },\n";

    out += "  \"lists\": {";
    for (size_t i = 0; i < package.lists.size(); ++i) {
        const ListRecord& list = package.lists[i];
        out += std::string(i ? "," : "") + "\n    \"" + Hex(list.id) + "\": {\"type\": \"" +
               (list.type == 3 ? "text" : "int") + "\", \"count\": " +
               std::to_string(list.type == 3 ? list.texts.size() : list.ints.size()) + ", \"values\": [";
        for (size_t v = 0; v < list.texts.size(); ++v) {
            if (v) out += ", ";
            AppendJsonString(out, list.texts[v]);
        }
        for (size_t v = 0; v < list.ints.size(); ++v) out += (v ? ", " : "") + std::to_string(list.ints[v]);
        out += "]}";
    }
    out += package.lists.empty() ? "},\n" : "\n  },\n";

    out += "  \"values\": {";
    for (size_t i = 0; i < package.values.size(); ++i) {
        const ValueRecord& value = package.values[i];
        out += std::string(i ? "," : "") + "\n    \"" + Hex(value.id) + "\": ";
        if (value.type == 8)
            out += std::to_string(value.number);
        else
            AppendJsonString(out, value.text);
    }
    out += package.values.empty() ? "}\n}\n" : "\n  }\n}\n";
    return out;
}

}  // namespace rp
