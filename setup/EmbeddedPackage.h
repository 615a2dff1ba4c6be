#pragma once
// Finds an install package built into a program image: the raw data of a PE
// section named "full" (case-insensitive).
#include <cstddef>
#include <cstdint>

struct EmbeddedSection {
    size_t offset = 0;  // file offset of the raw data
    size_t size = 0;    // bytes of raw data
};

// Checks the DOS and PE headers and the section table against `size` and
// returns the first "full" section whose raw data lies wholly inside the
// buffer and is not empty. False for anything malformed or no such section.
bool FindFullSection(const uint8_t* image, size_t size, EmbeddedSection* section);
