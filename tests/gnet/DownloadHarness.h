#pragma once
// A client of the engine for end-to-end tests: one download against the
// download test server, its outcome and the served file's digest.
#include <gtest/gtest.h>

#include <functional>

#include "gnet/DownloadFile.h"
#include "gnet/FileInfo.h"
#include "gnet/StringUtil.h"
#include "base/MD5Checksum.h"
#include "tests/gnet/TestSupport.h"

namespace gnettest {

const int64_t MiB = 1048576;

class Client : public gnet::IDownloadFileCallback {
public:
    Client() : over_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), firstBits_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Client() override {
        CloseHandle(over_);
        CloseHandle(firstBits_);
    }
    void DownloadStart(int) override { InterlockedIncrement(&starts); }
    void DownloadBits(int) override {
        InterlockedIncrement(&bits);
        SetEvent(firstBits_);
    }
    void DownloadOver(int) override {
        InterlockedIncrement(&overs);
        SetEvent(over_);
    }
    bool WaitOver(DWORD ms) { return WaitForSingleObject(over_, ms) == WAIT_OBJECT_0; }
    bool WaitFirstBits(DWORD ms) { return WaitForSingleObject(firstBits_, ms) == WAIT_OBJECT_0; }
    volatile LONG starts = 0, bits = 0, overs = 0;

private:
    HANDLE over_;
    HANDLE firstBits_;
};

struct Outcome {
    int result = 0;
    std::wstring path;
    int maxChannels = 0;
    int retries = 0;
    int64_t avgSpeed = 0;
    int percent = 0;
    int starts = 0;
    double costTime = 0;
};

class DownloadTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { gnet::InitDownloadEngine(L"MiniSetup", L"1.0.0.0", L"test"); }
    void SetUp() override {
        // These tests need the download test server; without it they fail.
        if (gnettest::ServerAddress().empty()) FAIL() << "MINISETUP_DOWNLOAD_SERVER is not set";
        target = folder.File(L"pkg.bin");
    }

    Outcome Download(const std::string& pathAndQuery, std::function<void(gnet::IDownloadFile*)> configure = nullptr,
                     DWORD timeoutMs = 60000) {
        Client client;
        gnet::IDownloadFile* file = gnet::CreateDownloadFile(&client);
        Outcome outcome;
        if (!file) return outcome;
        file->SetChannelCount(10);
        if (configure) configure(file);
        EXPECT_EQ(1, file->DownloadFile(7, gnettest::ServerUrl(pathAndQuery).c_str(), target.c_str(), nullptr));
        EXPECT_TRUE(client.WaitOver(timeoutMs)) << "no DownloadOver for " << pathAndQuery;
        outcome.result = file->GetDownloadRet();
        outcome.path = file->GetFinalDestPath();
        outcome.maxChannels = file->GetMaxChannels();
        outcome.retries = file->GetRetryTimes();
        outcome.avgSpeed = file->GetAvgSpeed();
        outcome.percent = file->GetPercent();
        outcome.costTime = file->GetCostTime();
        gnet::ReleaseDownloadFile(file);
        outcome.starts = client.starts;
        EXPECT_EQ(1, client.overs);
        return outcome;
    }

    void ExpectServedFile(const Outcome& outcome, const std::string& contentPath) {
        EXPECT_EQ(gnet::kDownRetSuccess, outcome.result);
        EXPECT_EQ(10000, outcome.percent);
        EXPECT_EQ(gnettest::ServedMd5(contentPath), CMD5Checksum::HexOfFile(outcome.path)) << contentPath;
    }

    std::wstring RecordPath(const std::string& pathAndQuery) {
        return folder.Path() + L"\\" + gnet::MakeRecordName(gnettest::ServerUrl(pathAndQuery)) + L".gnet";
    }

    gnettest::ScratchFolder folder;
    std::wstring target;
};


// Bytes the resume record still lists as missing; -1 without a record.
inline int64_t MissingBytesInRecord(const std::wstring& recordPath) {
    gnet::CFileInfo record;
    record.SetPath(recordPath.substr(0, recordPath.size() - 5));
    if (!record.IsLoaded()) return -1;
    int64_t missing = 0;
    for (const auto& block : record.GetBlocks()) missing += block.second;
    return missing;
}

}  // namespace gnettest
