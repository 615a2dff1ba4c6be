#pragma once
// Pure decoders and request builders for the disk identity device controls.
// Everything here works on byte buffers so it can be checked without a disk.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace guid {

using Bytes = std::vector<uint8_t>;

// ATA IDENTIFY data: 256 little-endian words; text fields have the two bytes
// of every word swapped.
constexpr size_t kIdentifyDataSize = 512;
constexpr size_t kSerialFirstWord = 10, kSerialWordCount = 10;
constexpr size_t kFirmwareFirstWord = 23, kFirmwareWordCount = 4;
constexpr size_t kModelFirstWord = 27, kModelWordCount = 20;
constexpr size_t kModelByteOffset = kModelFirstWord * 2;

constexpr uint8_t kIdentifyDevice = 0xEC;
constexpr uint8_t kIdentifyPacketDevice = 0xA1;

// Control codes and buffer sizes of the three methods.
constexpr uint32_t kSmartGetVersion = 0x00074080;
constexpr uint32_t kSmartRcvDriveData = 0x0007C088;
constexpr uint32_t kStorageQueryProperty = 0x002D1400;
constexpr uint32_t kScsiMiniport = 0x0004D008;
constexpr uint32_t kMiniportIdentify = 0x001B0501;
constexpr size_t kGetVersionSize = 24;
constexpr size_t kSendCmdInSize = 32;      // the parameter block without its data byte
constexpr size_t kSendCmdOutSize = 528;    // 16-byte header + IDENTIFY data
constexpr size_t kSendCmdOutDataOffset = 16;
constexpr size_t kSrbHeaderSize = 28;
constexpr size_t kMiniportRequestSize = kSrbHeaderSize + kSendCmdInSize;           // 60
constexpr size_t kMiniportIdentifyOffset = kSrbHeaderSize + kSendCmdOutDataOffset;  // 44
constexpr size_t kStorageSerialOffsetField = 24;

// The text of an IDENTIFY field: per word its second byte then its first,
// up to the first NUL, trailing blanks removed (leading ones too on request).
// Missing bytes (a short buffer) end the text.
std::string IdentifyText(const uint8_t* data, size_t size, size_t firstWord, size_t wordCount,
                         bool trimLeading = false);

struct IdentifyStrings {
    std::string serial, model, firmware;
};
IdentifyStrings ParseIdentifyData(const uint8_t* data, size_t size, bool trimLeading);

// The command for drive n given the IDE device map of SMART_GET_VERSION:
// the packet command when bit 4 of (map >> n) is set.
uint8_t IdentifyCommandForDrive(uint8_t ideDeviceMap, int driveNumber);

// SENDCMDINPARAMS for IDENTIFY: 512-byte buffer, sector count 1, drive/head
// 0xA0 (even drive) or 0xB0 (odd drive).
Bytes BuildSmartIdentifyRequest(int driveNumber, uint8_t command);
// The zero-filled variant the first-disk reader sends: command only.
Bytes BuildPlainIdentifyRequest();
// The SCSI miniport identify request ("SCSIDISK" header + SENDCMDINPARAMS).
Bytes BuildMiniportIdentifyRequest(int driveOnController, uint32_t length);

uint32_t ReadLe32(const uint8_t* data);

// The serial text inside a STORAGE_DEVICE_DESCRIPTOR answer of `size` bytes:
// empty when the offset is 0 or points outside the answer; the text ends at a
// NUL or at the end of the answer.
std::string StorageDescriptorSerialText(const uint8_t* data, size_t size);

// Decodes a storage query serial: hex pairs (blank = "0") when every pair is
// a NUL or printable byte, else the text itself (empty if it holds a
// non-printable character); then pairs swapped and white space trimmed.
// At most 255 bytes are produced.
std::string DecodeStorageSerial(const std::string& text);

// Removes trailing "20" pairs (hex-encoded blanks) repeatedly.
std::string StripTrailingHexBlanks(std::string serial);

// Whether a storage serial is plausible for the identity: its first or its
// twentieth character is a letter or digit.
bool IsPlausibleStorageSerial(const std::string& serial);

// The first-disk result: trimmed; empty when it contains "00000000".
std::string AcceptFirstDiskSerial(const std::string& serial);

std::string TrimBlanks(const std::string& text, bool leading, bool trailing);
std::string TrimWhiteSpace(const std::string& text);

}  // namespace guid
