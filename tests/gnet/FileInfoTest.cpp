// Resume record, block splitting, destination names and path checks.
#include <gtest/gtest.h>

#include "gnet/DownloadFile.h"
#include "gnet/FileInfo.h"
#include "gnet/FileUtils.h"
#include "gnet/TaskFileSetup.h"
#include "tests/gnet/TestSupport.h"

namespace {

using gnet::BlockList;
const int64_t MiB = 1048576;

struct SplitCase {
    int channels;
    int64_t blockSize;
    int64_t size;
    BlockList expected;
};

TEST(SplitIntoBlocksTest, Table) {
    const SplitCase cases[] = {
        {10, 2 * MiB, 5 * MiB, {{0, 2 * MiB}, {2 * MiB, 2 * MiB}, {4 * MiB, 1 * MiB}}},
        {10, 2 * MiB, 100 * MiB, {{0, 10 * MiB}, {10 * MiB, 10 * MiB}, {20 * MiB, 10 * MiB}, {30 * MiB, 10 * MiB},
                                  {40 * MiB, 10 * MiB}, {50 * MiB, 10 * MiB}, {60 * MiB, 10 * MiB},
                                  {70 * MiB, 10 * MiB}, {80 * MiB, 10 * MiB}, {90 * MiB, 10 * MiB}}},
        // Block size 0: exactly the channel number of parts, the last takes the rest.
        {3, 0, 10, {{0, 3}, {3, 3}, {6, 4}}},
        {1, 2 * MiB, 5 * MiB, {{0, 5 * MiB}}},
        {10, 2 * MiB, 2 * MiB, {{0, 2 * MiB}}},
        {4, 2 * MiB, 1, {{0, 1}}},
    };
    for (const SplitCase& c : cases) {
        EXPECT_EQ(c.expected, gnet::SplitIntoBlocks(c.channels, c.blockSize, c.size))
            << c.channels << " channels, block " << c.blockSize << ", size " << c.size;
    }
}

TEST(IsPathLegalTest, Table) {
    const struct {
        const wchar_t* path;
        bool legal;
    } cases[] = {
        {L"C:\\dl\\file.bin", true},
        {L"C:/dl/file.bin", true},
        {L"C:\\a", true},
        {L"C:\\", false},
        {L"C:", false},
        {L"", false},
        {L"C:dl\\file.bin", false},
        {L"\\\\server\\share\\file.bin", false},
        {L"C:\\d?l\\file.bin", false},
        {L"C:\\dl\\fi?le.bin", false},
        {L"C:\\dl\\a:b", false},
        {L"C:\\dl\\a*b", false},
        {L"C:\\dl\\a\"b", false},
        {L"C:\\dl\\a<b", false},
        {L"C:\\dl\\a>b", false},
        {L"C:\\dl\\a|b", false},
        {L"1:\\dl\\file.bin", false},
    };
    for (const auto& c : cases) EXPECT_EQ(c.legal, gnet::IsPathLegal(c.path)) << std::string(c.path, c.path + wcslen(c.path));
}

TEST(MakeUniqueFileNameTest, FreeNameIsKept) {
    gnettest::ScratchFolder folder;
    std::wstring out;
    ASSERT_TRUE(gnet::MakeUniqueFileName(folder.File(L"a.bin"), out));
    EXPECT_EQ(folder.File(L"a.bin"), out);
}

TEST(MakeUniqueFileNameTest, EmptyFileIsTakenOver) {
    gnettest::ScratchFolder folder;
    gnettest::WriteBytes(folder.File(L"a.bin"), "");
    std::wstring out;
    ASSERT_TRUE(gnet::MakeUniqueFileName(folder.File(L"a.bin"), out));
    EXPECT_EQ(folder.File(L"a.bin"), out);
    EXPECT_FALSE(gnet::PathExists(out));
}

TEST(MakeUniqueFileNameTest, NumbersRunFromOneTo1023ThenNoName) {
    gnettest::ScratchFolder folder;
    gnettest::WriteBytes(folder.File(L"a.bin"), "x");
    std::wstring out;
    ASSERT_TRUE(gnet::MakeUniqueFileName(folder.File(L"a.bin"), out));
    EXPECT_EQ(folder.File(L"a(1).bin"), out);
    for (int i = 1; i <= 1022; ++i) gnettest::WriteBytes(folder.File(L"a(" + std::to_wstring(i) + L").bin"), "x");
    ASSERT_TRUE(gnet::MakeUniqueFileName(folder.File(L"a.bin"), out));
    EXPECT_EQ(folder.File(L"a(1023).bin"), out);
    gnettest::WriteBytes(out, "x");
    EXPECT_FALSE(gnet::MakeUniqueFileName(folder.File(L"a.bin"), out));
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(gnet::kDownRetNoDestName, gnet::ChooseDestination(folder.File(L"a.bin"), 10).result);
}

TEST(FileInfoTest, RecordBytesAreTheCompactWritersAndReadBack) {
    gnettest::ScratchFolder folder;
    gnet::CFileInfo record;
    record.SetPath(folder.File(L"0123456789abcdef0123456789abcdef"));
    EXPECT_FALSE(record.IsLoaded());
    record.SetFileName(L"C:\\dl\\a.bin");
    record.SetFileSize(3 * MiB);
    record.SetFileTime(L"20130504030201");
    record.SetBlocks(BlockList{{1 * MiB, 0}, {2 * MiB, 1 * MiB}});
    record.SetBlockNumber(2);
    record.SaveToFile();
    EXPECT_TRUE(record.IsSaved());
    const std::string expected =
        "{\"block_num\":\"2\",\"blocks\":[{\"len\":\"0\",\"pos\":\"1048576\"},{\"len\":\"1048576\",\"pos\":"
        "\"2097152\"}],\"file_name\":\"C:\\\\dl\\\\a.bin\",\"filesize\":\"3145728\",\"filetime\":"
        "\"20130504030201\"}\n";
    EXPECT_EQ(expected, gnettest::ReadBytes(record.GetRecordPath()));
    EXPECT_FALSE(gnet::PathExists(record.GetRecordPath() + L".tmp"));

    gnet::CFileInfo reread;
    reread.SetPath(folder.File(L"0123456789abcdef0123456789abcdef"));
    EXPECT_TRUE(reread.IsLoaded());
    EXPECT_EQ(L"C:\\dl\\a.bin", reread.GetFileName());
    EXPECT_EQ(3 * MiB, reread.GetFileSize());
    EXPECT_EQ(L"20130504030201", reread.GetFileTime());
    EXPECT_EQ(2, reread.GetBlockNumber());
    EXPECT_EQ(record.GetBlocks(), reread.GetBlocks());
}

TEST(FileInfoTest, RecordWithNumbersInsteadOfTextsCountsAsAbsent) {
    gnettest::ScratchFolder folder;
    gnettest::WriteBytes(folder.File(L"r.gnet"),
                         "{\"block_num\":1,\"blocks\":[{\"len\":\"1\",\"pos\":\"0\"}],\"file_name\":\"C:\\\\x\","
                         "\"filesize\":\"1\",\"filetime\":\"1\"}");
    gnet::CFileInfo record;
    record.SetPath(folder.File(L"r"));
    EXPECT_FALSE(record.IsLoaded());
    EXPECT_TRUE(record.GetBlocks().empty());
    EXPECT_EQ(0, record.GetFileSize());
}

TEST(FileInfoTest, RecordNameIsTheMd5OfTheUrl) {
    EXPECT_EQ(L"900150983cd24fb0d6963f7d28e17f72", gnet::MakeRecordName(L"abc"));
}

// --- reuse checks -------------------------------------------------------------

class ReuseTest : public ::testing::Test {
public:
    void SetUp() override {
        target = folder.File(L"pkg.exe");
        gnettest::WriteBytes(target, std::string(4096, 'x'));
        record.SetFileName(target);
        record.SetFileSize(4096);
        record.SetBlocks(BlockList{{1000, 24}, {2048, 0}, {3000, 1096}});
        record.SetBlockNumber(3);
    }
    gnet::ReuseDecision Evaluate(int64_t remoteSize = 4096, bool forceName = false) {
        return gnet::EvaluateRecordReuse(record, remoteSize, forceName, target);
    }
    gnettest::ScratchFolder folder;
    std::wstring target;
    gnet::CFileInfo record;
};

TEST_F(ReuseTest, MatchingRecordIsReused) {
    gnet::ReuseDecision decision = Evaluate();
    EXPECT_TRUE(decision.reuse);
    EXPECT_EQ(record.GetBlocks(), decision.blocks);
}

TEST_F(ReuseTest, RejectionsAndTheirMessages) {
    struct Case {
        const char* what;
        void (*change)(ReuseTest&);
        int64_t remoteSize;
        const wchar_t* reason;
    } cases[] = {
        {"size changed", [](ReuseTest&) {}, 5000, L"No ReuseSameFile : RemoteFileSize no same"},
        {"block count differs", [](ReuseTest& t) { t.record.SetBlockNumber(2); }, 4096,
         L"No ReuseSameFile : channel num error"},
        {"block beyond the end", [](ReuseTest& t) { t.record.SetBlocks(BlockList{{4000, 97}, {1, 1}, {2, 2}}); },
         4096, L"No ReuseSameFile : configured size big than remote file"},
        {"negative length", [](ReuseTest& t) { t.record.SetBlocks(BlockList{{4000, -5}, {1, 1}, {2, 2}}); }, 4096,
         L"No ReuseSameFile : configured size big than remote file"},
        {"target missing", [](ReuseTest& t) { DeleteFileW(t.target.c_str()); }, 4096, L""},
        {"no file name", [](ReuseTest& t) { t.record.SetFileName(L""); }, 4096, L""},
        {"target elsewhere", [](ReuseTest& t) { t.record.SetFileName(L"C:\\windows\\win.ini"); }, 4096, L""},
    };
    for (const Case& c : cases) {
        SetUp();
        c.change(*this);
        gnet::ReuseDecision decision = Evaluate(c.remoteSize);
        EXPECT_FALSE(decision.reuse) << c.what;
        EXPECT_EQ(std::wstring(c.reason), decision.reason) << c.what;
    }
}

TEST_F(ReuseTest, ForcedNameConflictDeletesTheRecordedTarget) {
    std::wstring other = folder.File(L"pkg(1).exe");
    gnettest::WriteBytes(other, std::string(4096, 'y'));
    record.SetFileName(other);
    gnet::ReuseDecision decision = Evaluate(4096, true);
    EXPECT_FALSE(decision.reuse);
    EXPECT_EQ(L"No ReuseSameFile : Force name", decision.reason);
    EXPECT_FALSE(gnet::PathExists(other));
}

TEST_F(ReuseTest, SizeFromDiskMustMatchToo) {
    gnettest::WriteBytes(target, std::string(100, 'x'));
    EXPECT_EQ(L"No ReuseSameFile : RemoteFileSize no same", Evaluate().reason);
}

TEST(DestinationTest, FreeSpaceNeedsOneMoreMiB) {
    gnettest::ScratchFolder folder;
    uint64_t freeMiB = gnet::GetFreeSpaceMB(folder.Path() + L"\\");
    ASSERT_GT(freeMiB, 2u);
    EXPECT_EQ(0, gnet::ChooseDestination(folder.File(L"a"), static_cast<int64_t>(freeMiB - 1) * MiB).result);
    EXPECT_EQ(gnet::kDownRetDiskSpace,
              gnet::ChooseDestination(folder.File(L"a"), static_cast<int64_t>(freeMiB) * MiB).result);
}

TEST(FolderTest, CreateRecursiveAndWritable) {
    gnettest::ScratchFolder folder;
    std::wstring deep = folder.Path() + L"\\x\\y\\z";
    EXPECT_TRUE(gnet::CreateDirectoryRecursive(deep));
    EXPECT_TRUE(gnet::IsDirectory(deep));
    EXPECT_TRUE(gnet::IsPathWritable(deep));
    EXPECT_FALSE(gnet::CreateDirectoryRecursive(L"x"));
    EXPECT_EQ(L"C:\\a", gnet::GetParentPath(L"C:\\a/b"));
    EXPECT_EQ(L"", gnet::GetParentPath(L"abc"));
}

}  // namespace
