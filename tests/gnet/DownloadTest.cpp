// End to end: the engine against the download test server, each download
// checked against the MD5 of the served content.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "gnet/DownloadFile.h"
#include "gnet/EasyDownFile.h"
#include "gnet/FileInfo.h"
#include "gnet/FileUtils.h"
#include "gnet/SimpleDebugLog.h"
#include "gnet/StringUtil.h"
#include "base/MD5Checksum.h"
#include "tests/gnet/DownloadHarness.h"

namespace {

using gnettest::Client;
using gnettest::DownloadTest;
using gnettest::MiB;
using gnettest::MissingBytesInRecord;
using gnettest::Outcome;

TEST_F(DownloadTest, ServerWithoutRangesGetsOneRequestForTheWholeFile) {
    Outcome outcome = Download("/gen/3145728?id=noranges&noranges=1");
    ExpectServedFile(outcome, "/gen/3145728");
    Json::Value stats = gnettest::ServerStats("noranges");
    EXPECT_EQ(1, stats["get"].asInt());
    EXPECT_EQ(0, stats["get_starts"][0].asInt());
}

TEST_F(DownloadTest, ServerAllowingOneConnectionSucceedsOverTheFirstChannel) {
    Outcome outcome = Download("/gen/4194304?id=oneconn&maxconn=1&rate=3000000",
                               [](gnet::IDownloadFile* f) { f->SetBlockSize(MiB); });
    ExpectServedFile(outcome, "/gen/4194304");
    Json::Value stats = gnettest::ServerStats("oneconn");
    EXPECT_GE(stats["statuses"]["503"].asInt(), 1);
    EXPECT_EQ(1, stats["max_concurrent"].asInt());
}

TEST_F(DownloadTest, BlockAnswered503Recovers) {
    Outcome outcome = Download("/gen/5242880?id=busy&fail503_start=2097152&rate=1000000");
    ExpectServedFile(outcome, "/gen/5242880");
    Json::Value stats = gnettest::ServerStats("busy");
    EXPECT_EQ(1, stats["statuses"]["503"].asInt());
    int requests = 0;
    for (const Json::Value& start : stats["get_starts"]) requests += start.asInt64() == 2097152 ? 1 : 0;
    EXPECT_EQ(2, requests) << "the refused block was not requested again";
}

TEST_F(DownloadTest, ConnectionDroppedMidBlockIsResumedFromItsPosition) {
    Outcome outcome = Download("/gen/5242880?id=drop&drop_start=2097152&drop_after=100000&rate=1000000");
    ExpectServedFile(outcome, "/gen/5242880");
    Json::Value starts = gnettest::ServerStats("drop")["get_starts"];
    bool resumedAtDrop = false;
    for (const Json::Value& start : starts) resumedAtDrop |= start.asInt64() == 2097152 + 100000;
    EXPECT_TRUE(resumedAtDrop);
}

TEST_F(DownloadTest, RedirectIsFollowed) {
    ExpectServedFile(Download("/gen/2097152?id=redir&redirect=1"), "/gen/2097152");
}

TEST_F(DownloadTest, SizeQueryAnswered404EndsWithRemoteSizeFail) {
    Outcome outcome = Download("/gen/1048576?id=missing&status=404",
                               [](gnet::IDownloadFile* f) { f->SetMaxRetry(2); });
    EXPECT_EQ(gnet::kDownRetRemoteSizeFail, outcome.result);
    EXPECT_EQ(3, gnettest::ServerStats("missing")["head"].asInt());
    EXPECT_FALSE(gnet::PathExists(target));
}

TEST_F(DownloadTest, ChunkedReplyWithoutLengthHasNoSize) {
    Outcome outcome = Download("/gen/1048576?id=chunked&chunked=1", [](gnet::IDownloadFile* f) { f->SetMaxRetry(0); });
    EXPECT_EQ(gnet::kDownRetRemoteSizeFail, outcome.result);
}

TEST_F(DownloadTest, OnlyWebSchemesAreFetchedOrFollowed) {
    Client client;
    gnet::IDownloadFile* file = gnet::CreateDownloadFile(&client);
    file->SetMaxRetry(0);
    ASSERT_EQ(1, file->DownloadFile(1, L"file:///C:/windows/win.ini", target.c_str(), nullptr));
    ASSERT_TRUE(client.WaitOver(30000));
    EXPECT_EQ(gnet::kDownRetRemoteSizeFail, file->GetDownloadRet());
    gnet::ReleaseDownloadFile(file);

    Outcome redirected = Download("/gen/1?id=toFile&redirect_to=file:///C:/windows/win.ini",
                                  [](gnet::IDownloadFile* f) { f->SetMaxRetry(0); });
    EXPECT_EQ(gnet::kDownRetRemoteSizeFail, redirected.result);
    EXPECT_FALSE(gnet::PathExists(target));
}

TEST_F(DownloadTest, RangeIgnoredAboveByteZeroNeverLandsAtTheWrongOffset) {
    const char* queries[] = {"/gen/4194304?id=ignored&ignore_range=1&rate=2000000",
                             "/gen/4194304?id=wrongrange&wrong_range=1&rate=2000000"};
    for (const char* query : queries) {
        Outcome outcome = Download(query, [](gnet::IDownloadFile* f) {
            f->SetBlockSize(MiB);
            f->SetReuseSameFile(0);
        });
        ExpectServedFile(outcome, "/gen/4194304");
        DeleteFileW(outcome.path.c_str());
    }
}

TEST_F(DownloadTest, FinishedDownloadIsFoundAgainWithoutFetching) {
    ExpectServedFile(Download("/gen/2097152?id=again"), "/gen/2097152");
    gnettest::ResetServerId("again");
    Outcome second = Download("/gen/2097152?id=again");
    ExpectServedFile(second, "/gen/2097152");
    EXPECT_EQ(target, second.path);
    EXPECT_EQ(1, second.starts);
    EXPECT_EQ(0, gnettest::ServerStats("again")["get"].asInt());
}

TEST_F(DownloadTest, ClientStopSendsNoDownloadOverAndKeepsTheRecord) {
    const std::string query = "/gen/4194304?id=stop&rate=300000";
    Client client;
    gnet::IDownloadFile* file = gnet::CreateDownloadFile(&client);
    ASSERT_EQ(1, file->DownloadFile(3, gnettest::ServerUrl(query).c_str(), target.c_str(), nullptr));
    ASSERT_TRUE(client.WaitFirstBits(20000));
    EXPECT_EQ(1, file->StopDownload());
    EXPECT_FALSE(client.WaitOver(2500));
    EXPECT_EQ(0, file->SetMaxRetry(3));  // no longer idle
    EXPECT_EQ(0, file->DownloadFile(3, gnettest::ServerUrl(query).c_str(), target.c_str(), nullptr));
    gnet::ReleaseDownloadFile(file);
    EXPECT_EQ(0, client.overs);
    EXPECT_TRUE(gnet::PathExists(RecordPath(query)));
}

TEST_F(DownloadTest, PreallocatedTargetIsRecordedBeforeAnyDataArrives) {
    // The server holds back every byte: a process ending now must still find
    // its full-size target through the record, all of it missing.
    const int64_t size = 3145728;
    const std::string query = "/gen/3145728?id=early&stall_after=0&stall=5";
    Client client;
    gnet::IDownloadFile* file = gnet::CreateDownloadFile(&client);
    file->SetChannelCount(3);
    ASSERT_EQ(1, file->DownloadFile(3, gnettest::ServerUrl(query).c_str(), target.c_str(), nullptr));
    for (int i = 0; i < 400 && client.starts == 0; ++i) Sleep(25);
    ASSERT_EQ(1, client.starts);
    EXPECT_EQ(0, client.bits);
    WIN32_FILE_ATTRIBUTE_DATA attributes = {};  // the mapped target cannot be opened for reading now
    ASSERT_TRUE(GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &attributes));
    EXPECT_EQ(size, (int64_t(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow);
    EXPECT_EQ(size, MissingBytesInRecord(RecordPath(query)));
    EXPECT_EQ(1, file->StopDownload());
    gnet::ReleaseDownloadFile(file);
}

// The engine's log lines of one thread, in order.
std::vector<std::string> LogLinesOfThread(const std::string& log, const std::string& threadId) {
    std::vector<std::string> lines;
    std::string tag = "[" + threadId + "]";
    for (size_t at = 0; at < log.size();) {
        size_t end = log.find("\r\n", at);
        if (end == std::string::npos) end = log.size();
        std::string line = log.substr(at, end - at);
        if (line.find(tag) != std::string::npos) lines.push_back(line);
        at = end + 2;
    }
    return lines;
}

TEST_F(DownloadTest, SpeedLimitHoldsTheAverage) {
    const int64_t limit = 1000000;
    Outcome outcome = Download("/gen/4194304?id=limit", [&](gnet::IDownloadFile* f) { f->SetSpeedLimit(limit); });
    ExpectServedFile(outcome, "/gen/4194304");
    EXPECT_NEAR(static_cast<double>(limit), static_cast<double>(outcome.avgSpeed), limit * 0.1);
}

// Channels that together would outrun the limit are held to it; a channel
// that is to be started then is refused and one running channel is stopped
// instead. The next stop waits for that channel's over event. One connection
// in the middle of the file is cut short, so its block is started again while
// the others run at the limit.
TEST_F(DownloadTest, SpeedLimitStopsOneChannelAtATime) {
    const int64_t limit = 500000;
    gnettest::ResetServerId("limitstops");
    // The log is read once closed: its open mapping keeps others out.
    std::wstring logPath = gnet::GetEngineLogPath();
    gnet::CSimpleDebugLog::DestroyInstance();
    std::string logBefore = gnettest::ReadBytes(logPath);
    // Ten blocks of 838860 bytes; the one of channel 5 is cut.
    const std::string query = "/gen/8388608?id=limitstops&rate=300000&drop_start=4194300&drop_after=100000";
    Outcome outcome = Download(query, [&](gnet::IDownloadFile* f) {
        f->SetSpeedLimit(limit);
        f->SetBlockSize(512 * 1024);
    });
    ExpectServedFile(outcome, "/gen/8388608");

    logPath = gnet::GetEngineLogPath();
    gnet::CSimpleDebugLog::DestroyInstance();
    std::string log = gnettest::ReadBytes(logPath);
    if (log.compare(0, logBefore.size(), logBefore) == 0) log = log.substr(logBefore.size());
    const std::string stopText = "Stop a Channel : ";
    size_t firstStop = log.find(stopText);
    ASSERT_NE(std::string::npos, firstStop) << "no channel was stopped for the speed limit";
    size_t open = log.rfind('[', firstStop);
    std::string threadId = log.substr(open + 1, log.find(']', open) - open - 1);
    int stops = 0;
    std::string waitingFor;
    for (const std::string& line : LogLinesOfThread(log, threadId)) {
        size_t stop = line.find(stopText);
        if (stop != std::string::npos) {
            EXPECT_TRUE(waitingFor.empty()) << "channel stopped before channel " << waitingFor << " ended";
            waitingFor = line.substr(stop + stopText.size());
            ++stops;
        } else if (!waitingFor.empty() &&
                   line.find("CDownloadPartOverTask::RunThreadTask, cookie = " + waitingFor) != std::string::npos) {
            waitingFor.clear();
        }
    }
    EXPECT_GE(stops, 1);
}

// Writes through the mapping until the test's resume record shows progress,
// then refuses: so the failure comes after progress was saved.
std::wstring g_recordToWaitFor;
int64_t g_recordedFileSize = 0;

bool WriterFailingOnceRecorded(HANDLE mapping, int64_t offset, const void* data, size_t size) {
    int64_t missing = MissingBytesInRecord(g_recordToWaitFor);
    if (missing >= 0 && missing < g_recordedFileSize) return false;
    int64_t start = offset / 65536 * 65536;
    size_t delta = static_cast<size_t>(offset - start);
    void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, static_cast<DWORD>(start >> 32), static_cast<DWORD>(start),
                               size + delta);
    if (!view) return false;
    memcpy(static_cast<char*>(view) + delta, data, size);
    UnmapViewOfFile(view);
    return true;
}

TEST_F(DownloadTest, WriteFailureEndsWith20016AndDeletesTargetAndRecord) {
    const std::string query = "/gen/4194304?id=writefail&rate=500000";
    g_recordToWaitFor = RecordPath(query);
    g_recordedFileSize = 4194304;
    gnet::SetMappingWriter(&WriterFailingOnceRecorded);
    Outcome outcome = Download(query);
    gnet::SetMappingWriter(nullptr);
    EXPECT_EQ(gnet::kDownRetWriteFail, outcome.result);
    EXPECT_GT(outcome.percent, 0) << "the write failed before anything was recorded";
    EXPECT_FALSE(gnet::PathExists(target));
    EXPECT_FALSE(gnet::PathExists(RecordPath(query)));
}

// --- a killed process resumes ---------------------------------------------------

std::wstring GnetGetPath() {
    std::wstring path = L"Z:" + gnet::Utf8ToWide(GNETGET_UNIX_PATH);
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

HANDLE StartGnetGet(const std::wstring& url, const std::wstring& dest) {
    std::wstring command = L"\"" + GnetGetPath() + L"\" \"" + url + L"\" \"" + dest + L"\" --block-size 1048576";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
}

TEST_F(DownloadTest, KilledProcessResumesToTheSameDigest) {
    const std::string query = "/gen/6291456?id=kill&rate=400000";
    const int64_t size = 6291456;
    std::wstring url = gnettest::ServerUrl(query);
    std::wstring record = RecordPath(query);

    HANDLE first = StartGnetGet(url, target);
    ASSERT_NE(nullptr, first);
    bool progressed = false;
    for (int i = 0; i < 300 && !progressed; ++i) {
        Sleep(50);
        int64_t missing = MissingBytesInRecord(record);
        progressed = missing >= 0 && size - missing >= 2 * MiB;
    }
    TerminateProcess(first, 9);
    WaitForSingleObject(first, 10000);
    CloseHandle(first);
    ASSERT_TRUE(progressed) << "the first run never recorded progress";
    int64_t missingAfterKill = MissingBytesInRecord(record);
    ASSERT_GT(missingAfterKill, 0);

    gnettest::ResetServerId("kill");
    HANDLE second = StartGnetGet(url, target);
    ASSERT_NE(nullptr, second);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(second, 60000));
    DWORD exitCode = 1;
    GetExitCodeProcess(second, &exitCode);
    CloseHandle(second);
    EXPECT_EQ(0u, exitCode);
    EXPECT_EQ(gnettest::ServedMd5("/gen/6291456"), CMD5Checksum::HexOfFile(target));
    EXPECT_LT(gnettest::ServerStats("kill")["bytes"].asInt64(), size - MiB);
    // gnetget is done with a finished download: no record stays behind.
    EXPECT_FALSE(gnet::PathExists(record));
}

// --- interface rules --------------------------------------------------------

TEST_F(DownloadTest, RefusedCallsChangeNothing) {
    gnet::IDownloadFile* file = gnet::CreateDownloadFile(nullptr);
    EXPECT_EQ(0, file->SetChannelCount(0));
    EXPECT_EQ(0, file->SetMaxRetry(-1));
    EXPECT_EQ(0, file->SetHttpHeader(L"{\"httpheader\":\"x\"}"));
    EXPECT_EQ(1, file->SetHttpHeader(L"{\"httpheader\":[\"X-A: 1\"]}"));
    EXPECT_EQ(0, file->DownloadFile(1, L"http://127.0.0.1/", L"C:\\", nullptr));
    EXPECT_EQ(0, file->DownloadFile(1, nullptr, target.c_str(), nullptr));
    EXPECT_STREQ(L"", file->GetFinalDestPath());
    gnet::ReleaseDownloadFile(file);
    gnet::ReleaseDownloadFile(nullptr);
}

// Options of an idle file: a value is taken unless it is refused for itself.
TEST(DownloadOptionsTest, IdleFileTakesOptionsAndRefusesBadValues) {
    Client client;
    gnet::IDownloadFile* file = gnet::CreateDownloadFile(&client);
    const struct {
        const char* what;
        std::function<int(gnet::IDownloadFile*)> set;
        int expected;
    } cases[] = {
        {"retries", [](gnet::IDownloadFile* f) { return f->SetMaxRetry(3); }, 1},
        {"no retries", [](gnet::IDownloadFile* f) { return f->SetMaxRetry(0); }, 1},
        {"negative retries", [](gnet::IDownloadFile* f) { return f->SetMaxRetry(-1); }, 0},
        {"channels", [](gnet::IDownloadFile* f) { return f->SetChannelCount(2); }, 1},
        {"no channels", [](gnet::IDownloadFile* f) { return f->SetChannelCount(0); }, 0},
        {"referer", [](gnet::IDownloadFile* f) { return f->SetReferer(L"http://127.0.0.1/"); }, 1},
        {"null referer", [](gnet::IDownloadFile* f) { return f->SetReferer(nullptr); }, 0},
        {"block size", [](gnet::IDownloadFile* f) { return f->SetBlockSize(MiB); }, 1},
        {"proxy switch", [](gnet::IDownloadFile* f) { return f->SetUseIEProxy(0); }, 1},
        {"speed limit", [](gnet::IDownloadFile* f) { return f->SetSpeedLimit(100000); }, 1},
        {"no speed limit", [](gnet::IDownloadFile* f) { return f->SetNoSpeedLimit(1); }, 1},
        {"reuse", [](gnet::IDownloadFile* f) { return f->SetReuseSameFile(1); }, 1},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, c.set(file)) << c.what;
    gnet::ReleaseDownloadFile(file);
}

}  // namespace
