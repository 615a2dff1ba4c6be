#include "PeSettings.h"

#include <cstring>

#include "PeImage.h"

namespace minitool {

namespace {

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
    PeImage pe;
    if (!pe.Parse(image, error)) return false;
    const PeSection* section = pe.FindSection(name);
    if (!section) {
        error = std::string("no section named ") + name + " (not a MiniSetup program?)";
        return false;
    }
    span.offset = section->rawOffset;
    span.size = section->virtualSize && section->virtualSize < section->rawSize ? section->virtualSize
                                                                               : section->rawSize;
    if (span.size == 0) {
        error = std::string("section ") + name + " is empty";
        return false;
    }
    return true;
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

}  // namespace minitool
