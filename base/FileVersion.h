#pragma once
// Version information of executable files.
#include <string>

// The "ProductVersion" string with every "," replaced by "."; empty when the
// file has none.
std::wstring GetFileProductVersion(const std::wstring& path);

// "description|file version|product name|product version|copyright|<size>KB|md5",
// with "null" for every missing field (the size is left out and the digest is
// "null" when the file cannot be read).
std::wstring GetFileInfoRecord(const std::wstring& path);

// The "%I64dKB" size field: the byte count shifted right by 10.
std::wstring FormatSizeField(long long bytes);
