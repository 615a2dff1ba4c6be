#pragma once
// Shared helpers of the report tests: a private report folder and registry
// base per test, file helpers, and a small client of the statistics server.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "PackageReader.h"
#include "report/ReportLocations.h"

// Points the report store at a fresh temporary folder and a fresh registry
// base under HKCU; removes both again when destroyed.
class TempReportPlace {
public:
    TempReportPlace();
    ~TempReportPlace();
    const std::wstring& Folder() const { return folder_; }
    const std::wstring& KeyBase() const { return keyBase_; }

private:
    std::wstring folder_;
    std::wstring keyBase_;
    ReportLocations previous_;
};

std::vector<uint8_t> ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes);
// File names (without folder) in a folder matching a pattern such as L"*.tmp".
std::vector<std::wstring> FilesIn(const std::wstring& folder, const wchar_t* pattern);
bool FileExists(const std::wstring& path);
std::vector<std::wstring> QueueNames(const std::wstring& keyPath);
rp::Package DecodePackage(const std::wstring& path);
// Makes `link` a symbolic link to `target` (a folder or a file). Under Wine
// this is a link of the host's file system, which Wine presents as a
// reparse point; elsewhere a Windows symbolic link. False when it fails.
bool MakeSymbolicLink(const std::wstring& link, const std::wstring& target, bool folder);
std::string Narrow(const std::wstring& text);
std::wstring Widen(const std::string& text);

struct ReceivedUpload {
    std::string kind;      // "package" or "raw"
    std::string filename;  // file name of the multipart field
    bool ok = false;       // the request had the expected shape
    std::string error;
    std::string answer;
    size_t size = 0;
};

// What reached the server's TLS listener (self-signed certificate).
struct TlsCounts {
    unsigned port = 0;
    int connections = 0;  // TCP connections accepted
    int handshakes = 0;   // TLS handshakes completed
    int requests = 0;     // HTTP requests read over TLS
};

// The statistics test server named by MINISETUP_STATS_SERVER.
class StatsServer {
public:
    StatsServer();
    bool Available() const { return port_ != 0; }
    std::wstring Address(const std::wstring& path = L"/cgi-bin-py/mini_install_statistic_info.cgi") const;
    // Answer for the following uploads: L"200", L"500", L"400", L"close"...
    void SetAnswer(const std::wstring& answer, double delaySeconds = 0);
    void GoDown(double seconds);
    void Reset();
    std::vector<ReceivedUpload> Received();
    std::vector<uint8_t> ReceivedBytes(size_t index);
    // Starts the TLS listener on first use; throws when it cannot be had.
    TlsCounts Tls();

private:
    std::vector<uint8_t> Get(const std::wstring& path);
    std::wstring host_;
    unsigned short port_ = 0;
};
