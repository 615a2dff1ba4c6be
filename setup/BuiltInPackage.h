#pragma once
// A package built into the program's own file as a section named "full".
#include <string>

// Writes the section's raw data to a new "BRK*.tmp.exe" file in `workFolder`
// and returns its path. False when the image carries no sound "full" section
// or the copy cannot be written (a partial copy is deleted); the caller then
// downloads the package instead.
bool ExtractBuiltInPackage(const std::wstring& imagePath, const std::wstring& workFolder, std::wstring* packagePath);
