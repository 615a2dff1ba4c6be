#include "PeEmbed.h"

#include <algorithm>
#include <cstring>

namespace minitool {

const char kPackageSectionName[] = "full";

namespace {

constexpr uint32_t kInitialisedReadOnlyData = 0x40000040;  // CNT_INITIALIZED_DATA | MEM_READ

uint64_t AlignUp(uint64_t value, uint64_t alignment) { return (value + alignment - 1) / alignment * alignment; }

// Offset of the room for one more section header, or 0 when there is none:
// the 40 bytes after the table must lie inside the headers, before any
// section's data, and be unused (zero).
size_t FreeHeaderSlot(const Bytes& image, const PeImage& pe)
{
    const size_t slot = pe.SectionTableOffset() + pe.Sections().size() * kSectionHeaderBytes;
    size_t limit = pe.SizeOfHeaders();
    for (const PeSection& s : pe.Sections())
        if (s.rawSize != 0) limit = std::min(limit, size_t(s.rawOffset));
    if (slot + kSectionHeaderBytes > limit) return 0;
    for (size_t i = slot; i < slot + kSectionHeaderBytes; ++i)
        if (image[i] != 0) return 0;
    return slot;
}

// The end of the data to keep: the whole file, less a certificate table at
// its end.
size_t KeptLength(const Bytes& image, const PeImage& pe, bool& signatureDropped)
{
    signatureDropped = false;
    const DataDirectory* security = pe.Directory(kSecurityDirectory);
    if (!security || security->address == 0 || security->size == 0) return image.size();
    signatureDropped = true;
    if (size_t(security->address) + security->size == image.size() && security->address >= pe.EndOfSectionData())
        return security->address;
    return image.size();  // a table elsewhere stays where it is; its entry is cleared
}

}  // namespace

bool EmbedPackage(Bytes& image, const Bytes& package, EmbedResult& result, std::string& error)
{
    PeImage pe;
    if (!pe.Parse(image, error)) return false;
    if (pe.FindSection(kPackageSectionName, true)) {
        error = "the program already carries a package (section \"full\")";
        return false;
    }
    if (package.empty()) {
        error = "the package is empty";
        return false;
    }
    const size_t slot = FreeHeaderSlot(image, pe);
    if (slot == 0) {
        error = "the headers have no room for another section header";
        return false;
    }
    bool dropSignature = false;
    const size_t kept = KeptLength(image, pe, dropSignature);
    const uint64_t rawOffset = AlignUp(kept, pe.FileAlignment());
    const uint64_t rawSize = AlignUp(package.size(), pe.FileAlignment());
    uint64_t imageEnd = pe.SizeOfImage();
    for (const PeSection& s : pe.Sections())
        imageEnd = std::max<uint64_t>(imageEnd, uint64_t(s.virtualAddress) + SectionExtent(s));
    const uint64_t virtualAddress = AlignUp(imageEnd, pe.SectionAlignment());
    const uint64_t sizeOfImage = AlignUp(virtualAddress + package.size(), pe.SectionAlignment());
    // The loader maps a 32-bit image below 2 GiB; section fields are 32 bits.
    const uint64_t limit = pe.IsPe32Plus() ? 0xFFFFFFFFull : 0x7FFFFFFFull;
    if (rawOffset + rawSize > 0xFFFFFFFFull || sizeOfImage > limit) {
        error = "the package is too large for this image format";
        return false;
    }

    Bytes out(image.begin(), image.begin() + std::ptrdiff_t(kept));
    out.resize(size_t(rawOffset), 0);
    out.insert(out.end(), package.begin(), package.end());
    out.resize(size_t(rawOffset + rawSize), 0);

    std::memcpy(&out[slot], kPackageSectionName, sizeof kPackageSectionName);
    PutLe32(out, slot + 8, uint32_t(package.size()));
    PutLe32(out, slot + 12, uint32_t(virtualAddress));
    PutLe32(out, slot + 16, uint32_t(rawSize));
    PutLe32(out, slot + 20, uint32_t(rawOffset));
    PutLe32(out, slot + 36, kInitialisedReadOnlyData);
    PutLe16(out, pe.FileHeaderOffset() + 2, uint16_t(pe.Sections().size() + 1));
    const size_t initialisedData = pe.OptionalHeaderOffset() + 8;
    PutLe32(out, initialisedData, uint32_t(GetLe32(out, initialisedData) + rawSize));
    PutLe32(out, pe.SizeOfImageOffset(), uint32_t(sizeOfImage));
    if (dropSignature) {
        const DataDirectory* security = pe.Directory(kSecurityDirectory);
        PutLe32(out, security->entryOffset, 0);
        PutLe32(out, security->entryOffset + 4, 0);
    }
    PutLe32(out, pe.ChecksumOffset(), ComputePeChecksum(out, pe.ChecksumOffset()));
    image.swap(out);
    result.droppedSignature = dropSignature;
    return true;
}

bool FindPackage(const Bytes& image, const PeImage& pe, size_t& offset, size_t& payload, size_t& raw)
{
    const PeSection* s = pe.FindSection(kPackageSectionName, true);
    if (!s || s->rawSize == 0) return false;
    offset = s->rawOffset;
    raw = s->rawSize;
    payload = s->virtualSize != 0 && s->virtualSize < s->rawSize ? s->virtualSize : s->rawSize;
    return offset + raw <= image.size();
}

}  // namespace minitool
