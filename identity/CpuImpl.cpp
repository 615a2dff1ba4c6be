#include "identity/CpuImpl.h"

#include <cpuid.h>

#include <cstdio>
#include <cstring>

#include "identity/DiskDecoders.h"

namespace guid {

namespace {

struct CpuidRegisters {
    uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
};

CpuidRegisters Cpuid(uint32_t leaf)
{
    CpuidRegisters r;
    __cpuid(leaf, r.eax, r.ebx, r.ecx, r.edx);
    return r;
}

constexpr uint32_t kSerialNumberPresent = 1u << 18;

}  // namespace

std::string BrandFromRegisters(const uint32_t registers[12])
{
    char brand[49] = {};
    std::memcpy(brand, registers, 48);
    return TrimBlanks(std::string(brand), true, false);
}

std::string SerialFromRegisters(uint32_t leaf1Eax, uint32_t leaf1Edx, uint32_t leaf3Ecx, uint32_t leaf3Edx)
{
    if (!(leaf1Edx & kSerialNumberPresent)) return std::string();
    char text[32];
    std::snprintf(text, sizeof(text), "%08X%08X%08X", unsigned(leaf3Ecx), unsigned(leaf3Edx), unsigned(leaf1Eax));
    return text;
}

std::string ReadProcessorBrand()
{
    if (Cpuid(0x80000000).eax <= 0x80000003) return std::string();
    uint32_t registers[12];
    for (uint32_t i = 0; i < 3; ++i) {
        CpuidRegisters r = Cpuid(0x80000002 + i);
        registers[i * 4 + 0] = r.eax;
        registers[i * 4 + 1] = r.ebx;
        registers[i * 4 + 2] = r.ecx;
        registers[i * 4 + 3] = r.edx;
    }
    return BrandFromRegisters(registers);
}

std::string ReadProcessorSerial()
{
    CpuidRegisters leaf1 = Cpuid(1);
    if (!(leaf1.edx & kSerialNumberPresent)) return std::string();
    CpuidRegisters leaf3 = Cpuid(3);
    return SerialFromRegisters(leaf1.eax, leaf1.edx, leaf3.ecx, leaf3.edx);
}

uint32_t CpuImpl::Collect()
{
    ClearValues();
    uint32_t result = 0;
    TryRead([this] { AddRawValue(ReadProcessorBrand()); }, kBrandFailed, &result);
    TryRead([this] { AddRawValue(ReadProcessorSerial()); }, kSerialFailed, &result);
    NormaliseValues();
    return result;
}

}  // namespace guid
