#pragma once
// Small file helpers for tests and the test programs: whole files in and out,
// and removing a folder a test made.
#include <string>

// Creates or replaces `path` with `bytes`; false unless every byte is written.
bool WriteBytes(const std::wstring& path, const std::string& bytes);
// The whole file; false when it cannot be opened or read completely.
bool ReadBytes(const std::wstring& path, std::string* bytes);
bool FileExists(const std::wstring& path);
// Removes `folder` (ending in a backslash) with everything in it. A reparse
// point inside is removed as a link, never followed.
void RemoveTree(const std::wstring& folder);
