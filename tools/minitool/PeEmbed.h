#pragma once
// Builds an offline installer: a copy of the program image that carries an
// install package as the raw data of a new last section named "full", which
// the program's built-in package lookup finds and starts without downloading.
#include <string>

#include "PeImage.h"

namespace minitool {

extern const char kPackageSectionName[];  // "full"

struct EmbedResult {
    bool droppedSignature = false;  // the input was signed: the copy must be signed again
};

// Appends `package` to `image` (in place) as section "full": the section
// header goes into the free room after the section table, the raw data after
// the last data of the file (a certificate table is removed first, its
// signature could not hold anyway), and SizeOfImage, the section count,
// SizeOfInitializedData and the checksum are updated. Every other byte keeps
// its offset, so the settings area and the resources stay as they were.
// False with a message (and `image` untouched) when the image already carries
// a package, its headers have no room for another section header, or the
// result would not fit the format's 32-bit fields.
bool EmbedPackage(Bytes& image, const Bytes& package, EmbedResult& result, std::string& error);

// The package carried by an image: the section "full" (case-insensitive) as
// the program finds it. `payload` is the package's own length (the section's
// virtual size when it is smaller than its raw data, which is padded to the
// file alignment). False when there is none.
bool FindPackage(const Bytes& image, const PeImage& pe, size_t& offset, size_t& payload, size_t& raw);

}  // namespace minitool
