#pragma once
// File-system helpers of the engine: path checks, folder creation, the
// writable test, free space, unique names and whole-file read/write.
#include <cstdint>
#include <string>

namespace gnet {

bool IsPathLegal(const std::wstring& path);
bool CreateDirectoryRecursive(const std::wstring& folder);
bool IsPathWritable(const std::wstring& folder);
bool IsNtfsVolume(const std::wstring& path);
uint64_t GetFreeSpaceMB(const std::wstring& path);
bool MakeUniqueFileName(const std::wstring& path, std::wstring& out);
std::wstring GetParentPath(const std::wstring& path);
int64_t GetFileSizeByName(const std::wstring& path);

bool PathExists(const std::wstring& path);
bool IsDirectory(const std::wstring& path);
// True for a path that cannot name a file: it ends in a separator or is a folder.
bool NamesNoFile(const std::wstring& path);
// Fails for files above 1 GiB or when fewer bytes than the size were read.
bool ReadWholeFile(const std::wstring& path, std::string& out);
// Writes path + ".tmp" completely, flushes it and only then replaces path
// with it, so a crash leaves either the old or the new content, never half.
bool WriteFileAtomically(const std::wstring& path, const std::string& bytes);
// Deletes a folder with everything in it, or only its contents.
bool DeleteDirectory(const std::wstring& folder, bool contentsOnly);

}  // namespace gnet
