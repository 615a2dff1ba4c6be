// Decoders of the disk identity controls, checked over byte fixtures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "identity/DiskDecoders.h"

using namespace guid;

namespace {

// Puts text into an IDENTIFY field the way a drive does: two bytes per word,
// swapped, padded with blanks to the field's length.
void PutIdentifyText(Bytes& data, size_t firstWord, size_t wordCount, const std::string& text)
{
    std::string padded = text;
    padded.resize(wordCount * 2, ' ');
    for (size_t i = 0; i < padded.size(); i += 2) {
        data[firstWord * 2 + i] = uint8_t(padded[i + 1]);
        data[firstWord * 2 + i + 1] = uint8_t(padded[i]);
    }
}

Bytes IdentifyFixture(const std::string& serial, const std::string& model, const std::string& firmware)
{
    Bytes data(kIdentifyDataSize, 0);
    PutIdentifyText(data, kSerialFirstWord, kSerialWordCount, serial);
    PutIdentifyText(data, kModelFirstWord, kModelWordCount, model);
    PutIdentifyText(data, kFirmwareFirstWord, kFirmwareWordCount, firmware);
    return data;
}

Bytes StorageDescriptor(const std::string& serial, size_t size = 256)
{
    Bytes answer(size, 0);
    const uint32_t offset = 100;
    answer[kStorageSerialOffsetField] = uint8_t(offset);
    std::memcpy(&answer[offset], serial.data(), std::min(serial.size(), size - offset));
    return answer;
}

}  // namespace

TEST(IdentifyText, SwapsEveryWordAndTrimsBlanks)
{
    Bytes data = IdentifyFixture("WD-WCC4N1234567", "WDC WD10EZEX-08WN4A0", "01.01A01");
    IdentifyStrings strings = ParseIdentifyData(data.data(), data.size(), false);
    EXPECT_EQ("WD-WCC4N1234567", strings.serial);
    EXPECT_EQ("WDC WD10EZEX-08WN4A0", strings.model);
    EXPECT_EQ("01.01A01", strings.firmware);
}

TEST(IdentifyText, LeadingBlanksAreKeptUnlessAskedToTrim)
{
    Bytes data = IdentifyFixture("      S2R5NX0H", "", "");
    EXPECT_EQ("      S2R5NX0H", IdentifyText(data.data(), data.size(), kSerialFirstWord, kSerialWordCount));
    EXPECT_EQ("S2R5NX0H", IdentifyText(data.data(), data.size(), kSerialFirstWord, kSerialWordCount, true));
}

TEST(IdentifyText, OddLengthTextKeepsItsLastCharacter)
{
    Bytes data = IdentifyFixture("ABC", "", "");
    EXPECT_EQ("ABC", IdentifyText(data.data(), data.size(), kSerialFirstWord, kSerialWordCount));
}

TEST(IdentifyText, NulEndsTheField)
{
    Bytes data(kIdentifyDataSize, 0);
    PutIdentifyText(data, kSerialFirstWord, kSerialWordCount, std::string("AB\0\0ZZZZ", 8));
    EXPECT_EQ("AB", IdentifyText(data.data(), data.size(), kSerialFirstWord, kSerialWordCount));
}

TEST(IdentifyText, ShortBufferGivesOnlyTheBytesPresent)
{
    Bytes data = IdentifyFixture("SERIAL0001", "", "");
    EXPECT_EQ("SERI", IdentifyText(data.data(), 24, kSerialFirstWord, kSerialWordCount));
    EXPECT_EQ("", IdentifyText(data.data(), 10, kSerialFirstWord, kSerialWordCount));
    EXPECT_EQ("", IdentifyText(nullptr, 0, kSerialFirstWord, kSerialWordCount));
}

TEST(IdentifyCommand, PacketCommandFollowsTheAtapiBitOfEachDrive)
{
    struct Case {
        uint8_t map;
        int drive;
        uint8_t command;
    } cases[] = {
        {0x01, 0, kIdentifyDevice},       {0x10, 0, kIdentifyPacketDevice}, {0x20, 1, kIdentifyPacketDevice},
        {0x10, 1, kIdentifyDevice},       {0x80, 3, kIdentifyPacketDevice}, {0xFF, 8, kIdentifyDevice},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.command, IdentifyCommandForDrive(c.map, c.drive)) << int(c.map) << " drive " << c.drive;
}

TEST(Requests, SmartIdentifyLayout)
{
    Bytes even = BuildSmartIdentifyRequest(2, kIdentifyDevice);
    ASSERT_EQ(32u, even.size());
    EXPECT_EQ(512u, ReadLe32(even.data()));
    EXPECT_EQ(0, even[4]);     // features
    EXPECT_EQ(1, even[5]);     // sector count
    EXPECT_EQ(0xA0, even[9]);  // drive/head, even drive
    EXPECT_EQ(0xEC, even[10]);
    EXPECT_EQ(2, even[12]);    // drive number
    Bytes odd = BuildSmartIdentifyRequest(3, kIdentifyPacketDevice);
    EXPECT_EQ(0xB0, odd[9]);
    EXPECT_EQ(0xA1, odd[10]);
    EXPECT_EQ(3, odd[12]);
    for (size_t i = 13; i < odd.size(); ++i) EXPECT_EQ(0, odd[i]) << i;
}

TEST(Requests, PlainIdentifyHasOnlyTheCommand)
{
    Bytes request = BuildPlainIdentifyRequest();
    ASSERT_EQ(32u, request.size());
    for (size_t i = 0; i < request.size(); ++i) EXPECT_EQ(i == 10 ? 0xEC : 0, request[i]) << i;
}

TEST(Requests, MiniportIdentifyLayout)
{
    Bytes request = BuildMiniportIdentifyRequest(1, 529);
    ASSERT_EQ(60u, request.size());
    EXPECT_EQ(28u, ReadLe32(&request[0]));
    EXPECT_EQ(0, std::memcmp(&request[4], "SCSIDISK", 8));
    EXPECT_EQ(10000u, ReadLe32(&request[12]));
    EXPECT_EQ(0x001B0501u, ReadLe32(&request[16]));
    EXPECT_EQ(0u, ReadLe32(&request[20]));
    EXPECT_EQ(529u, ReadLe32(&request[24]));
    EXPECT_EQ(0xEC, request[28 + 10]);
    EXPECT_EQ(0xB0, request[28 + 9]);
    EXPECT_EQ(1, request[28 + 12]);
}

TEST(StorageDescriptor, SerialIsFoundThroughItsOffset)
{
    Bytes answer = StorageDescriptor("ZDH0ABCD");
    EXPECT_EQ("ZDH0ABCD", StorageDescriptorSerialText(answer.data(), answer.size()));
}

TEST(StorageDescriptor, MissingOrOutOfRangeSerialGivesNothing)
{
    Bytes none(256, 0);  // offset 0: the device has no serial
    EXPECT_EQ("", StorageDescriptorSerialText(none.data(), none.size()));
    Bytes outside(64, 0);
    outside[kStorageSerialOffsetField] = 200;
    EXPECT_EQ("", StorageDescriptorSerialText(outside.data(), outside.size()));
    EXPECT_EQ("", StorageDescriptorSerialText(outside.data(), 20));  // too short for the offset field
}

TEST(StorageDescriptor, UnterminatedSerialStopsAtTheEndOfTheAnswer)
{
    Bytes answer = StorageDescriptor("ABCDEFGH", 104);
    EXPECT_EQ("ABCD", StorageDescriptorSerialText(answer.data(), answer.size()));
}

TEST(StorageSerial, DecodesHexSwapsPairsAndTrims)
{
    struct Case {
        const char* raw;
        const char* decoded;
    } cases[] = {
        // hexadecimal text of a byte-swapped serial, blanks as "20"
        {"2020202031534e5a454e4741", "S1ZNNEAG"},
        {"2020202031534E5A454E4741", "S1ZNNEAG"},  // upper-case digits
        {"4 42", "B@"},                            // a blank counts as "0"
        {"41424", "BA"},                           // an odd last digit makes no byte
        {"0041", "A"},                             // NUL bytes end the text after the swap
        // plain text: only swapped and trimmed
        {"WD-WMC1234", "DWW-CM2143"},
        {"ABCDEFG", "BADCFEG"},                    // odd length: the last byte stays
        {"ff41", "ff14"},                          // hex digits that decode to a non-printable byte
        {"  1234  ", "2143"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(c.decoded, DecodeStorageSerial(c.raw)) << c.raw;
}

TEST(StorageSerial, NonPrintablePlainTextGivesNothing)
{
    EXPECT_EQ("", DecodeStorageSerial("AB\x01" "CD"));
    EXPECT_EQ("", DecodeStorageSerial("XY\x7F"));
    EXPECT_EQ("", DecodeStorageSerial("caf\xE9"));
}

TEST(StorageSerial, ResultIsLimitedTo255Bytes)
{
    EXPECT_EQ(255u, DecodeStorageSerial(std::string(600, 'Z')).size());
    EXPECT_EQ(255u, DecodeStorageSerial(std::string(600, '4') + "2").size());  // hex "44" = 'D' many times
}

TEST(SerialCleaning, TrailingHexBlanksAreRemoved)
{
    struct Case {
        const char* raw;
        const char* clean;
    } cases[] = {
        {"ABC2020", "ABC"}, {"2020", ""}, {"A20B", "A20B"}, {"X20202", "X20202"}, {"", ""}, {"20", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(c.clean, StripTrailingHexBlanks(c.raw)) << c.raw;
}

TEST(SerialCleaning, PlausibleStorageSerialStartsOrHasTwentiethCharacterAlphanumeric)
{
    EXPECT_TRUE(IsPlausibleStorageSerial("A-----"));
    EXPECT_FALSE(IsPlausibleStorageSerial("-ABC"));
    EXPECT_TRUE(IsPlausibleStorageSerial(std::string(19, '-') + "Z"));
    EXPECT_FALSE(IsPlausibleStorageSerial(std::string(25, '-')));
    EXPECT_FALSE(IsPlausibleStorageSerial(""));
}

TEST(SerialCleaning, FirstDiskSerialWithEightZerosCountsAsNone)
{
    EXPECT_EQ("XY12345", AcceptFirstDiskSerial("  XY12345 \t"));
    EXPECT_EQ("", AcceptFirstDiskSerial("00000000"));
    EXPECT_EQ("", AcceptFirstDiskSerial("AB000000000C"));
    EXPECT_EQ("AB0000000C", AcceptFirstDiskSerial("AB0000000C"));  // seven zeros are fine
    EXPECT_EQ("", AcceptFirstDiskSerial("   "));
}
