#include "PeResources.h"

#include "SettingsText.h"

#include <cctype>
#include <cstring>

namespace minitool {

namespace {

constexpr uint32_t kSubdirectoryFlag = 0x80000000;
constexpr uint32_t kNamedEntryFlag = 0x80000000;
constexpr size_t kDirectoryHeaderBytes = 16;
constexpr size_t kDirectoryEntryBytes = 8;

struct ResourceTree {
    const Bytes& image;
    size_t base;  // file offset of the root directory
    size_t size;  // bytes of the resource directory

    // The entry of a directory: id < 0 takes the first one. Returns the
    // entry's target (offset from base, with the subdirectory flag) or false.
    bool Entry(uint32_t directory, int id, uint32_t& target) const
    {
        if (directory + kDirectoryHeaderBytes > size) return false;
        const size_t at = base + directory;
        const uint32_t named = GetLe16(image, at + 12), ids = GetLe16(image, at + 14);
        const uint64_t count = uint64_t(named) + ids;
        if (directory + kDirectoryHeaderBytes + count * kDirectoryEntryBytes > size) return false;
        for (uint64_t i = 0; i < count; ++i) {
            const size_t entry = at + kDirectoryHeaderBytes + size_t(i) * kDirectoryEntryBytes;
            const uint32_t name = GetLe32(image, entry);
            if (id >= 0 && ((name & kNamedEntryFlag) != 0 || name != uint32_t(id))) continue;
            target = GetLe32(image, entry + 4);
            return true;
        }
        return false;
    }
};

uint32_t Align4(uint32_t v) { return (v + 3) & ~3u; }

std::string Utf16ToUtf8(const uint8_t* p, size_t units)
{
    std::string out;
    for (size_t k = 0; k < units; ++k) {
        uint32_t c = p[2 * k] | p[2 * k + 1] << 8;
        if (c >= 0xD800 && c <= 0xDBFF && k + 1 < units) {
            uint32_t low = p[2 * k + 2] | p[2 * k + 3] << 8;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++k;
            }
        }
        if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
        AppendUtf8(out, c);
    }
    return out;
}

// One node of a version block: header, key, value and the range of its children.
struct VersionNode {
    uint32_t length = 0;
    uint32_t valueLength = 0;
    uint32_t type = 0;
    std::string key;
    uint32_t value = 0;     // offset of the value
    uint32_t children = 0;  // offset of the first child
};

bool ReadNode(const uint8_t* data, uint32_t at, uint32_t end, VersionNode& node)
{
    if (at + 6 > end) return false;
    node.length = data[at] | data[at + 1] << 8;
    node.valueLength = data[at + 2] | data[at + 3] << 8;
    node.type = data[at + 4] | data[at + 5] << 8;
    if (node.length < 6 || at + node.length > end) return false;
    const uint32_t nodeEnd = at + node.length;
    uint32_t k = at + 6;
    while (k + 1 < nodeEnd && (data[k] | data[k + 1]) != 0) k += 2;
    if (k + 1 >= nodeEnd) return false;
    node.key = Utf16ToUtf8(data + at + 6, (k - at - 6) / 2);
    node.value = Align4(k + 2);
    const uint32_t valueBytes = node.type == 1 ? node.valueLength * 2 : node.valueLength;
    if (node.value > nodeEnd || valueBytes > nodeEnd - node.value) return false;
    node.children = Align4(node.value + valueBytes);
    return true;
}

std::string VersionText(uint32_t high, uint32_t low)
{
    return std::to_string(high >> 16) + "." + std::to_string(high & 0xFFFF) + "." + std::to_string(low >> 16) + "." +
           std::to_string(low & 0xFFFF);
}

uint32_t U32(const uint8_t* p) { return uint32_t(p[0] | p[1] << 8 | p[2] << 16) | uint32_t(p[3]) << 24; }

}  // namespace

bool FindResourceData(const Bytes& image, const PeImage& pe, uint16_t type, size_t& offset, size_t& size)
{
    const DataDirectory* directory = pe.Directory(kResourceDirectory);
    if (!directory || directory->address == 0 || directory->size == 0) return false;
    size_t base = 0;
    if (!pe.RvaToOffset(directory->address, directory->size, base)) return false;
    ResourceTree tree{image, base, directory->size};
    uint32_t target = 0;
    // type -> name -> language -> data entry
    if (!tree.Entry(0, type, target) || !(target & kSubdirectoryFlag)) return false;
    if (!tree.Entry(target & ~kSubdirectoryFlag, -1, target) || !(target & kSubdirectoryFlag)) return false;
    if (!tree.Entry(target & ~kSubdirectoryFlag, -1, target) || (target & kSubdirectoryFlag)) return false;
    if (uint64_t(target) + 16 > tree.size) return false;
    const uint32_t dataRva = GetLe32(image, base + target), dataSize = GetLe32(image, base + target + 4);
    if (!pe.RvaToOffset(dataRva, dataSize, offset)) return false;
    size = dataSize;
    return true;
}

bool ParseVersionInfo(const uint8_t* data, size_t size, VersionInfo& info, std::string& error)
{
    info = VersionInfo();
    VersionNode root;
    const uint32_t end = size > 0xFFFF ? 0xFFFF : uint32_t(size);
    if (!ReadNode(data, 0, end, root) || root.key != "VS_VERSION_INFO") {
        error = "the version information is malformed";
        return false;
    }
    if (root.valueLength >= 52 && U32(data + root.value) == 0xFEEF04BD) {
        const uint8_t* fixed = data + root.value;
        info.fileVersion = VersionText(U32(fixed + 8), U32(fixed + 12));
        info.productVersion = VersionText(U32(fixed + 16), U32(fixed + 20));
    }
    const uint32_t rootEnd = root.length;
    for (uint32_t at = root.children; at < rootEnd;) {
        VersionNode block;
        if (!ReadNode(data, at, rootEnd, block)) break;
        if (block.key == "StringFileInfo") {
            const uint32_t blockEnd = at + block.length;
            for (uint32_t t = block.children; t < blockEnd;) {
                VersionNode table;
                if (!ReadNode(data, t, blockEnd, table)) break;
                const uint32_t tableEnd = t + table.length;
                for (uint32_t s = table.children; s < tableEnd;) {
                    VersionNode entry;
                    if (!ReadNode(data, s, tableEnd, entry)) break;
                    size_t units = entry.type == 1 ? entry.valueLength : entry.valueLength / 2;
                    while (units > 0 && (data[entry.value + 2 * (units - 1)] | data[entry.value + 2 * units - 1]) == 0)
                        --units;
                    info.strings.emplace_back(entry.key, Utf16ToUtf8(data + entry.value, units));
                    s = Align4(s + entry.length);
                }
                t = Align4(t + table.length);
            }
        }
        at = Align4(at + block.length);
    }
    return true;
}

std::string RequestedExecutionLevel(const std::string& manifest)
{
    const size_t tag = manifest.find("requestedExecutionLevel");
    if (tag == std::string::npos) return std::string();
    const size_t tagEnd = manifest.find('>', tag);
    const std::string element = manifest.substr(tag, tagEnd == std::string::npos ? std::string::npos : tagEnd - tag);
    auto attribute = [&](const char* name) -> std::string {
        for (size_t at = element.find(name); at != std::string::npos; at = element.find(name, at + 1)) {
            if (at == 0 || !std::isspace(static_cast<unsigned char>(element[at - 1]))) continue;
            size_t p = at + strlen(name);
            while (p < element.size() && std::isspace(static_cast<unsigned char>(element[p]))) ++p;
            if (p >= element.size() || element[p] != '=') continue;
            ++p;
            while (p < element.size() && std::isspace(static_cast<unsigned char>(element[p]))) ++p;
            if (p >= element.size() || (element[p] != '"' && element[p] != '\'')) continue;
            const size_t close = element.find(element[p], p + 1);
            if (close == std::string::npos) return std::string();
            return element.substr(p + 1, close - p - 1);
        }
        return std::string();
    };
    std::string level = attribute("level");
    if (level.empty()) return std::string();
    const std::string uiAccess = attribute("uiAccess");
    return uiAccess.empty() ? level : level + " (uiAccess " + uiAccess + ")";
}

}  // namespace minitool
