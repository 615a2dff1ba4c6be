#include "PeImage.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace minitool {

uint16_t GetLe16(const Bytes& b, size_t at) { return uint16_t(b[at] | (b[at + 1] << 8)); }
uint32_t GetLe32(const Bytes& b, size_t at) { return uint32_t(GetLe16(b, at)) | (uint32_t(GetLe16(b, at + 2)) << 16); }
void PutLe16(Bytes& b, size_t at, uint16_t value)
{
    b[at] = uint8_t(value);
    b[at + 1] = uint8_t(value >> 8);
}
void PutLe32(Bytes& b, size_t at, uint32_t value)
{
    PutLe16(b, at, uint16_t(value));
    PutLe16(b, at + 2, uint16_t(value >> 16));
}

namespace {

constexpr size_t kPeSignatureBytes = 4;
constexpr size_t kFileHeaderBytes = 20;
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr unsigned kMaxSections = 96;  // the loader's own limit
constexpr unsigned kMaxDirectories = 16;

bool IsPowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

// [offset, offset + size) lies inside [0, limit).
bool Within(uint64_t offset, uint64_t size, uint64_t limit) { return offset <= limit && size <= limit - offset; }

bool SameName(const std::string& a, const std::string& b, bool ignoreCase)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (ignoreCase) {
            x = char(std::tolower(static_cast<unsigned char>(x)));
            y = char(std::tolower(static_cast<unsigned char>(y)));
        }
        if (x != y) return false;
    }
    return true;
}

}  // namespace

bool PeImage::Parse(const Bytes& image, std::string& error)
{
    *this = PeImage();
    fileSize_ = image.size();
    if (image.size() < 0x40 || image[0] != 'M' || image[1] != 'Z') {
        error = "not a Windows program (no MZ header)";
        return false;
    }
    const uint32_t pe = GetLe32(image, 0x3C);
    if (!Within(pe, kPeSignatureBytes + kFileHeaderBytes, image.size()) || memcmp(&image[pe], "PE\0\0", 4) != 0) {
        error = "not a PE image (no PE signature where the MZ header points)";
        return false;
    }
    fileHeader_ = pe + kPeSignatureBytes;
    machine_ = GetLe16(image, fileHeader_);
    const unsigned sectionCount = GetLe16(image, fileHeader_ + 2);
    const size_t optionalSize = GetLe16(image, fileHeader_ + 16);
    optionalHeader_ = fileHeader_ + kFileHeaderBytes;
    if (!Within(optionalHeader_, optionalSize, image.size()) || optionalSize < 2) {
        error = "the optional header runs past the end of the file";
        return false;
    }
    const uint16_t magic = GetLe16(image, optionalHeader_);
    if (magic != kPe32Magic && magic != kPe32PlusMagic) {
        error = "unknown optional header (magic " + std::to_string(magic) + ")";
        return false;
    }
    pe32Plus_ = magic == kPe32PlusMagic;
    const size_t directoriesAt = pe32Plus_ ? 112 : 96;
    if (optionalSize < directoriesAt) {
        error = "the optional header is too short";
        return false;
    }
    sectionAlignment_ = GetLe32(image, optionalHeader_ + 32);
    fileAlignment_ = GetLe32(image, optionalHeader_ + 36);
    sizeOfImage_ = GetLe32(image, optionalHeader_ + 56);
    sizeOfHeaders_ = GetLe32(image, optionalHeader_ + 60);
    const uint32_t directoryCount = GetLe32(image, optionalHeader_ + directoriesAt - 4);
    if (!IsPowerOfTwo(fileAlignment_) || !IsPowerOfTwo(sectionAlignment_) || fileAlignment_ > sectionAlignment_) {
        error = "impossible file or section alignment";
        return false;
    }
    if (directoryCount > kMaxDirectories || directoriesAt + size_t(directoryCount) * 8 > optionalSize) {
        error = "the data directories do not fit the optional header";
        return false;
    }
    for (uint32_t i = 0; i < directoryCount; ++i) {
        DataDirectory d;
        d.entryOffset = optionalHeader_ + directoriesAt + size_t(i) * 8;
        d.address = GetLe32(image, d.entryOffset);
        d.size = GetLe32(image, d.entryOffset + 4);
        directories_.push_back(d);
    }
    sectionTable_ = optionalHeader_ + optionalSize;
    if (sectionCount == 0 || sectionCount > kMaxSections) {
        error = "implausible number of sections (" + std::to_string(sectionCount) + ")";
        return false;
    }
    const size_t tableEnd = sectionTable_ + size_t(sectionCount) * kSectionHeaderBytes;
    if (tableEnd > image.size() || tableEnd > sizeOfHeaders_ || sizeOfHeaders_ > image.size()) {
        error = "the section table runs past the headers or the file (truncated?)";
        return false;
    }
    for (unsigned i = 0; i < sectionCount; ++i) {
        PeSection s;
        s.headerOffset = sectionTable_ + size_t(i) * kSectionHeaderBytes;
        const char* name = reinterpret_cast<const char*>(&image[s.headerOffset]);
        s.name.assign(name, strnlen(name, 8));
        s.virtualSize = GetLe32(image, s.headerOffset + 8);
        s.virtualAddress = GetLe32(image, s.headerOffset + 12);
        s.rawSize = GetLe32(image, s.headerOffset + 16);
        s.rawOffset = GetLe32(image, s.headerOffset + 20);
        s.characteristics = GetLe32(image, s.headerOffset + 36);
        if (s.rawSize != 0 && !Within(s.rawOffset, s.rawSize, image.size())) {
            error = "section " + s.name + " runs past the end of the file (truncated?)";
            return false;
        }
        if (uint64_t(s.virtualAddress) + SectionExtent(s) > sizeOfImage_) {
            error = "section " + s.name + " lies outside the image size";
            return false;
        }
        sections_.push_back(s);
    }
    if (const DataDirectory* security = Directory(kSecurityDirectory)) {
        if (security->address != 0 && !Within(security->address, security->size, image.size())) {
            error = "the certificate table lies outside the file";
            return false;
        }
    }
    return true;
}

uint32_t SectionExtent(const PeSection& section)
{
    return section.virtualSize != 0 ? section.virtualSize : section.rawSize;
}

std::string PeImage::FormatName() const
{
    const char* machine = machine_ == 0x14C ? "x86" : machine_ == 0x8664 ? "x86-64" : machine_ == 0xAA64 ? "ARM64"
                                                                                                          : "other";
    return std::string(pe32Plus_ ? "PE32+" : "PE32") + " (" + machine + ")";
}

const DataDirectory* PeImage::Directory(unsigned index) const
{
    return index < directories_.size() ? &directories_[index] : nullptr;
}

const PeSection* PeImage::FindSection(const std::string& name, bool ignoreCase) const
{
    for (const PeSection& s : sections_)
        if (SameName(s.name, name, ignoreCase)) return &s;
    return nullptr;
}

bool PeImage::RvaToOffset(uint32_t rva, uint32_t size, size_t& offset) const
{
    if (uint64_t(rva) + size <= sizeOfHeaders_) {
        offset = rva;
        return true;
    }
    for (const PeSection& s : sections_) {
        if (rva < s.virtualAddress) continue;
        const uint64_t into = uint64_t(rva) - s.virtualAddress;
        if (into + size > s.rawSize) continue;
        offset = size_t(s.rawOffset + into);
        return Within(offset, size, fileSize_);
    }
    return false;
}

size_t PeImage::EndOfSectionData() const
{
    size_t end = sizeOfHeaders_;
    for (const PeSection& s : sections_)
        if (s.rawSize != 0) end = std::max(end, size_t(s.rawOffset) + s.rawSize);
    return end;
}

uint32_t ComputePeChecksum(const Bytes& image, size_t checksumOffset)
{
    // The checksum field counts as zero, wherever it falls in the words.
    auto byteAt = [&](size_t i) -> uint32_t {
        if (i >= image.size() || (i >= checksumOffset && i < checksumOffset + 4)) return 0;
        return image[i];
    };
    uint64_t sum = 0;
    for (size_t i = 0; i < image.size(); i += 2) {
        sum += byteAt(i) | (byteAt(i + 1) << 8);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return uint32_t(sum) + uint32_t(image.size());
}

}  // namespace minitool
