#include "report/Component.h"

#include <vector>

uint32_t Component::WriteTo(HANDLE file)
{
    if (file == nullptr || file == INVALID_HANDLE_VALUE) return 0;
    uint32_t needed = 0;
    Serialize(nullptr, &needed);
    std::vector<uint8_t> buffer;
    try {
        buffer.resize(needed ? needed : 1);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    uint32_t length = needed;
    if (!Serialize(buffer.data(), &length)) return 0;
    uint32_t written = 0;
    while (written < length) {
        DWORD chunk = 0;
        if (!WriteFile(file, buffer.data() + written, length - written, &chunk, nullptr) || chunk == 0) break;
        written += chunk;
    }
    if (written == length) SetChanged(0);
    return written;
}
