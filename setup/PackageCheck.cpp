#include "setup/PackageCheck.h"

#include <softpub.h>
#include <wintrust.h>

#include <cstring>

#include "base/MD5Checksum.h"

const char kUnreadableDigest[] = "00000000000000000000000000000000";

bool CPackageFile::Open(const std::wstring& path)
{
    Close();
    file_ = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    readFailed_ = false;
    return IsOpen();
}

void CPackageFile::Close()
{
    if (IsOpen()) CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
}

std::string CPackageFile::DigestHex()
{
    readFailed_ = true;
    if (!IsOpen()) return kUnreadableDigest;
    LARGE_INTEGER start = {};
    if (!SetFilePointerEx(file_, start, nullptr, FILE_BEGIN)) return kUnreadableDigest;
    CMD5Checksum md5;
    char block[1024];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file_, block, sizeof(block), &got, nullptr)) return kUnreadableDigest;
        if (got == 0) break;
        md5.Update(block, got);
    }
    readFailed_ = false;
    return md5.FinalHex();
}

bool CPackageFile::MatchesDigest(const std::string& expected)
{
    std::string digest = DigestHex();
    if (readFailed_) return false;
    return CMD5Checksum::SameDigest(digest, expected);
}

std::string PackageDigestHex(const std::wstring& path)
{
    CPackageFile file;
    if (!file.Open(path)) return kUnreadableDigest;
    return file.DigestHex();
}

bool HasValidSignature(const std::wstring& path)
{
    WINTRUST_FILE_INFO fileInfo = {};
    fileInfo.cbStruct = sizeof(fileInfo);
    fileInfo.pcwszFilePath = path.c_str();

    WINTRUST_DATA data = {};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &fileInfo;
    data.dwStateAction = WTD_STATEACTION_VERIFY;

    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    LONG status = WinVerifyTrust(nullptr, &action, &data);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(nullptr, &action, &data);
    return status == 0;
}
