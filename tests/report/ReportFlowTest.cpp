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

struct Write {
    enum Op { Int, Text, Mark } op;
    uint32_t id;
    int32_t number;
    const wchar_t* text;
};

// The items of a package without the channel item, as one line.
std::string Summary(const rp::Package& package)
{
    std::string out;
    char line[64];
    for (const auto& c : package.counters) {
        snprintf(line, sizeof(line), "C%08X=%d;", c.first, c.second);
        out += line;
    }
    for (const rp::ListRecord& l : package.lists) {
        snprintf(line, sizeof(line), "L%08X#%u=", l.id, unsigned(l.type == 3 ? l.texts.size() : l.ints.size()));
        out += line;
        for (int32_t v : l.ints) out += std::to_string(v) + ",";
        for (const auto& t : l.texts) out += "'" + rp::Utf16ToUtf8(t) + "',";
        out += ";";
    }
    for (const rp::ValueRecord& v : package.values) {
        if (v.id == 0x02000001) continue;
        snprintf(line, sizeof(line), "V%08X=", v.id);
        out += line;
        out += v.type == 8 ? std::to_string(v.number) : "'" + rp::Utf16ToUtf8(v.text) + "'";
        out += ";";
    }
    return out;
}

TEST_F(ReportFunctions, WritesFollowTheClassOfTheirId)
{
    const struct {
        const char* name;
        std::vector<Write> writes;
        const char* expected;  // empty: no package at all
    } cases[] = {
        {"counter adds", {{Write::Int, 0x05002333, 5}, {Write::Int, 0x05002333, 7}}, "C05002333=12;"},
        {"list appends", {{Write::Int, 0x04001B5A, 5}, {Write::Int, 0x04001B5A, 7}}, "L04001B5A#2=5,7,;"},
        {"value replaces", {{Write::Int, 0x0200000B, 5}, {Write::Int, 0x0200000B, 7}}, "V0200000B=7;"},
        {"mark on a value id stores 1", {{Write::Mark, 0x02000010}}, "V02000010=1;"},
        {"mark counts", {{Write::Mark, 0x0500232D}, {Write::Mark, 0x0500232D}}, "C0500232D=2;"},
        {"mark appends 1 to a list", {{Write::Mark, 0x04001B5D}}, "L04001B5D#1=1,;"},
        {"text to a counter is dropped", {{Write::Text, 0x05002333, 0, L"x"}}, ""},
        {"ids of the 0x03 range are dropped", {{Write::Int, 0x03000001, 1}, {Write::Text, 0x03FFFFFF, 0, L"x"}}, ""},
        {"ids outside every range are dropped", {{Write::Int, 0x01000001, 1}, {Write::Mark, 0x06000000}}, ""},
        {"text list keeps order", {{Write::Text, 0x04001B70, 0, L"b"}, {Write::Text, 0x04001B70, 0, L"a"}},
         "L04001B70#2='b','a',;"},
        {"first type of a value wins", {{Write::Text, 0x0200000B, 0, L"A"}, {Write::Int, 0x0200000B, 3}},
         "V0200000B='A';"},
        {"first type of a list wins", {{Write::Int, 0x04001B60, 1}, {Write::Text, 0x04001B60, 0, L"x"}},
         "L04001B60#1=1,;"},
        {"classes sort by id", {{Write::Int, 0x05000002, 1}, {Write::Int, 0x05000001, 2}, {Write::Int, 0x02000003, 3}},
         "C05000001=2;C05000002=1;V02000003=3;"},
    };
    for (const auto& c : cases) {
        ReportInit(0, CBRKParam(kAddress, L"4.0.0.1", L"c"));
        for (const Write& w : c.writes) {
            if (w.op == Write::Int) {
                EXPECT_EQ(0, ReportSetInt(w.id, w.number, 0)) << c.name;
            }
            if (w.op == Write::Text) {
                EXPECT_EQ(0, ReportSetText(w.id, w.text, 0)) << c.name;
            }
            if (w.op == Write::Mark) {
                EXPECT_EQ(1, ReportMark(w.id, 0)) << c.name;
            }
        }
        ReportShutdown();  // closes the report into a package, uploads nothing
        std::vector<std::wstring> queued = QueueNames(ProcessingKeyPath());
        std::string summary;
        for (const std::wstring& name : queued) {
            summary += Summary(DecodePackage(name));
            DeleteFileW(name.c_str());
            DeleteQueueValue(ProcessingKeyPath(), name);
        }
        EXPECT_EQ(std::string(c.expected).empty() ? 0u : 1u, queued.size()) << c.name;
        EXPECT_EQ(c.expected, summary) << c.name;
    }
}

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
