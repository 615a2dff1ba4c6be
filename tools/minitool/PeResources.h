#pragma once
// Read-only views of an image's resources: the version information and the
// requested execution level of the application manifest.
#include <string>
#include <utility>
#include <vector>

#include "PeImage.h"

namespace minitool {

constexpr uint16_t kVersionResourceType = 16;   // RT_VERSION
constexpr uint16_t kManifestResourceType = 24;  // RT_MANIFEST

// The data of the first resource of a type (first name, first language);
// false when the image has none or the resource tree is malformed.
bool FindResourceData(const Bytes& image, const PeImage& pe, uint16_t type, size_t& offset, size_t& size);

struct VersionInfo {
    std::string fileVersion;     // "a.b.c.d" from the fixed part, empty without it
    std::string productVersion;
    std::vector<std::pair<std::string, std::string>> strings;  // StringFileInfo, in file order (UTF-8)
};

// Decodes a VS_VERSIONINFO block; false with a message when it is malformed.
bool ParseVersionInfo(const uint8_t* data, size_t size, VersionInfo& info, std::string& error);

// The `level` (and `uiAccess`, if given) of requestedExecutionLevel in a
// manifest text, e.g. "requireAdministrator (uiAccess false)"; empty when the
// manifest asks for none.
std::string RequestedExecutionLevel(const std::string& manifest);

}  // namespace minitool
