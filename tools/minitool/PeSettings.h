#pragma once
// The settings area of the program's image: the whole content of its PE
// section ".brkcfg", holding the settings text as UTF-16LE with a byte-order
// mark, CRLF line ends and a terminating zero, the rest zero-filled.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace minitool {

struct SectionSpan {
    size_t offset = 0;  // file offset of the area
    size_t size = 0;    // bytes of the area
};

// Finds the section by name in the PE headers; false with a message when the
// image is not a sound PE file or has no such (non-empty) section.
bool FindSection(const std::vector<uint8_t>& image, const char* name, SectionSpan& span, std::string& error);
// UTF-8 text (an optional BOM is dropped; line ends become CRLF) to the bytes
// of a settings area of areaSize bytes. False with a message when the text is
// not valid UTF-8, contains a zero character or does not fit.
bool EncodeSettings(const std::string& utf8, size_t areaSize, std::vector<uint8_t>& area, std::string& error);
// The settings text of an area as UTF-8 (CRLF kept); false when the area does
// not start with the byte-order mark or has no terminating zero.
bool DecodeSettings(const uint8_t* area, size_t size, std::string& utf8, std::string& error);

}  // namespace minitool
