#pragma once
// Copies into views of mapped files. A page the system cannot back (a full
// disk, a file cut short) faults on the copy instead of failing a call; the
// guarded copy turns that fault into a false result for the copying thread.
#include <cstddef>

namespace gnet {

// Copies size bytes; false when writing the destination faulted (the bytes
// before the fault may have been copied).
bool GuardedCopy(void* destination, const void* source, size_t size);

}  // namespace gnet
