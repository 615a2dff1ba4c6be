#pragma once
// The 32-character hardware id of this computer, computed once per process.
// The returned text lives until the process ends.
const char* GetHardwareId();

namespace guid {
// Returned when the computation fails.
extern const char kFallbackHardwareId[];
}  // namespace guid
