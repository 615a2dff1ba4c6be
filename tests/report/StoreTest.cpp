// Life cycle of package files and their Temp and Processing entries.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <regex>

#include "ReportTestSupport.h"
#include "report/Filebase.h"
#include "report/PackageWrite.h"
#include "report/ReportLocations.h"
#include "report/ReportQueue.h"

namespace {

const wchar_t kAddress[] = L"http://127.0.0.1:1/cgi-bin-py/mini_install_statistic_info.cgi";

class ReportStore : public ::testing::Test {
protected:
    TempReportPlace place;
    CBRKParam param{kAddress, L"4.0.0.1", L"web|gl|official|direct"};

    std::unique_ptr<CBRKFileImpl> NewReport()
    {
        auto report = std::make_unique<CBRKFileImpl>("identity");
        report->ApplyParam(param);
        return report;
    }
    std::wstring InFolder(const std::wstring& name) const { return place.Folder() + L"\\" + name; }
    void MakeFile(const std::wstring& path, size_t size = 300) { WriteBytes(path, std::vector<uint8_t>(size, 7)); }
};

TEST_F(ReportStore, SavesKeepOneTmpFileUntilTheClose)
{
    auto report = NewReport();
    report->PostInt(0x05002333, 1);
    ASSERT_EQ(1, report->SaveNow(0));
    report->PostText(0x04001B70, L"id");
    ASSERT_EQ(1, report->SaveNow(0));
    EXPECT_EQ(1u, FilesIn(place.Folder(), L"*.tmp").size());
    ASSERT_EQ(1u, QueueNames(TempKeyPath()).size());
    EXPECT_EQ(report->FilePath(), QueueNames(TempKeyPath())[0]);
    EXPECT_EQ(kAddress, ReadQueueValue(TempKeyPath(), report->FilePath(), 2000));
    EXPECT_TRUE(QueueNames(ProcessingKeyPath()).empty());

    report->Close();
    EXPECT_TRUE(FilesIn(place.Folder(), L"*.tmp").empty());
    std::vector<std::wstring> dat = FilesIn(place.Folder(), L"*.dat");
    ASSERT_EQ(1u, dat.size());
    EXPECT_TRUE(QueueNames(TempKeyPath()).empty());
    ASSERT_EQ(std::vector<std::wstring>{InFolder(dat[0])}, QueueNames(ProcessingKeyPath()));
    EXPECT_EQ(kAddress, ReadQueueValue(ProcessingKeyPath(), InFolder(dat[0]), 2000));

    rp::Package package = DecodePackage(InFolder(dat[0]));
    EXPECT_EQ(1, *package.FindCounter(0x05002333));
    EXPECT_EQ("id", rp::Utf16ToUtf8(package.FindList(0x04001B70)->texts.at(0)));
    EXPECT_EQ("web|gl|official|direct", rp::Utf16ToUtf8(package.FindValue(0x02000001)->text));
    EXPECT_EQ("4.0.0.1", std::to_string(package.header.version[0]) + "." + std::to_string(package.header.version[1]) +
                             "." + std::to_string(package.header.version[2]) + "." +
                             std::to_string(package.header.version[3]));
}

TEST_F(ReportStore, CloseWithoutChangesWritesNothing)
{
    auto report = NewReport();
    report->Close();
    EXPECT_TRUE(FilesIn(place.Folder(), L"*").empty());
    EXPECT_TRUE(QueueNames(TempKeyPath()).empty());
    EXPECT_TRUE(QueueNames(ProcessingKeyPath()).empty());
}

TEST_F(ReportStore, CloseAfterASaveFinishesTheOpenFile)
{
    auto report = NewReport();
    report->PostInt(0x05002333, 1);
    ASSERT_EQ(1, report->SaveNow(0));
    report->Close();  // nothing changed since the save
    EXPECT_EQ(1u, FilesIn(place.Folder(), L"*.dat").size());
    EXPECT_EQ(1u, QueueNames(ProcessingKeyPath()).size());
}

TEST_F(ReportStore, ItemsAfterACloseGoToTheNextPackage)
{
    auto report = NewReport();
    report->PostInt(0x05002333, 1);
    report->Close();
    report->PostInt(0x05002334, 1);
    report->Close();
    std::vector<std::wstring> dat = FilesIn(place.Folder(), L"*.dat");
    ASSERT_EQ(2u, dat.size());
    int withFirst = 0, withSecond = 0;
    for (const std::wstring& name : dat) {
        rp::Package package = DecodePackage(InFolder(name));
        EXPECT_EQ(1u, package.counters.size());
        withFirst += package.FindCounter(0x05002333) != nullptr;
        withSecond += package.FindCounter(0x05002334) != nullptr;
    }
    EXPECT_EQ(1, withFirst);
    EXPECT_EQ(1, withSecond);
}

TEST_F(ReportStore, ACloseRunsAfterEveryWritePostedBeforeIt)
{
    auto report = NewReport();
    for (int i = 0; i < 2000; ++i) report->PostInt(0x0500232D, 1);
    report->Close();
    std::vector<std::wstring> dat = FilesIn(place.Folder(), L"*.dat");
    ASSERT_EQ(1u, dat.size());
    EXPECT_EQ(2000, *DecodePackage(InFolder(dat[0])).FindCounter(0x0500232D));
}

TEST_F(ReportStore, CloseRunsOnTheCallerWhenTheWorkerHasEnded)
{
    auto report = NewReport();
    report->PostInt(0x05002333, 1);
    ASSERT_EQ(1, report->SaveNow(0));
    report->Worker().Stop();
    report->Worker().Stop();  // a second stop returns at once
    report->Close();
    EXPECT_EQ(1u, FilesIn(place.Folder(), L"*.dat").size());
}

class NoTask : public CTaskBase {
public:
    void Run() override {}
};

TEST_F(ReportStore, SaveTimerWritesTheOpenPackage)
{
    auto report = NewReport();
    report->PostInt(0x05002333, 1);
    ASSERT_TRUE(PostMessageW(report->Worker().Window(), WM_TIMER, kSaveTimerId, 0));
    ASSERT_TRUE(report->Worker().SendTask(new NoTask()));  // the tick has run
    EXPECT_EQ(1u, FilesIn(place.Folder(), L"*.tmp").size());
    EXPECT_EQ(1u, QueueNames(TempKeyPath()).size());
    EXPECT_TRUE(QueueNames(ProcessingKeyPath()).empty());
    ASSERT_TRUE(PostMessageW(report->Worker().Window(), WM_TIMER, kSaveTimerId + 1, 0));
    ASSERT_TRUE(report->Worker().SendTask(new NoTask()));  // other timers save nothing
    EXPECT_EQ(1u, FilesIn(place.Folder(), L"*.tmp").size());
}

TEST_F(ReportStore, FileNameCarriesProgramTimeAndNumber)
{
    auto report = NewReport();
    std::wstring path = report->MakeFilePath();
    ASSERT_EQ(0u, path.find(place.Folder() + L"\\rpFile-"));
    std::string name = Narrow(path.substr(place.Folder().size() + 1));
    EXPECT_TRUE(std::regex_match(name, std::regex(R"(rpFile-report_store_test-\d{4}-\d\d-\d\d \d\d-\d\d-\d\d-\d{4}-\[\d{4,5}\]\.tmp)")))
        << name;
}

TEST_F(ReportStore, RecoverFinishesWhatADeadWriterLeft)
{
    std::wstring withAddress = InFolder(L"rpFile-a.tmp");
    std::wstring withoutAddress = InFolder(L"rpFile-b.tmp");
    std::wstring gone = InFolder(L"rpFile-c.tmp");
    MakeFile(withAddress);
    MakeFile(withoutAddress);
    WriteQueueValue(TempKeyPath(), withAddress, L"http://elsewhere/");
    WriteQueueValue(TempKeyPath(), withoutAddress, L"");
    WriteQueueValue(TempKeyPath(), gone, L"http://elsewhere/");

    auto report = NewReport();
    report->Recover();

    EXPECT_TRUE(QueueNames(TempKeyPath()).empty());
    EXPECT_EQ(L"http://elsewhere/", ReadQueueValue(ProcessingKeyPath(), InFolder(L"rpFile-a.dat"), 2000));
    EXPECT_EQ(kAddress, ReadQueueValue(ProcessingKeyPath(), InFolder(L"rpFile-b.dat"), 2000));
    EXPECT_EQ(2u, QueueNames(ProcessingKeyPath()).size());
    EXPECT_TRUE(FileExists(InFolder(L"rpFile-a.dat")));
    EXPECT_FALSE(FileExists(withAddress));
}

TEST_F(ReportStore, RecoverLeavesAFileThatIsStillBeingWritten)
{
    std::wstring busy = InFolder(L"rpFile-busy.tmp");
    MakeFile(busy);
    WriteQueueValue(TempKeyPath(), busy, kAddress);
    HANDLE writer = CreateFileW(busy.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    NewReport()->Recover();
    CloseHandle(writer);
    EXPECT_EQ(std::vector<std::wstring>{busy}, QueueNames(TempKeyPath()));
    EXPECT_TRUE(QueueNames(ProcessingKeyPath()).empty());
    EXPECT_TRUE(FileExists(busy));
}

TEST_F(ReportStore, RecoverNeverRenamesFilesOutsideTheReportFolder)
{
    TempReportPlace other;  // a second folder that is not the report folder
    std::wstring outsideFolder = other.Folder();
    SetReportLocations(ReportLocations{HKEY_CURRENT_USER, place.KeyBase(), place.Folder()});
    CreateDirectoryW(outsideFolder.substr(0, outsideFolder.rfind(L'\\')).c_str(), nullptr);
    CreateDirectoryW(outsideFolder.c_str(), nullptr);
    std::wstring outside = outsideFolder + L"\\victim.tmp";
    std::wstring sneaky = place.Folder() + L"\\..\\victim2.tmp";
    std::wstring wrongExtension = InFolder(L"settings.ini");
    std::wstring sneakyTarget = place.Folder().substr(0, place.Folder().rfind(L'\\')) + L"\\victim2.tmp";
    MakeFile(outside);
    MakeFile(wrongExtension);
    MakeFile(sneakyTarget);
    for (const std::wstring& name : {outside, sneaky, wrongExtension}) WriteQueueValue(TempKeyPath(), name, kAddress);

    NewReport()->Recover();

    // Other programs' entries: neither their files nor the entries are touched.
    std::vector<std::wstring> kept = QueueNames(TempKeyPath());
    std::sort(kept.begin(), kept.end());
    std::vector<std::wstring> placed = {outside, sneaky, wrongExtension};
    std::sort(placed.begin(), placed.end());
    EXPECT_EQ(placed, kept);
    EXPECT_TRUE(QueueNames(ProcessingKeyPath()).empty());
    EXPECT_TRUE(FileExists(outside));
    EXPECT_TRUE(FileExists(wrongExtension));
    EXPECT_TRUE(FileExists(sneakyTarget));
    DeleteFileW(outside.c_str());
    DeleteFileW(sneakyTarget.c_str());
}

TEST_F(ReportStore, RecoverRenamesNothingReachedThroughALink)
{
    TempReportPlace other;  // only its folder is used: the place links lead to
    SetReportLocations(ReportLocations{HKEY_CURRENT_USER, place.KeyBase(), place.Folder()});
    const std::wstring elsewhere = other.Folder() + L"\\rpFile-elsewhere.tmp";
    MakeFile(elsewhere);
    // A package name in the report folder that is a link to someone else's file.
    const std::wstring linked = InFolder(L"rpFile-linked.tmp");
    ASSERT_TRUE(MakeSymbolicLink(linked, elsewhere, false));
    WriteQueueValue(TempKeyPath(), linked, kAddress);

    NewReport()->Recover();

    EXPECT_EQ(std::vector<std::wstring>{linked}, QueueNames(TempKeyPath()));
    EXPECT_TRUE(QueueNames(ProcessingKeyPath()).empty());
    EXPECT_TRUE(FileExists(elsewhere));
    EXPECT_FALSE(FileExists(other.Folder() + L"\\rpFile-elsewhere.dat"));
    EXPECT_FALSE(FileExists(InFolder(L"rpFile-linked.dat")));
    DeleteFileW(linked.c_str());
}

TEST_F(ReportStore, RecoverActsOnNothingWhenTheReportFolderIsALink)
{
    TempReportPlace other;
    const std::wstring target = other.Folder();
    const std::wstring linkedFolder = place.Folder() + L"-linked";
    ASSERT_TRUE(MakeSymbolicLink(linkedFolder, target, true));
    SetReportLocations(ReportLocations{HKEY_CURRENT_USER, place.KeyBase(), linkedFolder});
    const std::wstring tmp = linkedFolder + L"\\rpFile-through-link.tmp";
    MakeFile(target + L"\\rpFile-through-link.tmp");
    WriteQueueValue(TempKeyPath(), tmp, kAddress);

    NewReport()->Recover();

    EXPECT_EQ(std::vector<std::wstring>{tmp}, QueueNames(TempKeyPath()));
    EXPECT_TRUE(QueueNames(ProcessingKeyPath()).empty());
    EXPECT_TRUE(FileExists(target + L"\\rpFile-through-link.tmp"));
    EXPECT_FALSE(FileExists(target + L"\\rpFile-through-link.dat"));
    SetReportLocations(ReportLocations{HKEY_CURRENT_USER, place.KeyBase(), place.Folder()});
    RemoveDirectoryW(linkedFolder.c_str());
    DeleteFileW(linkedFolder.c_str());
}

// A disk that fills up: writes go through until the budget is spent.
std::atomic<long> g_diskBytesLeft{0};
BOOL DiskThatFillsUp(HANDLE file, const void* bytes, DWORD size, DWORD* written)
{
    const long left = g_diskBytesLeft.load();
    const DWORD now = DWORD(std::min<long>(left, long(size)));
    if (now == 0) {
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    BOOL ok = WriteFile(file, bytes, now, written, nullptr);
    g_diskBytesLeft -= long(*written);
    return ok;
}

TEST_F(ReportStore, ShortWriteOnCloseQueuesNothingAndKeepsTheItems)
{
    auto report = NewReport();
    report->PostInt(0x05002333, 1);
    ASSERT_EQ(1, report->SaveNow(0));
    const std::wstring tmp = report->FilePath();
    const std::wstring longText(2000, L'x');
    report->PostText(0x04001B70, longText.c_str());

    g_diskBytesLeft = 280 + 100;  // full in the middle of the body
    PackageWriter previous = SetPackageWriter(DiskThatFillsUp);
    const int closed = report->Close();
    SetPackageWriter(previous);

    EXPECT_EQ(0, closed);
    EXPECT_TRUE(FilesIn(place.Folder(), L"*.dat").empty());
    EXPECT_TRUE(QueueNames(ProcessingKeyPath()).empty());
    EXPECT_EQ(std::vector<std::wstring>{tmp}, QueueNames(TempKeyPath()));
    EXPECT_TRUE(FileExists(tmp));

    // Room again: the next close writes every item, none lost.
    EXPECT_EQ(1, report->Close());
    std::vector<std::wstring> dat = FilesIn(place.Folder(), L"*.dat");
    ASSERT_EQ(1u, dat.size());
    EXPECT_TRUE(QueueNames(TempKeyPath()).empty());
    rp::Package package = DecodePackage(InFolder(dat[0]));
    EXPECT_EQ(1, *package.FindCounter(0x05002333));
    ASSERT_NE(nullptr, package.FindList(0x04001B70));
    EXPECT_EQ(rp::Utf16ToUtf8(std::u16string(longText.begin(), longText.end())),
              rp::Utf16ToUtf8(package.FindList(0x04001B70)->texts.at(0)));
}

TEST_F(ReportStore, FailedBodyLengthWriteIsAShortWriteToo)
{
    auto report = NewReport();
    report->PostInt(0x05002333, 1);
    g_diskBytesLeft = 280 + 8 + 53;  // header and body fit, the length field does not
    PackageWriter previous = SetPackageWriter(DiskThatFillsUp);
    const int saved = report->SaveNow(1);
    SetPackageWriter(previous);
    EXPECT_EQ(0, saved);
    EXPECT_TRUE(QueueNames(ProcessingKeyPath()).empty());
    EXPECT_EQ(1, report->Close());
    std::vector<std::wstring> dat = FilesIn(place.Folder(), L"*.dat");
    ASSERT_EQ(1u, dat.size());
    EXPECT_EQ(1, *DecodePackage(InFolder(dat[0])).FindCounter(0x05002333));  // its length field is right
}

TEST_F(ReportStore, PackagesNeverGrowPastTheUploadLimit)
{
    auto report = NewReport();
    const std::wstring text(65535, L't');  // a list entry of 131,074 bytes
    const size_t kTexts = 100;              // about 13 MB in all
    for (size_t i = 0; i < kTexts; ++i) report->PostText(0x04001B70, text.c_str());
    report->PostInt(0x05002333, 1);
    EXPECT_EQ(1, report->Close());

    std::vector<std::wstring> dat = FilesIn(place.Folder(), L"*.dat");
    ASSERT_GE(dat.size(), 2u);
    EXPECT_EQ(dat.size(), QueueNames(ProcessingKeyPath()).size());
    size_t texts = 0;
    int counters = 0;
    for (const std::wstring& name : dat) {
        const std::vector<uint8_t> bytes = ReadBytes(InFolder(name));
        EXPECT_LE(bytes.size(), 10485760u) << Narrow(name);
        rp::Package package = DecodePackage(InFolder(name));
        if (const rp::ListRecord* list = package.FindList(0x04001B70)) {
            texts += list->texts.size();
            // Only a package that could not take one more entry was closed early.
            if (!package.FindCounter(0x05002333)) {
                EXPECT_GT(bytes.size() + 2 * 65535 + 4, 10485760u);
            }
        }
        if (package.FindCounter(0x05002333)) ++counters;
    }
    EXPECT_EQ(kTexts, texts);  // nothing lost
    EXPECT_EQ(1, counters);
}

TEST_F(ReportStore, FailedFileCreationKeepsTheItems)
{
    auto report = NewReport();
    report->PostInt(0x05002333, 1);
    // The report folder's place is taken by a file, so no package can be created.
    std::wstring parent = place.Folder().substr(0, place.Folder().rfind(L'\\'));
    CreateDirectoryW(parent.c_str(), nullptr);
    RemoveDirectoryW(place.Folder().c_str());
    MakeFile(place.Folder());
    EXPECT_EQ(0, report->SaveNow(0));
    EXPECT_TRUE(QueueNames(TempKeyPath()).empty());
    DeleteFileW(place.Folder().c_str());
    report->Close();
    std::vector<std::wstring> dat = FilesIn(place.Folder(), L"*.dat");
    ASSERT_EQ(1u, dat.size());
    EXPECT_EQ(1, *DecodePackage(InFolder(dat[0])).FindCounter(0x05002333));
}

TEST_F(ReportStore, APackageFileIsInTheTempQueueFromItsCreationOn)
{
    // The first save of a report is its close, and the writer ends in the
    // middle of it (here a full disk stops it; a killed process stops it just
    // the same): its ".tmp" file must not be left where nothing finds it.
    std::wstring tmp;
    {
        auto report = NewReport();
        report->PostInt(0x05002333, 1);
        g_diskBytesLeft = 100;  // inside the header
        PackageWriter previous = SetPackageWriter(DiskThatFillsUp);
        EXPECT_EQ(0, report->SaveNow(1));
        SetPackageWriter(previous);
        tmp = report->FilePath();
        ASSERT_FALSE(tmp.empty());
        EXPECT_EQ(std::vector<std::wstring>{tmp}, QueueNames(TempKeyPath()));
        EXPECT_EQ(kAddress, ReadQueueValue(TempKeyPath(), tmp, 2000));
    }
    NewReport()->Recover();
    EXPECT_FALSE(FileExists(tmp));
    EXPECT_TRUE(QueueNames(TempKeyPath()).empty());
    ASSERT_EQ(1u, QueueNames(ProcessingKeyPath()).size());
    EXPECT_EQ(kAddress, ReadQueueValue(ProcessingKeyPath(), QueueNames(ProcessingKeyPath())[0], 2000));
}

TEST_F(ReportStore, DestroyedReportLeavesItsTmpFileForRecover)
{
    std::wstring tmp;
    {
        auto report = NewReport();
        report->PostInt(0x05002333, 4);
        ASSERT_EQ(1, report->SaveNow(0));
        tmp = report->FilePath();
    }
    EXPECT_TRUE(FileExists(tmp));
    ASSERT_EQ(std::vector<std::wstring>{tmp}, QueueNames(TempKeyPath()));
    NewReport()->Recover();
    std::vector<std::wstring> dat = FilesIn(place.Folder(), L"*.dat");
    ASSERT_EQ(1u, dat.size());
    EXPECT_EQ(4, *DecodePackage(InFolder(dat[0])).FindCounter(0x05002333));
}

}  // namespace
