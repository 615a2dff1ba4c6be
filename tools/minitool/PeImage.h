#pragma once
// A PE image (PE32 or PE32+) held in memory: its headers read and checked
// against the file size, so every later step can trust offsets and sizes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace minitool {

using Bytes = std::vector<uint8_t>;

uint16_t GetLe16(const Bytes& b, size_t at);
uint32_t GetLe32(const Bytes& b, size_t at);
void PutLe16(Bytes& b, size_t at, uint16_t value);
void PutLe32(Bytes& b, size_t at, uint32_t value);

constexpr size_t kSectionHeaderBytes = 40;

struct PeSection {
    std::string name;           // up to 8 characters
    size_t headerOffset = 0;    // file offset of its section header
    uint32_t virtualSize = 0;
    uint32_t virtualAddress = 0;
    uint32_t rawSize = 0;
    uint32_t rawOffset = 0;
    uint32_t characteristics = 0;
};

// The bytes a section occupies in memory (the loader maps its virtual size;
// a section without one, its raw data).
uint32_t SectionExtent(const PeSection& section);

struct DataDirectory {
    size_t entryOffset = 0;  // file offset of the directory entry itself
    uint32_t address = 0;    // an RVA; a file offset for the security directory
    uint32_t size = 0;
};

enum DirectoryIndex : unsigned { kResourceDirectory = 2, kSecurityDirectory = 4 };

class PeImage {
public:
    // Reads and checks the headers; false with a message for anything that is
    // not a sound PE image (the bytes are not kept: pass the same buffer on).
    bool Parse(const Bytes& image, std::string& error);

    bool IsPe32Plus() const { return pe32Plus_; }
    uint16_t Machine() const { return machine_; }
    std::string FormatName() const;
    size_t FileHeaderOffset() const { return fileHeader_; }
    size_t OptionalHeaderOffset() const { return optionalHeader_; }
    size_t ChecksumOffset() const { return optionalHeader_ + 64; }
    size_t SizeOfImageOffset() const { return optionalHeader_ + 56; }
    size_t SectionTableOffset() const { return sectionTable_; }
    uint32_t FileAlignment() const { return fileAlignment_; }
    uint32_t SectionAlignment() const { return sectionAlignment_; }
    uint32_t SizeOfHeaders() const { return sizeOfHeaders_; }
    uint32_t SizeOfImage() const { return sizeOfImage_; }
    const std::vector<PeSection>& Sections() const { return sections_; }
    // The directory entry, or nullptr when the header does not hold it.
    const DataDirectory* Directory(unsigned index) const;

    // The first section with this name (case-insensitive when asked).
    const PeSection* FindSection(const std::string& name, bool ignoreCase = false) const;
    // The file offset of an RVA range that lies wholly in one section's raw
    // data (or in the headers); false otherwise.
    bool RvaToOffset(uint32_t rva, uint32_t size, size_t& offset) const;
    // One past the last byte of section data (at least the headers' end).
    size_t EndOfSectionData() const;

private:
    bool pe32Plus_ = false;
    uint16_t machine_ = 0;
    size_t fileSize_ = 0;
    size_t fileHeader_ = 0;
    size_t optionalHeader_ = 0;
    size_t sectionTable_ = 0;
    uint32_t fileAlignment_ = 0;
    uint32_t sectionAlignment_ = 0;
    uint32_t sizeOfHeaders_ = 0;
    uint32_t sizeOfImage_ = 0;
    std::vector<PeSection> sections_;
    std::vector<DataDirectory> directories_;
};

// The optional header's checksum as the loader's image-help routine computes
// it: 16-bit one's-complement-style sum of the file with the checksum field
// taken as zero, plus the file length.
uint32_t ComputePeChecksum(const Bytes& image, size_t checksumOffset);

}  // namespace minitool
