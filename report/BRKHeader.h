#pragma once
// The 280-byte package header: product version, time of the write, machine
// identity and, at offset 276, the length of the body that follows.
#include <array>
#include <cstdint>
#include <string>

#include "report/Component.h"

constexpr uint32_t kHeaderSize = 280;
constexpr uint32_t kBodyLengthOffset = 276;
constexpr size_t kIdentityUnits = 128;

using HeaderVersion = std::array<uint16_t, 4>;
using IdentityField = std::array<uint16_t, kIdentityUnits>;

// "a.b.c.d" split at the first three dots; missing pieces are 0, pieces are
// read like decimal integers (leading digits, else 0). The fourth number is
// capped at 65535 so a large build number cannot wrap.
HeaderVersion ParseHeaderVersion(const std::wstring& text);
// "{" + first 125 characters + "}", zero-filled, 'M' at the end when it fits.
IdentityField MakeIdentityField(const std::string& identity);

class CBRKHeader : public Headerbase {
public:
    using Clock = void(WINAPI*)(SYSTEMTIME*);
    // Default identity: the hardware id of this computer.
    CBRKHeader();
    explicit CBRKHeader(const std::string& identity);

    int Serialize(uint8_t* buffer, uint32_t* length) override;
    int IsChanged() override { return 0; }
    int ApplyParam(const ParamBase& param) override;

    void SetClock(Clock clock) { clock_ = clock; }
    const HeaderVersion& Version() const { return version_; }

private:
    std::wstring versionText_;
    HeaderVersion version_ = {};
    IdentityField identity_ = {};
    Clock clock_;
};

// Reads the test override of the header version; empty when not set.
std::wstring ReadVersionOverride();
