// The six report functions end to end, without a server: packages stay queued.
#include <gtest/gtest.h>

#include "ReportTestSupport.h"
#include "report/Report.h"
#include "report/ReportLocations.h"
#include "report/ReportQueue.h"

namespace {

// Nothing listens on port 1: every upload fails at once and packages stay queued.
const wchar_t kAddress[] = L"http://127.0.0.1:1/cgi-bin-py/mini_install_statistic_info.cgi";

const int kWrites = 250;

DWORD WINAPI MarkManyTimes(void*)
{
    for (int i = 0; i < kWrites; ++i) ReportMark(0x0500232D, 0);
    return 0;
}

class ReportFunctions : public ::testing::Test {
protected:
    TempReportPlace place;

    void TearDown() override { ReportShutdown(); }

    std::vector<rp::Package> QueuedPackages()
    {
        std::vector<rp::Package> packages;
        for (const std::wstring& name : QueueNames(ProcessingKeyPath())) packages.push_back(DecodePackage(name));
        return packages;
    }
};

TEST_F(ReportFunctions, WritesBeforeInitOrToOtherKindsAreDropped)
{
    EXPECT_EQ(0, ReportSetInt(0x05002333, 5, 0));
    EXPECT_EQ(1, ReportMark(0x05002334, 0));
    EXPECT_EQ(0, ReportSetText(0x04001B70, L"early", 0));
    EXPECT_EQ(1, ReportInit(0, CBRKParam(kAddress, L"4.0.0.1", L"web|gl|official|direct")));
    EXPECT_EQ(1, ReportInit(3, CBRKParam(kAddress, L"4.0.0.1", L"other")));
    ReportSetInt(0x05002335, 1, 3);
    ReportSetInt(0x05002336, 1, 1);
    ReportSetInt(0x05002338, 2, 0);
    EXPECT_EQ(1, ReportSend(0));

    std::vector<rp::Package> packages = QueuedPackages();
    ASSERT_EQ(1u, packages.size());
    ASSERT_EQ(1u, packages[0].counters.size());
    EXPECT_EQ(2, *packages[0].FindCounter(0x05002338));
    EXPECT_TRUE(packages[0].lists.empty());
    EXPECT_EQ("web|gl|official|direct", rp::Utf16ToUtf8(packages[0].FindValue(0x02000001)->text));
}

TEST_F(ReportFunctions, SendSplitsPackagesAndInitIsDoneOnce)
{
    ReportInit(0, CBRKParam(kAddress, L"4.0.0.1", L"first"));
    ReportInit(0, CBRKParam(kAddress, L"9.9.9.9", L"second"));  // changes nothing
    wchar_t text[] = L"freed right after the call";
    ReportSetText(0x04001B63, text, 0);
    text[0] = L'X';
    ReportSend(0);
    ReportMark(0x0500233A, 0);
    ReportSend(0);
    ReportSend(0);  // nothing written since: no third package

    std::vector<rp::Package> packages = QueuedPackages();
    ASSERT_EQ(2u, packages.size());
    int withText = 0, withMark = 0;
    for (const rp::Package& package : packages) {
        EXPECT_EQ("first", rp::Utf16ToUtf8(package.FindValue(0x02000001)->text));
        EXPECT_EQ(4, package.header.version[0]);
        if (const rp::ListRecord* list = package.FindList(0x04001B63)) {
            ++withText;
            EXPECT_EQ("freed right after the call", rp::Utf16ToUtf8(list->texts.at(0)));
            EXPECT_EQ(nullptr, package.FindCounter(0x0500233A));
        }
        if (package.FindCounter(0x0500233A)) ++withMark;
    }
    EXPECT_EQ(1, withText);
    EXPECT_EQ(1, withMark);
}

TEST_F(ReportFunctions, WritesFromManyThreadsAllArrive)
{
    ReportInit(0, CBRKParam(kAddress, L"4.0.0.1", L"c"));
    const int kThreads = 4;
    HANDLE threads[kThreads];
    for (HANDLE& thread : threads) thread = CreateThread(nullptr, 0, MarkManyTimes, nullptr, 0, nullptr);
    WaitForMultipleObjects(kThreads, threads, TRUE, INFINITE);
    for (HANDLE thread : threads) CloseHandle(thread);
    ReportSend(0);
    std::vector<rp::Package> packages = QueuedPackages();
    ASSERT_EQ(1u, packages.size());
    EXPECT_EQ(kThreads * kWrites, *packages[0].FindCounter(0x0500232D));
}

TEST_F(ReportFunctions, ShutdownClosesAndLaterWritesAreDropped)
{
    ReportInit(0, CBRKParam(kAddress, L"4.0.0.1", L"c"));
    ReportMark(0x05002340, 0);
    EXPECT_EQ(1, ReportShutdown());
    EXPECT_EQ(1, ReportShutdown());
    ReportMark(0x05002341, 0);
    ReportSend(0);
    std::vector<rp::Package> packages = QueuedPackages();
    ASSERT_EQ(1u, packages.size());
    EXPECT_NE(nullptr, packages[0].FindCounter(0x05002340));
    EXPECT_EQ(nullptr, packages[0].FindCounter(0x05002341));
}

}  // namespace
