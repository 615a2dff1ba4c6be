#pragma once
// The checks a package passes before it is started: its digest, read through
// a handle that lets nobody else write, replace or delete the file until the
// installer has been started, and its code signature.
#include <windows.h>

#include <string>

// 32 zero digits: the digest text of a file that cannot be read.
extern const char kUnreadableDigest[];

class CPackageFile {
public:
    CPackageFile() = default;
    ~CPackageFile() { Close(); }
    CPackageFile(const CPackageFile&) = delete;
    CPackageFile& operator=(const CPackageFile&) = delete;

    // Opens for reading with read sharing only. False when it cannot.
    bool Open(const std::wstring& path);
    void Close();
    bool IsOpen() const { return file_ != INVALID_HANDLE_VALUE; }

    // Lower-case hex MD5 of the whole file, read in blocks of 1,024 bytes;
    // kUnreadableDigest when the file is not open or a read fails.
    std::string DigestHex();
    // The digest equals `expected` (case-insensitive). A file that cannot be
    // read never matches, whatever `expected` holds.
    bool MatchesDigest(const std::string& expected);

private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
    bool readFailed_ = false;
};

// Digest of a file by path, kUnreadableDigest when it cannot be read.
std::string PackageDigestHex(const std::wstring& path);

// True when the file carries a valid Authenticode signature (any signer).
bool HasValidSignature(const std::wstring& path);
