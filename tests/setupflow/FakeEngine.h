#pragma once
// A download engine for tests: each download follows a script chosen by its
// cookie, runs on a thread of its own like the real engine's work thread, and
// writes the script's bytes to the requested path.
#include <windows.h>

#include <atomic>
#include <map>
#include <string>
#include <vector>

#include "gnet/DownloadFile.h"
#include "setup/EngineFactory.h"

struct FakeDownloadScript {
    bool refuse = false;           // DownloadFile returns 0
    int result = gnet::kDownRetSuccess;
    std::string content;           // written to the path before the end
    int progressSteps = 3;         // DownloadBits calls
    bool startFirst = true;        // DownloadStart before anything else
    bool overBeforeStart = false;  // DownloadOver, then DownloadStart and DownloadBits again
    bool overTwice = false;        // DownloadOver delivered a second time
    int64_t averageSpeed = 0;      // bytes per second
    HANDLE gateBeforeOver = nullptr;  // waited for before DownloadOver, when set
};

// What one engine object was asked to do.
struct FakeDownloadRecord {
    int cookie = -1;
    std::wstring url, path, suffix, headerJson;
    int maxRetry = -1, channels = -1, reuse = -1, noSpeedLimit = -1;
    int64_t blockSize = -1;
    bool deleted = false;
};

class CFakeEngineFactory : public IDownloadEngineFactory {
public:
    CFakeEngineFactory();
    ~CFakeEngineFactory() override;

    void Init(const wchar_t* productName, const wchar_t* version, const wchar_t* channel) override;
    gnet::IDownloadFile* Create(gnet::IDownloadFileCallback* callback) override;
    void Release(gnet::IDownloadFile* engine) override;

    std::map<int, FakeDownloadScript> scripts;  // by cookie
    bool createFails = false;
    HANDLE gateBeforeCreate = nullptr;          // Create waits for it when set
    HANDLE createEntered = nullptr;             // set when Create is entered

    std::vector<FakeDownloadRecord> Records();
    int Created() const { return created_.load(); }
    int Live() const { return live_.load(); }
    std::wstring initProduct;

    void Store(const FakeDownloadRecord& record);

private:
    CRITICAL_SECTION lock_;
    std::vector<FakeDownloadRecord> records_;
    std::atomic<int> created_{0};
    std::atomic<int> live_{0};
};
