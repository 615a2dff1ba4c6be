// Locating a package built into a program image as a section named "full".
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "setup/EmbeddedPackage.h"

namespace {

struct Section {
    std::string name;
    uint32_t rawSize;
    uint32_t rawOffset;
};

void PutU16(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void PutU32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    PutU16(b, at, v & 0xFFFF);
    PutU16(b, at + 2, v >> 16);
}

constexpr uint32_t kPeOffset = 0x80;
constexpr uint32_t kOptionalHeaderSize = 0xE0;
constexpr uint32_t kTableOffset = kPeOffset + 4 + 20 + kOptionalHeaderSize;

// A minimal image: DOS header, PE header, section table, `fileSize` bytes in all.
std::vector<uint8_t> MakeImage(const std::vector<Section>& sections, size_t fileSize)
{
    std::vector<uint8_t> b(fileSize, 0);
    b[0] = 'M';
    b[1] = 'Z';
    PutU32(b, 0x3C, kPeOffset);
    std::memcpy(&b[kPeOffset], "PE\0\0", 4);
    PutU16(b, kPeOffset + 4, 0x14C);
    PutU16(b, kPeOffset + 6, static_cast<uint32_t>(sections.size()));
    PutU16(b, kPeOffset + 20, kOptionalHeaderSize);
    for (size_t i = 0; i < sections.size(); ++i) {
        const size_t at = kTableOffset + i * 40;
        std::memcpy(&b[at], sections[i].name.data(), std::min<size_t>(8, sections[i].name.size()));
        PutU32(b, at + 16, sections[i].rawSize);
        PutU32(b, at + 20, sections[i].rawOffset);
    }
    return b;
}

const std::vector<Section> kUsual = {{".text", 0x200, 0x400}, {".data", 0x200, 0x600}, {"full", 0x300, 0x800}};

TEST(FullSection, FoundInAWellFormedImage)
{
    const std::vector<uint8_t> image = MakeImage(kUsual, 0xB00);
    EmbeddedSection section;
    ASSERT_TRUE(FindFullSection(image.data(), image.size(), &section));
    EXPECT_EQ(section.offset, 0x800u);
    EXPECT_EQ(section.size, 0x300u);
}

TEST(FullSection, NameTable)
{
    struct Case {
        std::string name;
        bool found;
    };
    const Case cases[] = {
        {"full", true}, {"FULL", true}, {"Full", true}, {"fullx", false},
        {".full", false}, {"ful", false}, {std::string("full\0x", 6), false}, {"fu11", false},
    };
    for (const Case& c : cases) {
        const std::vector<uint8_t> image = MakeImage({{".text", 0x10, 0x400}, {c.name, 0x10, 0x500}}, 0x600);
        EmbeddedSection section;
        EXPECT_EQ(FindFullSection(image.data(), image.size(), &section), c.found) << c.name;
    }
}

TEST(FullSection, MalformedImagesAreRefused)
{
    struct Case {
        const char* what;
        std::vector<uint8_t> image;
    };
    std::vector<Case> cases;
    auto base = [] { return MakeImage(kUsual, 0xB00); };

    cases.push_back({"no full section", MakeImage({{".text", 0x10, 0x400}}, 0x600)});
    auto noMz = base();
    noMz[0] = 'X';
    cases.push_back({"no MZ", noMz});
    auto noPe = base();
    noPe[kPeOffset + 1] = 'X';
    cases.push_back({"no PE signature", noPe});
    auto farPe = base();
    PutU32(farPe, 0x3C, 0xB00 - 10);
    cases.push_back({"PE header past the end", farPe});
    auto wrapPe = base();
    PutU32(wrapPe, 0x3C, 0xFFFFFFF0);
    cases.push_back({"e_lfanew wraps around", wrapPe});
    auto manySections = base();
    PutU16(manySections, kPeOffset + 6, 0xFFFF);
    cases.push_back({"section table past the end", manySections});
    auto bigOptional = base();
    PutU16(bigOptional, kPeOffset + 20, 0xFFFF);
    cases.push_back({"optional header past the end", bigOptional});
    cases.push_back({"raw data past the end", MakeImage({{"full", 0x400, 0x800}}, 0xB00)});
    cases.push_back({"raw offset past the end", MakeImage({{"full", 0x10, 0xC00}}, 0xB00)});
    cases.push_back({"offset plus size wraps", MakeImage({{"full", 0x200, 0xFFFFFF00}}, 0xB00)});
    cases.push_back({"size wraps", MakeImage({{"full", 0xFFFFFFFF, 0x800}}, 0xB00)});
    cases.push_back({"empty section", MakeImage({{"full", 0, 0x800}}, 0xB00)});
    cases.push_back({"shorter than a DOS header", std::vector<uint8_t>{'M', 'Z', 0, 0}});

    for (const Case& c : cases) {
        EmbeddedSection section;
        EXPECT_FALSE(FindFullSection(c.image.data(), c.image.size(), &section)) << c.what;
    }
    EmbeddedSection section;
    EXPECT_FALSE(FindFullSection(nullptr, 0x1000, &section));
}

TEST(FullSection, RawDataEndingExactlyAtTheEndIsAccepted)
{
    const std::vector<uint8_t> image = MakeImage({{"full", 0x300, 0x800}}, 0xB00);
    EmbeddedSection section;
    EXPECT_TRUE(FindFullSection(image.data(), image.size(), &section));
}

// Cut a good image at every length: a result, when there is one, always
// lies inside what is left. Each cut is a fresh heap block so that a read
// past its end is at least likely to be noticed.
TEST(FullSection, EveryTruncationStaysInBounds)
{
    const std::vector<uint8_t> image = MakeImage(kUsual, 0xB00);
    for (size_t length = 0; length <= image.size(); ++length) {
        std::vector<uint8_t> cut(image.begin(), image.begin() + length);
        EmbeddedSection section;
        const bool found = FindFullSection(cut.data(), cut.size(), &section);
        EXPECT_EQ(found, length >= 0xB00) << length;
        if (found) {
            EXPECT_LE(section.offset + section.size, length);
        }
    }
}

TEST(FullSection, TheTestProgramItselfCarriesNone)
{
    wchar_t path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    std::vector<uint8_t> bytes(GetFileSize(file, nullptr));
    DWORD read = 0;
    const BOOL ok = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    ASSERT_TRUE(ok);
    EmbeddedSection section;
    EXPECT_FALSE(FindFullSection(bytes.data(), bytes.size(), &section));
    // The real headers parse: renaming its first section makes it found.
    const uint32_t pe = bytes[0x3C] | bytes[0x3D] << 8 | bytes[0x3E] << 16 | static_cast<uint32_t>(bytes[0x3F]) << 24;
    const uint32_t optional = bytes[pe + 20] | bytes[pe + 21] << 8;
    const size_t first = pe + 24 + optional;
    std::memcpy(&bytes[first], "FuLl\0\0\0\0", 8);
    ASSERT_TRUE(FindFullSection(bytes.data(), bytes.size(), &section));
    EXPECT_GT(section.size, 0u);
}

}  // namespace
