#include "gnet/GuardedCopy.h"

#include <cstring>

namespace gnet {

bool GuardedCopy(void* destination, const void* source, size_t size) {
    memcpy(destination, source, size);
    return true;
}

}  // namespace gnet
