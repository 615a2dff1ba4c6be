// gnetget: command-line downloader on the engine, for debugging a mirror and
// for benchmarks.
//   gnetget URL DEST [--channels N] [--block-size BYTES] [--speed-limit BYTES_PER_S]
//           [--max-retry N] [--no-reuse] [--force-name] [--header-json TEXT]
// Prints a progress line about once a second and one result line at the end;
// exits with 0 on success, 1 otherwise. The result line carries the wall-clock
// moments (Unix seconds) of DownloadOver and of the engine object's release,
// so a benchmark can tell how long the process took to end after the transfer.
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "gnet/DownloadFile.h"
#include "gnet/StringUtil.h"

namespace {

struct Options {
    std::wstring url;
    std::wstring dest;
    int channels = 10;
    long long blockSize = -1;
    long long speedLimit = 0;
    int maxRetry = -1;
    bool noReuse = false;
    bool forceName = false;
    std::wstring headerJson;
};

void PrintUsage() {
    fprintf(stderr,
            "usage: gnetget URL DEST [--channels N] [--block-size BYTES] [--speed-limit BYTES_PER_S]\n"
            "               [--max-retry N] [--no-reuse] [--force-name] [--header-json TEXT]\n");
}

bool ParseNumber(const wchar_t* text, long long& out) {
    wchar_t* end = nullptr;
    out = wcstoll(text, &end, 10);
    return end && *end == L'\0' && end != text;
}

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        long long number = 0;
        bool hasValue = i + 1 < argc;
        if (arg == L"--no-reuse") {
            options.noReuse = true;
        } else if (arg == L"--force-name") {
            options.forceName = true;
        } else if (arg == L"--header-json" && hasValue) {
            options.headerJson = argv[++i];
        } else if ((arg == L"--channels" || arg == L"--block-size" || arg == L"--speed-limit" ||
                    arg == L"--max-retry") && hasValue) {
            if (!ParseNumber(argv[++i], number)) return false;
            if (arg == L"--channels") options.channels = static_cast<int>(number);
            if (arg == L"--block-size") options.blockSize = number;
            if (arg == L"--speed-limit") options.speedLimit = number;
            if (arg == L"--max-retry") options.maxRetry = static_cast<int>(number);
        } else if (arg.compare(0, 2, L"--") == 0) {
            return false;
        } else if (positional == 0) {
            options.url = arg;
            ++positional;
        } else if (positional == 1) {
            options.dest = arg;
            ++positional;
        } else {
            return false;
        }
    }
    return positional == 2;
}

// Seconds since 1970 on the system clock, the one the benchmark's shell reads.
double UnixSeconds() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER ticks;
    ticks.LowPart = now.dwLowDateTime;
    ticks.HighPart = now.dwHighDateTime;
    const unsigned long long kTicksFrom1601To1970 = 116444736000000000ULL;
    return static_cast<double>(ticks.QuadPart - kTicksFrom1601To1970) / 1e7;
}

class CWaitForOver : public gnet::IDownloadFileCallback {
public:
    CWaitForOver() : over_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~CWaitForOver() override { CloseHandle(over_); }
    void DownloadStart(int) override {}
    void DownloadBits(int) override {}
    void DownloadOver(int) override {
        overAt_ = UnixSeconds();
        SetEvent(over_);
    }
    bool WaitMs(DWORD ms) { return WaitForSingleObject(over_, ms) == WAIT_OBJECT_0; }
    double OverAt() const { return overAt_; }

private:
    HANDLE over_;
    double overAt_ = 0;
};

bool Configure(gnet::IDownloadFile* file, const Options& options) {
    if (!file->SetChannelCount(options.channels)) return false;
    if (options.blockSize >= 0) file->SetBlockSize(options.blockSize);
    if (options.speedLimit > 0) file->SetSpeedLimit(options.speedLimit);
    if (options.maxRetry >= 0 && !file->SetMaxRetry(options.maxRetry)) return false;
    if (options.noReuse) file->SetReuseSameFile(0);
    if (options.forceName) file->SetForceName(1);
    if (!options.headerJson.empty() && !file->SetHttpHeader(options.headerJson.c_str())) return false;
    return true;
}

std::wstring AbsolutePath(const std::wstring& path) {
    wchar_t full[MAX_PATH + 1] = {0};
    DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length > MAX_PATH) return path;
    return full;
}

unsigned long long PeakWorkingSet() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters))) return 0;
    return counters.PeakWorkingSetSize;
}

int Run(const Options& options) {
    gnet::InitDownloadEngine(L"gnetget", L"1.0.0.0", L"cli");
    CWaitForOver waiter;
    gnet::IDownloadFile* file = gnet::CreateDownloadFile(&waiter);
    if (!file) return 1;
    std::wstring dest = AbsolutePath(options.dest);
    if (!Configure(file, options) || !file->DownloadFile(1, options.url.c_str(), dest.c_str(), nullptr)) {
        fprintf(stderr, "gnetget: the download could not be started (see the engine log)\n");
        gnet::ReleaseDownloadFile(file);
        return 1;
    }
    while (!waiter.WaitMs(1000)) {
        printf("progress %6.2f%% bytes=%lld/%lld speed=%lld channels=%d\n", file->GetPercent() / 100.0,
               static_cast<long long>(file->GetDownloadedSize()), static_cast<long long>(file->GetFileSize()),
               static_cast<long long>(file->GetCurSpeed()), file->GetRunningChannels());
        fflush(stdout);
    }
    int result = file->GetDownloadRet();
    long long bytes = file->GetFileSize();
    double seconds = file->GetCostTime();
    long long average = file->GetAvgSpeed();
    int maxChannels = file->GetMaxChannels();
    int retries = file->GetRetryTimes();
    std::string path = gnet::WideToUtf8(file->GetFinalDestPath());
    // A finished download needs no resume record; the engine keeps it for
    // its client to decide, and this client is done with it.
    if (result == gnet::kDownRetSuccess) file->DeleteConfigFile();
    gnet::ReleaseDownloadFile(file);
    double releasedAt = UnixSeconds();
    printf("peakmem=%llu\n", PeakWorkingSet());
    printf("result=%d bytes=%lld seconds=%.3f avg=%lld maxchannels=%d retries=%d overat=%.3f releasedat=%.3f path=%s\n",
           result, result == gnet::kDownRetSuccess ? bytes : 0LL, seconds, average, maxChannels, retries,
           waiter.OverAt(), releasedAt, path.c_str());
    fflush(stdout);
    return result == gnet::kDownRetSuccess ? 0 : 1;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    Options options;
    bool parsed = argv && ParseOptions(argc, argv, options);
    if (argv) LocalFree(argv);
    if (!parsed) {
        PrintUsage();
        return 1;
    }
    return Run(options);
}
