#pragma once
// The one place where package bytes reach the disk. Tests put a writer of
// their own here to play a disk that fills up part way through a save.
#include <windows.h>

using PackageWriter = BOOL (*)(HANDLE file, const void* bytes, DWORD size, DWORD* written);

// Installs `writer` (null: WriteFile) and returns the one it replaces.
PackageWriter SetPackageWriter(PackageWriter writer);
// Writes through the current writer.
BOOL WritePackageBytes(HANDLE file, const void* bytes, DWORD size, DWORD* written);
// Writes all of `size` bytes, repeating after partial writes; false when the
// writer fails or stops making progress before the end.
bool WriteAllPackageBytes(HANDLE file, const void* bytes, DWORD size, DWORD* written);
