#pragma once
// MD5 (RFC 1321) of byte buffers, texts and files, as 32 lower-case hex digits.
#include <cstddef>
#include <cstdint>
#include <string>

class CMD5Checksum {
public:
    CMD5Checksum();
    void Update(const void* data, size_t size);
    // Finishes the digest; the object must be reset before reuse.
    std::string FinalHex();
    void Reset();

    static std::string HexOfBytes(const void* data, size_t size);
    static std::string HexOfText(const std::string& text);
    // Reads the file in blocks of 1,024 bytes; empty text when it cannot be read.
    static std::string HexOfFile(const std::wstring& path);
    // Digests are compared case-insensitively.
    static bool SameDigest(const std::string& a, const std::string& b);

private:
    void Transform(const uint8_t block[64]);
    uint32_t state_[4];
    uint64_t bitCount_;
    uint8_t buffer_[64];
    size_t bufferUsed_;
};
