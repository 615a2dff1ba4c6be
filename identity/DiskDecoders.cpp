#include "identity/DiskDecoders.h"

#include <cctype>
#include <cstring>

namespace guid {

namespace {

bool IsPrintable(uint8_t c) { return c >= 0x20 && c < 0x7F; }
bool IsSpaceChar(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsAsciiAlnum(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

void PutLe32(Bytes& buffer, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i) buffer[offset + i] = uint8_t(value >> (8 * i));
}

constexpr size_t kStorageSerialLimit = 255;

// Hex pairs to bytes; false when the text is not a hex encoding.
bool DecodeHexPairs(const std::string& text, std::string& decoded)
{
    decoded.clear();
    int high = -1;
    for (char raw : text) {
        char c = char(std::tolower(static_cast<unsigned char>(raw)));
        if (c == ' ') c = '0';
        int digit = HexDigitValue(c);
        if (digit < 0) return false;
        if (high < 0) {
            high = digit;
            continue;
        }
        uint8_t byte = uint8_t(high * 16 + digit);
        high = -1;
        if (byte != 0 && !IsPrintable(byte)) return false;
        if (decoded.size() < kStorageSerialLimit) decoded.push_back(char(byte));
    }
    return true;  // an odd last digit makes no byte
}

}  // namespace

std::string TrimBlanks(const std::string& text, bool leading, bool trailing)
{
    size_t begin = 0, end = text.size();
    if (leading)
        while (begin < end && text[begin] == ' ') ++begin;
    if (trailing)
        while (end > begin && text[end - 1] == ' ') --end;
    return text.substr(begin, end - begin);
}

std::string TrimWhiteSpace(const std::string& text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && IsSpaceChar(text[begin])) ++begin;
    while (end > begin && IsSpaceChar(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::string IdentifyText(const uint8_t* data, size_t size, size_t firstWord, size_t wordCount,
                         bool trimLeading)
{
    std::string text;
    for (size_t word = firstWord; word < firstWord + wordCount; ++word) {
        size_t at = word * 2;
        if (!data || at + 1 >= size) break;
        text.push_back(char(data[at + 1]));
        text.push_back(char(data[at]));
    }
    size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    return TrimBlanks(text, trimLeading, true);
}

IdentifyStrings ParseIdentifyData(const uint8_t* data, size_t size, bool trimLeading)
{
    IdentifyStrings strings;
    strings.serial = IdentifyText(data, size, kSerialFirstWord, kSerialWordCount, trimLeading);
    strings.model = IdentifyText(data, size, kModelFirstWord, kModelWordCount, trimLeading);
    strings.firmware = IdentifyText(data, size, kFirmwareFirstWord, kFirmwareWordCount, trimLeading);
    return strings;
}

uint8_t IdentifyCommandForDrive(uint8_t ideDeviceMap, int driveNumber)
{
    if (driveNumber < 0 || driveNumber > 7) return kIdentifyDevice;
    return ((ideDeviceMap >> driveNumber) & 0x10) ? kIdentifyPacketDevice : kIdentifyDevice;
}

Bytes BuildSmartIdentifyRequest(int driveNumber, uint8_t command)
{
    Bytes request(kSendCmdInSize, 0);
    PutLe32(request, 0, uint32_t(kIdentifyDataSize));
    request[4] = 0;                                      // features
    request[5] = 1;                                      // sector count
    request[6] = 0;                                      // sector number
    request[7] = 0;                                      // cylinder low
    request[8] = 0;                                      // cylinder high
    request[9] = uint8_t(0xA0 | ((driveNumber & 1) << 4));  // drive/head
    request[10] = command;
    request[12] = uint8_t(driveNumber);
    return request;
}

Bytes BuildPlainIdentifyRequest()
{
    Bytes request(kSendCmdInSize, 0);
    request[10] = kIdentifyDevice;
    return request;
}

Bytes BuildMiniportIdentifyRequest(int driveOnController, uint32_t length)
{
    Bytes request(kMiniportRequestSize, 0);
    PutLe32(request, 0, uint32_t(kSrbHeaderSize));
    std::memcpy(&request[4], "SCSIDISK", 8);
    PutLe32(request, 12, 10000);             // timeout
    PutLe32(request, 16, kMiniportIdentify);  // control code
    PutLe32(request, 20, 0);                  // return code
    PutLe32(request, 24, length);
    Bytes command = BuildSmartIdentifyRequest(driveOnController, kIdentifyDevice);
    std::memcpy(&request[kSrbHeaderSize], command.data(), command.size());
    return request;
}

uint32_t ReadLe32(const uint8_t* data)
{
    return uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 | uint32_t(data[3]) << 24;
}

std::string StorageDescriptorSerialText(const uint8_t* data, size_t size)
{
    if (!data || size < kStorageSerialOffsetField + 4) return std::string();
    uint32_t offset = ReadLe32(data + kStorageSerialOffsetField);
    if (offset == 0 || offset >= size) return std::string();
    const char* begin = reinterpret_cast<const char*>(data + offset);
    const void* nul = std::memchr(begin, 0, size - offset);
    size_t length = nul ? size_t(static_cast<const char*>(nul) - begin) : size - offset;
    return std::string(begin, length);
}

std::string DecodeStorageSerial(const std::string& text)
{
    std::string result;
    if (!DecodeHexPairs(text, result)) {
        result = text.substr(0, kStorageSerialLimit);
        for (char c : result)
            if (!IsPrintable(uint8_t(c))) return std::string();
    }
    for (size_t i = 0; i + 1 < result.size(); i += 2) std::swap(result[i], result[i + 1]);
    size_t nul = result.find('\0');
    if (nul != std::string::npos) result.resize(nul);
    return TrimWhiteSpace(result);
}

std::string StripTrailingHexBlanks(std::string serial)
{
    while (serial.size() >= 2 && serial.compare(serial.size() - 2, 2, "20") == 0)
        serial.resize(serial.size() - 2);
    return serial;
}

bool IsPlausibleStorageSerial(const std::string& serial)
{
    return (!serial.empty() && IsAsciiAlnum(serial[0])) || (serial.size() >= 20 && IsAsciiAlnum(serial[19]));
}

std::string AcceptFirstDiskSerial(const std::string& serial)
{
    std::string trimmed = TrimWhiteSpace(serial);
    if (trimmed.find("00000000") != std::string::npos) return std::string();
    return trimmed;
}

}  // namespace guid
