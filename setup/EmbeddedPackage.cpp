#include "setup/EmbeddedPackage.h"

namespace {

constexpr size_t kDosHeaderBytes = 64;
constexpr size_t kNewHeaderOffsetField = 0x3C;
constexpr size_t kPeSignatureBytes = 4;
constexpr size_t kFileHeaderBytes = 20;
constexpr size_t kSectionCountField = 2;
constexpr size_t kOptionalHeaderSizeField = 16;
constexpr size_t kSectionHeaderBytes = 40;
constexpr size_t kSectionNameBytes = 8;
constexpr size_t kRawSizeField = 16;
constexpr size_t kRawOffsetField = 20;

uint32_t ReadU16(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
}

uint32_t ReadU32(const uint8_t* p)
{
    return ReadU16(p) | ReadU16(p + 2) << 16;
}

// True when [offset, offset + length) lies inside a buffer of `size` bytes.
bool Inside(uint64_t offset, uint64_t length, size_t size)
{
    return offset <= size && length <= size - offset;
}

bool IsFullName(const uint8_t* name)
{
    static const char kName[] = "full";
    for (size_t i = 0; i < kSectionNameBytes; ++i) {
        const char expected = i < 4 ? kName[i] : '\0';
        char c = static_cast<char>(name[i]);
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != expected)
            return false;
    }
    return true;
}

}  // namespace

bool FindFullSection(const uint8_t* image, size_t size, EmbeddedSection* section)
{
    if (image == nullptr || size < kDosHeaderBytes || image[0] != 'M' || image[1] != 'Z')
        return false;
    const uint64_t peOffset = ReadU32(image + kNewHeaderOffsetField);
    if (!Inside(peOffset, kPeSignatureBytes + kFileHeaderBytes, size))
        return false;
    const uint8_t* pe = image + peOffset;
    if (pe[0] != 'P' || pe[1] != 'E' || pe[2] != 0 || pe[3] != 0)
        return false;
    const uint8_t* fileHeader = pe + kPeSignatureBytes;
    const uint64_t sectionCount = ReadU16(fileHeader + kSectionCountField);
    const uint64_t tableOffset =
        peOffset + kPeSignatureBytes + kFileHeaderBytes + ReadU16(fileHeader + kOptionalHeaderSizeField);
    if (!Inside(tableOffset, sectionCount * kSectionHeaderBytes, size))
        return false;
    for (uint64_t i = 0; i < sectionCount; ++i) {
        const uint8_t* header = image + tableOffset + i * kSectionHeaderBytes;
        if (!IsFullName(header))
            continue;
        const uint64_t rawSize = ReadU32(header + kRawSizeField);
        const uint64_t rawOffset = ReadU32(header + kRawOffsetField);
        if (rawSize == 0 || !Inside(rawOffset, rawSize, size))
            return false;
        section->offset = static_cast<size_t>(rawOffset);
        section->size = static_cast<size_t>(rawSize);
        return true;
    }
    return false;
}
