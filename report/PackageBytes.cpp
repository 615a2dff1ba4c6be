#include "report/PackageBytes.h"

#include <cstring>

int CopySerialized(const std::vector<uint8_t>& bytes, uint8_t* buffer, uint32_t* length)
{
    if (!buffer || *length < bytes.size()) {
        *length = uint32_t(bytes.size());
        return 0;
    }
    if (!bytes.empty()) memcpy(buffer, bytes.data(), bytes.size());
    *length = uint32_t(bytes.size());
    return 1;
}
