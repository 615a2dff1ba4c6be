#include "identity/HardwareManagerBase.h"

#include <algorithm>

#include "base/MD5Checksum.h"

namespace guid {

namespace {
// Appended to every raw value before hashing, the same for all sources.
const char kSourceSalt[] = "DTR.RTS";
}  // namespace

std::string HashSourceValue(const std::string& raw)
{
    if (raw.empty()) return std::string();
    return CMD5Checksum::HexOfText(raw + kSourceSalt);
}

void HardwareManagerBase::AddRawValue(const std::string& raw)
{
    if (!raw.empty()) values_.push_back(HashSourceValue(raw));
}

void HardwareManagerBase::NormaliseValues()
{
    std::sort(values_.begin(), values_.end());
    values_.erase(std::unique(values_.begin(), values_.end()), values_.end());
}

}  // namespace guid
