// Upload passes against the statistics test server.
#include <gtest/gtest.h>

#include <map>

#include "ReportTestSupport.h"
#include "report/Filebase.h"
#include "report/Report.h"
#include "report/ReportManager.h"
#include "report/ReportLocations.h"
#include "report/ReportQueue.h"
#include "report/Upload.h"

namespace {

class UploadPassTest : public ::testing::Test {
protected:
    TempReportPlace place;
    StatsServer server;

    void SetUp() override
    {
        ASSERT_TRUE(server.Available()) << "MINISETUP_STATS_SERVER is not set";
        server.Reset();
    }

    std::wstring InFolder(const std::wstring& name) const { return place.Folder() + L"\\" + name; }

    std::vector<uint8_t> SomeBytes(size_t size, uint8_t seed = 1)
    {
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(seed + i * 7);
        return bytes;
    }
    // A queued package file with the given content.
    std::wstring Queue(const std::wstring& name, const std::vector<uint8_t>& bytes)
    {
        std::wstring path = InFolder(name);
        WriteBytes(path, bytes);
        WriteQueueValue(ProcessingKeyPath(), path, server.Address());
        return path;
    }
    bool Queued(const std::wstring& name)
    {
        for (const std::wstring& queued : QueueNames(ProcessingKeyPath()))
            if (queued == name) return true;
        return false;
    }
    std::vector<ReceivedUpload> Delivered()
    {
        std::vector<ReceivedUpload> ok;
        for (const ReceivedUpload& upload : server.Received()) {
            EXPECT_TRUE(upload.ok) << upload.error;
            if (upload.ok && upload.answer == "200") ok.push_back(upload);
        }
        return ok;
    }
};

TEST_F(UploadPassTest, DeliveredPackagesLeaveTheQueue)
{
    std::vector<uint8_t> first = SomeBytes(5000), second = SomeBytes(300, 9);
    std::wstring a = Queue(L"rpFile-a.dat", first), b = Queue(L"rpFile-b.dat", second);
    UploadPass();
    EXPECT_FALSE(FileExists(a));
    EXPECT_FALSE(FileExists(b));
    EXPECT_TRUE(QueueNames(ProcessingKeyPath()).empty());
    std::vector<ReceivedUpload> received = server.Received();
    ASSERT_EQ(2u, received.size());
    // The pass walks the queue in name order; the server checked the multipart layout.
    EXPECT_EQ("rpFile-a.dat", received[0].filename);
    EXPECT_EQ("rpFile-b.dat", received[1].filename);
    for (const ReceivedUpload& upload : received) EXPECT_TRUE(upload.ok) << upload.error;
    EXPECT_EQ(first, server.ReceivedBytes(0));
    EXPECT_EQ(second, server.ReceivedBytes(1));
}

TEST_F(UploadPassTest, FailedDeliveriesStayQueuedForTheNextPass)
{
    struct {
        const wchar_t* answer;
        const char* name;
    } failures[] = {{L"500", "server error"},
                    {L"503", "unavailable"},
                    {L"close", "dropped connection"},
                    {L"408", "server timed out waiting"},
                    {L"429", "rate limited"}};
    for (const auto& failure : failures) {
        server.Reset();
        std::wstring path = Queue(L"rpFile-retry.dat", SomeBytes(700));
        server.SetAnswer(failure.answer);
        UploadPass();
        EXPECT_TRUE(FileExists(path)) << failure.name;
        EXPECT_TRUE(Queued(path)) << failure.name;
        server.SetAnswer(L"200");
        UploadPass();
        EXPECT_FALSE(FileExists(path)) << failure.name;
        EXPECT_FALSE(Queued(path)) << failure.name;
        EXPECT_EQ(1u, Delivered().size()) << failure.name;
    }
}

TEST_F(UploadPassTest, ServerDownKeepsThePackage)
{
    std::wstring path = Queue(L"rpFile-down.dat", SomeBytes(100));
    server.GoDown(2);
    UploadPass();
    EXPECT_TRUE(FileExists(path));
    EXPECT_TRUE(Queued(path));
    for (int i = 0; i < 50; ++i) {  // wait until the server listens again
        try {
            server.Received();
            break;
        } catch (const std::exception&) {
            Sleep(200);
        }
    }
    UploadPass();
    EXPECT_FALSE(Queued(path));
    EXPECT_EQ(1u, Delivered().size());
}

TEST_F(UploadPassTest, RefusedPackageIsDropped)
{
    server.SetAnswer(L"400");
    std::wstring path = Queue(L"rpFile-refused.dat", SomeBytes(100));
    UploadPass();
    EXPECT_FALSE(FileExists(path));
    EXPECT_FALSE(Queued(path));
    EXPECT_EQ(1u, server.Received().size());
}

TEST_F(UploadPassTest, SizeLimits)
{
    std::wstring largest = Queue(L"rpFile-largest.dat", std::vector<uint8_t>(10485760, 0x5A));
    std::wstring tooLarge = Queue(L"rpFile-toolarge.dat", std::vector<uint8_t>(10485761, 0x5A));
    std::wstring empty = Queue(L"rpFile-empty.dat", {});
    std::wstring missing = InFolder(L"rpFile-missing.dat");
    WriteQueueValue(ProcessingKeyPath(), missing, server.Address());
    UploadPass();
    EXPECT_TRUE(QueueNames(ProcessingKeyPath()).empty());
    for (const std::wstring& path : {largest, tooLarge, empty}) EXPECT_FALSE(FileExists(path));
    std::vector<ReceivedUpload> received = server.Received();
    ASSERT_EQ(1u, received.size());
    EXPECT_EQ("rpFile-largest.dat", received[0].filename);
    EXPECT_EQ(10485760u, received[0].size);
    EXPECT_TRUE(received[0].ok) << received[0].error;
}

TEST_F(UploadPassTest, EntriesOutsideTheReportFolderStayQueuedUntouched)
{
    TempReportPlace other;  // only its folder is used
    SetReportLocations(ReportLocations{HKEY_CURRENT_USER, place.KeyBase(), place.Folder()});
    std::wstring outside = other.Folder() + L"\\rpFile-outside.dat";
    std::wstring parentFile = place.Folder().substr(0, place.Folder().rfind(L'\\')) + L"\\rpFile-parent.dat";
    std::wstring viaParent = place.Folder() + L"\\..\\rpFile-parent.dat";
    std::wstring wrongExtension = InFolder(L"rpFile-notes.txt");
    WriteBytes(outside, SomeBytes(50));
    WriteBytes(parentFile, SomeBytes(50));
    WriteBytes(wrongExtension, SomeBytes(50));
    for (const std::wstring& name : {outside, viaParent, wrongExtension})
        WriteQueueValue(ProcessingKeyPath(), name, server.Address());
    UploadPass();
    for (const std::wstring& name : {outside, viaParent, wrongExtension}) EXPECT_TRUE(Queued(name)) << Narrow(name);
    EXPECT_TRUE(FileExists(outside));
    EXPECT_TRUE(FileExists(parentFile));
    EXPECT_TRUE(FileExists(wrongExtension));
    EXPECT_TRUE(server.Received().empty());
    DeleteFileW(outside.c_str());
    DeleteFileW(parentFile.c_str());
}

TEST_F(UploadPassTest, PackageThatIsALinkIsNeitherSentNorDeleted)
{
    TempReportPlace other;  // only its folder is used: where the link leads
    SetReportLocations(ReportLocations{HKEY_CURRENT_USER, place.KeyBase(), place.Folder()});
    const std::wstring secret = other.Folder() + L"\\rpFile-secret.dat";
    WriteBytes(secret, SomeBytes(80));
    const std::wstring linked = InFolder(L"rpFile-linked.dat");
    ASSERT_TRUE(MakeSymbolicLink(linked, secret, false));
    WriteQueueValue(ProcessingKeyPath(), linked, server.Address());
    const std::wstring ours = Queue(L"rpFile-ours.dat", SomeBytes(90));

    UploadPass();

    EXPECT_TRUE(Queued(linked));
    EXPECT_TRUE(FileExists(secret));
    std::vector<ReceivedUpload> received = server.Received();
    ASSERT_EQ(1u, received.size());  // our own package still goes out
    EXPECT_EQ("rpFile-ours.dat", received[0].filename);
    EXPECT_FALSE(Queued(ours));
    DeleteFileW(linked.c_str());
    DeleteFileW(secret.c_str());
}

TEST_F(UploadPassTest, PackageThatIsASecondNameOfAnotherFileIsNotSent)
{
    // A hard link is no reparse point and its path is plainly in our folder:
    // only the file's link count tells that the data belongs elsewhere.
    TempReportPlace other;
    SetReportLocations(ReportLocations{HKEY_CURRENT_USER, place.KeyBase(), place.Folder()});
    const std::wstring secret = other.Folder() + L"\\rpFile-secret.dat";
    WriteBytes(secret, SomeBytes(60));
    const std::wstring linked = InFolder(L"rpFile-hardlinked.dat");
    ASSERT_TRUE(CreateHardLinkW(linked.c_str(), secret.c_str(), nullptr)) << GetLastError();
    WriteQueueValue(ProcessingKeyPath(), linked, server.Address());

    UploadPass();

    EXPECT_TRUE(server.Received().empty()) << "the other file's bytes were posted";
    EXPECT_TRUE(Queued(linked));
    EXPECT_TRUE(FileExists(linked));
    EXPECT_TRUE(FileExists(secret));
    DeleteFileW(linked.c_str());
    DeleteFileW(secret.c_str());
}

TEST_F(UploadPassTest, ReportFolderThatIsALinkIsNotActedOn)
{
    TempReportPlace other;
    const std::wstring linkedFolder = place.Folder() + L"-linked";
    ASSERT_TRUE(MakeSymbolicLink(linkedFolder, other.Folder(), true));
    SetReportLocations(ReportLocations{HKEY_CURRENT_USER, place.KeyBase(), linkedFolder});
    const std::wstring package = linkedFolder + L"\\rpFile-through-link.dat";
    WriteBytes(other.Folder() + L"\\rpFile-through-link.dat", SomeBytes(70));
    WriteQueueValue(ProcessingKeyPath(), package, server.Address());

    UploadPass();

    EXPECT_TRUE(Queued(package));
    EXPECT_TRUE(FileExists(other.Folder() + L"\\rpFile-through-link.dat"));
    EXPECT_TRUE(server.Received().empty());
    SetReportLocations(ReportLocations{HKEY_CURRENT_USER, place.KeyBase(), place.Folder()});
    RemoveDirectoryW(linkedFolder.c_str());
    DeleteFileW(linkedFolder.c_str());
}

void SetCreationDaysAgo(const std::wstring& path, int days)
{
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME now = {};
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER value = {};
    value.LowPart = now.dwLowDateTime;
    value.HighPart = now.dwHighDateTime;
    value.QuadPart -= ULONGLONG(days) * 24 * 3600 * 10000000ULL;
    FILETIME created = {value.LowPart, value.HighPart};
    SetFileTime(file, &created, &created, &created);
    CloseHandle(file);
}

TEST_F(UploadPassTest, RawEntries)
{
    struct RawCase {
        const char* name;
        const wchar_t* file;
        const wchar_t* tail;
        int ageDays;
        bool posted;
        bool stays;  // the entry and its file are left as they are
    } cases[] = {
        {"fresh raw file is posted", L"fresh.raw", L"<br=1><rt=1,x,inv=3>", 0, true, false},
        {"upper-case extension", L"UPPER.RAW", L"<br=1><rt=0,inv=3>", 0, true, false},
        {"older than its maximum age", L"old.raw", L"<br=1><rt=1,inv=3>", 10, false, false},
        {"as old as its maximum age", L"edge.raw", L"<br=1><rt=1,inv=10>", 10, true, false},
        {"markers in the wrong order", L"order.raw", L"<rt=1,inv=3><br=1>", 0, false, true},
        {"no <br= marker", L"nobr.raw", L"<rt=1,inv=3>", 0, false, true},
        {"inv= before the comma", L"inv.raw", L"<br=1><rt=inv=3,1>", 0, false, true},
        {"first inv= before <rt=", L"early.raw", L"<br=inv=1><rt=1,inv=3>", 0, false, true},
        {"wrong extension", L"wrong.txt", L"<br=1><rt=1,inv=3>", 0, false, true},
    };
    for (const RawCase& c : cases) {
        server.Reset();
        std::wstring path = InFolder(c.file);
        std::vector<uint8_t> body = SomeBytes(64);
        WriteBytes(path, body);
        if (c.ageDays) SetCreationDaysAgo(path, c.ageDays);
        std::wstring entry = path + c.tail;
        WriteQueueValue(ProcessingKeyPath(), entry, server.Address(L"/raw"));
        UploadPass();
        EXPECT_EQ(c.stays, Queued(entry)) << c.name;
        EXPECT_EQ(c.stays, FileExists(path)) << c.name;
        std::vector<ReceivedUpload> received = server.Received();
        ASSERT_EQ(c.posted ? 1u : 0u, received.size()) << c.name;
        if (c.posted) {
            EXPECT_EQ("raw", received[0].kind) << c.name;
            EXPECT_EQ(body, server.ReceivedBytes(0)) << c.name;
        }
        DeleteFileW(path.c_str());
        DeleteQueueValue(ProcessingKeyPath(), entry);
    }
}

TEST(RawEntryParsing, Pieces)
{
    RawEntry entry;
    ASSERT_TRUE(ParseRawEntry(L"C:\\d\\x.raw<br=abc><rt=1,foo,inv=12>", entry));
    EXPECT_EQ(L"C:\\d\\x.raw", entry.path);
    EXPECT_EQ(L"1,foo", entry.flag);
    EXPECT_EQ(12, entry.maxAgeDays);
    EXPECT_FALSE(ParseRawEntry(L"C:\\d\\x.raw<br=abc>", entry));
    EXPECT_FALSE(ParseRawEntry(L"C:\\d\\x.raw>x<br=1><rt=1,inv=1>", entry));
    // The first "inv=" of the tail counts, and it must follow "<rt=" and the last ','.
    EXPECT_FALSE(ParseRawEntry(L"C:\\d\\x.raw<br=inv=1><rt=1,inv=5>", entry));
}

TEST(RawEntryParsing, DaysBetweenCountsLeapYears)
{
    EXPECT_EQ(1, DaysBetween(2024, 2, 28, 2024, 2, 29));
    EXPECT_EQ(2, DaysBetween(2023, 2, 28, 2023, 3, 2));
    EXPECT_EQ(366, DaysBetween(2000, 1, 1, 2001, 1, 1));
    EXPECT_EQ(365, DaysBetween(2100, 1, 1, 2101, 1, 1));
    EXPECT_EQ(-1, DaysBetween(2024, 1, 1, 2023, 12, 31));
}

struct PassArgs {
    HANDLE start;
};

DWORD WINAPI RunPassAfterStart(void* param)
{
    WaitForSingleObject(static_cast<PassArgs*>(param)->start, INFINITE);
    UploadPass();
    return 0;
}

TEST_F(UploadPassTest, TwoPassesAtOncePostEachPackageOnce)
{
    const int kPackages = 6;
    for (int i = 0; i < kPackages; ++i) Queue(L"rpFile-" + std::to_wstring(i) + L".dat", SomeBytes(2000, uint8_t(i)));
    server.SetAnswer(L"200", 0.2);
    PassArgs args{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    HANDLE threads[2];
    for (HANDLE& thread : threads) thread = CreateThread(nullptr, 0, RunPassAfterStart, &args, 0, nullptr);
    SetEvent(args.start);
    WaitForMultipleObjects(2, threads, TRUE, INFINITE);
    for (HANDLE thread : threads) CloseHandle(thread);
    CloseHandle(args.start);
    server.SetAnswer(L"200", 0);
    UploadPass();  // whatever a pass skipped because the other held it
    std::map<std::string, int> posts;
    for (const ReceivedUpload& upload : server.Received()) posts[upload.filename]++;
    EXPECT_EQ(size_t(kPackages), posts.size());
    for (const auto& post : posts) EXPECT_EQ(1, post.second) << post.first;
    EXPECT_TRUE(QueueNames(ProcessingKeyPath()).empty());
}

std::wstring WriterProgram()
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    return path.substr(0, path.rfind(L'\\') + 1) + L"report_writer.exe";
}

int RunAndWait(const std::wstring& commandLine)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::wstring line = commandLine;
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return int(code);
}

TEST_F(UploadPassTest, PackageOfAKilledWriterIsUploadedByTheNextRun)
{
    std::wstring command = L"\"" + WriterProgram() + L"\" kill \"" + place.Folder() + L"\" \"" + place.KeyBase() +
                           L"\" \"" + server.Address() + L"\"";
    ASSERT_EQ(9, RunAndWait(command));
    ASSERT_EQ(1u, FilesIn(place.Folder(), L"*.tmp").size());
    ASSERT_EQ(1u, QueueNames(TempKeyPath()).size());

    CBRKFileImpl nextRun("next");  // a new report recovers what the dead one left
    nextRun.ApplyParam(CBRKParam(server.Address(), L"4.0.0.1", L"c"));
    nextRun.Recover();
    UploadPass();

    EXPECT_TRUE(QueueNames(TempKeyPath()).empty());
    EXPECT_TRUE(QueueNames(ProcessingKeyPath()).empty());
    EXPECT_TRUE(FilesIn(place.Folder(), L"*").empty());
    std::vector<ReceivedUpload> received = Delivered();
    ASSERT_EQ(1u, received.size());
    std::vector<uint8_t> bytes = server.ReceivedBytes(0);
    rp::Package package;
    std::string error;
    ASSERT_TRUE(rp::ReadPackage(bytes, package, error)) << error;
    EXPECT_EQ("written by a process that was killed", rp::Utf16ToUtf8(package.FindList(0x04001B70)->texts.at(0)));
}

TEST_F(UploadPassTest, BackgroundSendThatCannotBeHandedOverWaitsForTheNextSend)
{
    ReportInit(0, CBRKParam(server.Address(), L"4.0.0.1", L"c"));
    ReportMark(0x05002333, 0);
    CTaskMgrTmpl<CReportManager>& worker = CReportManager::Instance().Worker();
    worker.Stop();  // the manager's thread cannot take the pass
    EXPECT_EQ(1, ReportSend(1));
    EXPECT_TRUE(server.Received().empty()) << "the pass ran on the calling thread";
    EXPECT_EQ(1u, QueueNames(ProcessingKeyPath()).size());

    ASSERT_TRUE(worker.Start(false));
    EXPECT_EQ(1, ReportSend(1));
    std::vector<ReceivedUpload> received;
    for (int i = 0; i < 100 && received.empty(); ++i) {
        received = server.Received();
        if (received.empty()) Sleep(100);
    }
    EXPECT_EQ(1u, received.size());
    for (int i = 0; i < 50 && !QueueNames(ProcessingKeyPath()).empty(); ++i) Sleep(100);
    EXPECT_TRUE(QueueNames(ProcessingKeyPath()).empty());
    ReportShutdown();
}

TEST_F(UploadPassTest, BackgroundSendUploadsOnTheManagersThread)
{
    ReportInit(0, CBRKParam(server.Address(), L"4.0.0.1", L"web|gl|official|direct"));
    ReportMark(0x05002333, 0);
    ReportSetText(0x0200000B, L"A", 0);
    EXPECT_EQ(1, ReportSend(1));
    std::vector<ReceivedUpload> received;
    for (int i = 0; i < 100 && received.empty(); ++i) {
        received = server.Received();
        if (received.empty()) Sleep(100);
    }
    ASSERT_EQ(1u, received.size());
    EXPECT_TRUE(received[0].ok) << received[0].error;
    rp::Package package;
    std::string error;
    ASSERT_TRUE(rp::ReadPackage(server.ReceivedBytes(0), package, error)) << error;
    EXPECT_EQ(1, *package.FindCounter(0x05002333));
    EXPECT_EQ("A", rp::Utf16ToUtf8(package.FindValue(0x0200000B)->text));
    for (int i = 0; i < 50 && !QueueNames(ProcessingKeyPath()).empty(); ++i) Sleep(100);
    EXPECT_TRUE(QueueNames(ProcessingKeyPath()).empty());
    ReportShutdown();
}

}  // namespace
