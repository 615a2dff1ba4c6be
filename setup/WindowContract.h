#pragma once
// What the setup window, the download control and the installer agree on:
// the window messages, the result codes carried by the "over" message and the
// result block the installer sends back with WM_COPYDATA.
#include <windows.h>

#include <cstddef>
#include <string>

// Messages the download control posts to the setup window.
constexpr UINT kMsgDownloadStarted = 2024;   // package download started
constexpr UINT kMsgDownloadProgress = 2025;  // lParam: hundredths of a percent, 0..10000
constexpr UINT kMsgDownloadOver = 2026;      // wParam: average KiB/s, lParam: result code
constexpr UINT kMsgInstallerStarting = 2027; // the installer is about to start
constexpr UINT kMsgInstallerEnded = 2028;    // the installer ended or failed to start

// Message the installer sends: wParam is the install percent, 0..100.
constexpr UINT kMsgInstallProgress = WM_USER + 101;
static_assert(kMsgInstallProgress == 1125, "installer progress message");

// WM_COPYDATA from the installer carries its result block with this dwData.
constexpr ULONG_PTR kInstallerResultDataId = 1;

// Result codes carried by kMsgDownloadOver (lParam).
constexpr int kResultDownloadFailed = 10001;
constexpr int kResultNoNetwork = 10002;
constexpr int kResultManifestUnreadable = 10006;
constexpr int kResultManifestCorrupt = 10007;
constexpr int kResultPackageMismatch = 10008;  // recorded only, never posted
constexpr int kResultPackageReady = 10010;
constexpr int kResultPackageRejected = 10014;
constexpr int kResultPackageSigned = 10015;

// The installer's result: two fixed, zero-terminated UTF-16 fields.
constexpr size_t kInstallerResultCodeChars = 10;
constexpr size_t kInstallerResultMessageChars = 1024;
struct InstallerResultBlock {
    wchar_t resultCode[kInstallerResultCodeChars];
    wchar_t message[kInstallerResultMessageChars];
};
static_assert(sizeof(InstallerResultBlock) == 2068, "the installer sends exactly 2,068 bytes");

// The result as the window reads it.
struct InstallerResult {
    std::wstring resultCode;
    std::wstring message;
    // "0", compared case-insensitively, means the installation succeeded.
    bool Succeeded() const;
};

// Reads a received block. False (and `out` untouched) for any dwData other
// than kInstallerResultDataId, any size other than 2,068 bytes or no data.
// A field without its terminating zero ends at the end of its field.
bool ParseInstallerResult(ULONG_PTR dwData, DWORD cbData, const void* data, InstallerResult* out);
bool ParseInstallerResult(const COPYDATASTRUCT* copyData, InstallerResult* out);

// Builds the block the installer sends; texts too long for a field are cut so
// that each field keeps its terminating zero.
InstallerResultBlock MakeInstallerResultBlock(const std::wstring& resultCode, const std::wstring& message);
