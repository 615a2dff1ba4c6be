#pragma once
// The processor source of the machine identity: the brand string and, where
// the processor offers one, its serial number, both read with CPUID.
#include <cstdint>
#include <string>

#include "identity/HardwareManagerBase.h"

namespace guid {

// The 48 brand bytes of leaves 0x80000002..4 (EAX, EBX, ECX, EDX of each),
// cut at the first NUL, leading blanks removed.
std::string BrandFromRegisters(const uint32_t registers[12]);

// "%08X%08X%08X" of leaf 3's ECX and EDX and leaf 1's EAX, or empty when bit
// 18 of leaf 1's EDX (serial number present) is clear.
std::string SerialFromRegisters(uint32_t leaf1Eax, uint32_t leaf1Edx, uint32_t leaf3Ecx, uint32_t leaf3Edx);

// The raw texts of this processor.
std::string ReadProcessorBrand();
std::string ReadProcessorSerial();

class CpuImpl : public HardwareManagerBase {
public:
    enum : uint32_t { kBrandFailed = 5, kSerialFailed = 6 };
    uint32_t Collect() override;
};

}  // namespace guid
