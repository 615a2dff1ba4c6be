#pragma once
// Whole-file reads and all-or-nothing writes for the release tools.
#include <string>

#include "PeImage.h"

namespace minitool {

bool ReadWholeFile(const std::string& path, Bytes& bytes, std::string& error);
// Writes to a temporary file beside `path` and renames it into place, so a
// failed write never leaves a partial output (nor replaces an older one).
bool WriteFileAtomically(const std::string& path, const Bytes& bytes, std::string& error);

}  // namespace minitool
