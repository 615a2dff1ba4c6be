#include "PeSettings.h"

#include <cstring>

namespace minitool {

namespace {
uint16_t Le16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | (b[at + 1] << 8)); }
uint32_t Le32(const std::vector<uint8_t>& b, size_t at) { return uint32_t(Le16(b, at)) | (uint32_t(Le16(b, at + 2)) << 16); }

struct PeLayout {
    size_t optionalHeader = 0;
    size_t optionalSize = 0;
    size_t sections = 0;
    unsigned sectionCount = 0;
};

bool ReadLayout(const std::vector<uint8_t>& image, PeLayout& layout, std::string& error)
{
    if (image.size() < 0x40 || image[0] != 'M' || image[1] != 'Z') {
        error = "not an executable (no MZ header)";
        return false;
    }
    size_t pe = Le32(image, 0x3C);
    if (pe + 24 > image.size() || memcmp(&image[pe], "PE\0\0", 4) != 0) {
        error = "not a PE image";
        return false;
    }
    layout.sectionCount = Le16(image, pe + 6);
    layout.optionalSize = Le16(image, pe + 20);
    layout.optionalHeader = pe + 24;
    layout.sections = layout.optionalHeader + layout.optionalSize;
    if (layout.sections + size_t(layout.sectionCount) * 40 > image.size()) {
        error = "section table runs past the end of the file";
        return false;
    }
    return true;
}

// Decodes one UTF-8 sequence; 0xFFFFFFFF when it is malformed.
uint32_t NextCodePoint(const std::string& text, size_t& i)
{
    const uint32_t bad = 0xFFFFFFFF;
    unsigned char lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80) return lead;
    int extra = lead >= 0xF0 && lead <= 0xF4 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 && lead < 0xE0 ? 1 : -1;
    if (extra < 0 || i + size_t(extra) > text.size()) return bad;
    uint32_t cp = lead & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        unsigned char next = static_cast<unsigned char>(text[i++]);
        if ((next & 0xC0) != 0x80) return bad;
        cp = (cp << 6) | (next & 0x3F);
    }
    static const uint32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return bad;
    return cp;
}

void PutUnit(std::vector<uint8_t>& out, uint32_t unit)
{
    out.push_back(uint8_t(unit));
    out.push_back(uint8_t(unit >> 8));
}
}  // namespace

bool FindSection(const std::vector<uint8_t>& image, const char* name, SectionSpan& span, std::string& error)
{
    PeLayout layout;
    if (!ReadLayout(image, layout, error)) return false;
    for (unsigned i = 0; i < layout.sectionCount; ++i) {
        size_t entry = layout.sections + size_t(i) * 40;
        char sectionName[9] = {};
        memcpy(sectionName, &image[entry], 8);
        if (strcmp(sectionName, name) != 0) continue;
        uint32_t virtualSize = Le32(image, entry + 8);
        uint32_t rawSize = Le32(image, entry + 16);
        uint32_t rawOffset = Le32(image, entry + 20);
        span.offset = rawOffset;
        span.size = virtualSize && virtualSize < rawSize ? virtualSize : rawSize;
        if (span.offset + span.size > image.size() || span.size == 0) {
            error = std::string("section ") + name + " lies outside the file";
            return false;
        }
        return true;
    }
    error = std::string("no section named ") + name;
    return false;
}

bool EncodeSettings(const std::string& utf8, size_t areaSize, std::vector<uint8_t>& area, std::string& error)
{
    std::vector<uint8_t> bytes = {0xFF, 0xFE};
    size_t i = utf8.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (i < utf8.size()) {
        size_t at = i;
        uint32_t cp = NextCodePoint(utf8, i);
        if (cp == 0xFFFFFFFF) {
            error = "the settings text is not valid UTF-8 (byte " + std::to_string(at) + ")";
            return false;
        }
        if (cp == 0) {
            error = "the settings text contains a zero character (byte " + std::to_string(at) + ")";
            return false;
        }
        if (cp == '\r' || cp == '\n') {
            if (cp == '\r' && i < utf8.size() && utf8[i] == '\n') ++i;
            PutUnit(bytes, '\r');
            PutUnit(bytes, '\n');
        } else if (cp >= 0x10000) {
            PutUnit(bytes, 0xD800 + ((cp - 0x10000) >> 10));
            PutUnit(bytes, 0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            PutUnit(bytes, cp);
        }
    }
    PutUnit(bytes, 0);
    if (bytes.size() > areaSize) {
        error = "the settings text needs " + std::to_string(bytes.size()) + " bytes but the area holds " +
                std::to_string(areaSize);
        return false;
    }
    bytes.resize(areaSize, 0);
    area.swap(bytes);
    return true;
}

bool DecodeSettings(const uint8_t* area, size_t size, std::string& utf8, std::string& error)
{
    if (size < 4 || area[0] != 0xFF || area[1] != 0xFE) {
        error = "the settings area does not start with a byte-order mark";
        return false;
    }
    std::u16string text;
    size_t i = 2;
    for (; i + 1 < size; i += 2) {
        char16_t unit = char16_t(area[i] | (area[i + 1] << 8));
        if (unit == 0) break;
        text.push_back(unit);
    }
    if (i + 1 >= size) {
        error = "the settings text has no terminating zero";
        return false;
    }
    utf8.clear();
    for (size_t k = 0; k < text.size(); ++k) {
        uint32_t c = text[k];
        if (c >= 0xD800 && c <= 0xDBFF && k + 1 < text.size() && text[k + 1] >= 0xDC00 && text[k + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++k] - 0xDC00);
        else if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD;
        if (c < 0x80) {
            utf8.push_back(char(c));
        } else if (c < 0x800) {
            utf8 += {char(0xC0 | (c >> 6)), char(0x80 | (c & 0x3F))};
        } else if (c < 0x10000) {
            utf8 += {char(0xE0 | (c >> 12)), char(0x80 | ((c >> 6) & 0x3F)), char(0x80 | (c & 0x3F))};
        } else {
            utf8 += {char(0xF0 | (c >> 18)), char(0x80 | ((c >> 12) & 0x3F)), char(0x80 | ((c >> 6) & 0x3F)),
                     char(0x80 | (c & 0x3F))};
        }
    }
    return true;
}

void UpdatePeChecksum(std::vector<uint8_t>& image)
{
    PeLayout layout;
    std::string error;
    if (!ReadLayout(image, layout, error) || layout.optionalSize < 68) return;
    size_t checksumAt = layout.optionalHeader + 64;
    if (Le32(image, checksumAt) == 0) return;  // the image carries no checksum
    uint64_t sum = 0;
    for (size_t i = 0; i < image.size(); i += 2) {
        if (i >= checksumAt && i < checksumAt + 4) continue;
        uint32_t word = image[i] | (i + 1 < image.size() ? image[i + 1] << 8 : 0);
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    uint32_t checksum = uint32_t(sum) + uint32_t(image.size());
    for (int k = 0; k < 4; ++k) image[checksumAt + k] = uint8_t(checksum >> (8 * k));
}

bool HasSignature(const std::vector<uint8_t>& image)
{
    PeLayout layout;
    std::string error;
    if (!ReadLayout(image, layout, error)) return false;
    bool pe32Plus = Le16(image, layout.optionalHeader) == 0x20B;
    size_t directories = layout.optionalHeader + (pe32Plus ? 112 : 96);
    size_t security = directories + 4 * 8;
    if (security + 8 > layout.optionalHeader + layout.optionalSize) return false;
    return Le32(image, security) != 0 && Le32(image, security + 4) != 0;
}

}  // namespace minitool
