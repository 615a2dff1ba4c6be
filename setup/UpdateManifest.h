#pragma once
// The update manifest "config.xml": the record it is read into, the reading,
// the check copy written next to it and the self-check against that copy.
#include <cstddef>
#include <string>

struct UpdateManifest {
    std::wstring listMd5;          // update_info md5: digest of the check copy
    std::wstring name;             // package file name (without ".exe")
    std::wstring version;          // four dot-separated numbers
    std::wstring type;
    std::wstring mode;
    std::wstring requireAdmin;     // "yes" asks for elevation
    std::wstring parameter;
    std::wstring size;             // reported only
    std::wstring md5;              // package digest
    std::wstring url;              // package address
    int thread = 1;                // download channels for the package
    std::wstring promotionPolicy;
    std::wstring policyMd5;
};

// Larger manifests are refused unread.
constexpr size_t kMaxManifestBytes = 1024 * 1024;

// Parses manifest bytes (the buffer is parsed in place and must be writable).
// On success fills `manifest` (a text field without its attribute becomes
// empty; `thread` changes only when given) and, when `checkCopy` is not null,
// sets it to the bytes of the check copy. Returns false, leaving `manifest`
// untouched, for malformed XML, no "update_info" or no "item" in it, a package
// name that is not a plain file name, or an address that is not http(s).
bool ParseUpdateManifest(std::string bytes, UpdateManifest* manifest, std::string* checkCopy);

// Reads the manifest file and writes its check copy (path + "_"); any earlier
// check copy is deleted first, so a failed write leaves none.
bool ReadUpdateManifest(const std::wstring& path, UpdateManifest* manifest);

// The self-check: the digest of the check copy (recorded as a report item)
// equals listMd5, case-insensitively. A missing copy or an empty or malformed
// listMd5 never passes.
bool CheckUpdateManifest(const std::wstring& path, const UpdateManifest& manifest);

// The check copy's name for a manifest path.
std::wstring ManifestCheckCopyPath(const std::wstring& path);

// Deletes a manifest and its check copy (before a new manifest download).
void DeleteManifestFiles(const std::wstring& path);

// A package name usable as a file name inside the work folder: not empty, no
// folder parts, no reserved characters, no device name, no "..".
bool IsPlainFileName(const std::wstring& name);

// An absolute http:// or https:// address with a host.
bool IsHttpAddress(const std::wstring& url);
