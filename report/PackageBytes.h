#pragma once
// Little-endian appends for building package bytes.
#include <cstdint>
#include <vector>

class PackageBytes {
public:
    void U8(uint8_t v) { bytes_.push_back(v); }
    void U16(uint16_t v)
    {
        U8(uint8_t(v));
        U8(uint8_t(v >> 8));
    }
    void U32(uint32_t v)
    {
        U16(uint16_t(v));
        U16(uint16_t(v >> 16));
    }
    void Text(const wchar_t* text, size_t units)
    {
        for (size_t i = 0; i < units; ++i) U16(uint16_t(text[i]));
    }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

// Copies bytes into a caller's buffer following the Serialize contract.
int CopySerialized(const std::vector<uint8_t>& bytes, uint8_t* buffer, uint32_t* length);
