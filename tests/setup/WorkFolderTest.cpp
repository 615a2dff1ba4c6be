// The work folder's drive choice, the writable test, free space, temporary
// names and the supported-Windows rule.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "TestFolder.h"
#include "setup/SystemCheck.h"
#include "setup/WorkFolder.h"

namespace {

constexpr uint64_t MiB = 1024ull * 1024;
constexpr uint64_t GB = 1000ull * 1000 * 1000;

struct FakeDrive {
    wchar_t letter;
    bool fixed;
    bool freeReadable;
    uint64_t freeBytes;
    bool writable;
    bool usb;
};

class CFakeDrives : public IDriveInfo {
public:
    CFakeDrives(uint64_t tempFreeMiB, std::vector<FakeDrive> drives, bool folderOk = true)
        : tempFreeMiB_(tempFreeMiB), folderOk_(folderOk)
    {
        for (const FakeDrive& d : drives)
            drives_[d.letter] = d;
    }
    DWORD LogicalDrives() override
    {
        DWORD mask = 0;
        for (const auto& d : drives_)
            mask |= 1u << (d.first - L'A');
        return mask;
    }
    bool IsFixed(wchar_t l) override { return drives_.at(l).fixed; }
    bool FreeBytes(wchar_t l, uint64_t* bytes) override
    {
        *bytes = drives_.at(l).freeBytes;
        return drives_.at(l).freeReadable;
    }
    bool IsWritable(wchar_t l) override
    {
        writableTests.push_back(l);
        return drives_.at(l).writable;
    }
    bool IsUsb(wchar_t l) override { return drives_.at(l).usb; }
    uint64_t FreeMiB(const std::wstring&) override { return tempFreeMiB_; }
    bool EnsureFolder(const std::wstring& folder) override
    {
        createdFolders.push_back(folder);
        return folderOk_;
    }

    std::vector<wchar_t> writableTests;
    std::vector<std::wstring> createdFolders;

private:
    uint64_t tempFreeMiB_;
    bool folderOk_;
    std::map<wchar_t, FakeDrive> drives_;
};

const std::wstring kTemp = L"C:\\Users\\me\\AppData\\Local\\Temp\\";

TEST(WorkFolder, DriveChoiceTable)
{
    struct Case {
        const char* what;
        uint64_t tempFreeMiB;
        std::vector<FakeDrive> drives;
        bool ok;
        std::wstring folder;
    };
    const Case cases[] = {
        {"enough room in the temporary folder", 100, {{L'C', true, true, 100 * MiB, true, false}}, true, kTemp},
        {"larger USB disk later is skipped", 99,
         {{L'C', true, true, 99 * MiB, true, false}, {L'D', true, true, 50 * GB, true, false},
          {L'E', true, true, 80 * GB, true, true}},
         true, L"D:\\brk_temp\\"},
        {"USB disk as first candidate is taken", 99,
         {{L'D', true, true, 80 * GB, true, true}, {L'E', true, true, 50 * GB, true, false}}, true,
         L"D:\\brk_temp\\"},
        {"equal free space: the earlier letter", 99,
         {{L'D', true, true, 50 * GB, true, false}, {L'E', true, true, 50 * GB, true, false}}, true,
         L"D:\\brk_temp\\"},
        {"more free space wins", 10,
         {{L'C', true, true, 10 * MiB, true, false}, {L'D', true, true, 50 * GB, true, false},
          {L'F', true, true, 60 * GB, true, false}},
         true, L"F:\\brk_temp\\"},
        {"removable, unreadable and read-only drives do not count", 10,
         {{L'D', false, true, 900 * GB, true, false}, {L'E', true, false, 900 * GB, true, false},
          {L'G', true, true, 900 * GB, false, false}, {L'H', true, true, 2 * GB, true, false}},
         true, L"H:\\brk_temp\\"},
        {"no fixed drive", 10, {{L'D', false, true, 900 * GB, true, false}}, false, kTemp},
        {"best drive has exactly 100 MiB", 10, {{L'D', true, true, 100 * MiB, true, false}}, false, kTemp},
        {"best drive has a byte more", 10, {{L'D', true, true, 100 * MiB + 1, true, false}}, true,
         L"D:\\brk_temp\\"},
        {"Z: counts too", 10, {{L'Z', true, true, 5 * GB, true, false}}, true, L"Z:\\brk_temp\\"},
    };
    for (const Case& c : cases) {
        CFakeDrives drives(c.tempFreeMiB, c.drives);
        std::wstring folder = L"unset";
        EXPECT_EQ(InitWorkFolder(drives, kTemp, &folder), c.ok) << c.what;
        EXPECT_EQ(folder, c.folder) << c.what;
        if (c.ok && c.folder != kTemp) {
            EXPECT_EQ(drives.createdFolders, std::vector<std::wstring>{c.folder}) << c.what;
        }
    }
}

TEST(WorkFolder, TemporaryFolderWithRoomTouchesNoDrive)
{
    CFakeDrives drives(500, {{L'C', true, true, 500 * MiB, true, false}, {L'D', true, true, 50 * GB, true, false}});
    std::wstring folder;
    EXPECT_TRUE(InitWorkFolder(drives, kTemp, &folder));
    EXPECT_TRUE(drives.writableTests.empty());
    EXPECT_TRUE(drives.createdFolders.empty());
}

TEST(WorkFolder, WritableTestOnlyWhereADriveCouldWin)
{
    CFakeDrives drives(10, {{L'C', true, true, 60 * GB, true, false},
                            {L'D', true, true, 50 * GB, true, false},
                            {L'E', true, true, 70 * GB, true, true},
                            {L'F', true, true, 80 * GB, true, false}});
    const BestDrive best = FindBestFixedDrive(drives);
    EXPECT_EQ(best.letter, L'F');
    EXPECT_EQ(best.freeBytes, 80 * GB);
    EXPECT_EQ(drives.writableTests, (std::vector<wchar_t>{L'C', L'F'}));
}

TEST(WorkFolder, FolderThatCannotBeMadeIsNoWorkFolder)
{
    CFakeDrives drives(10, {{L'D', true, true, 50 * GB, true, false}}, false);
    std::wstring folder;
    EXPECT_FALSE(InitWorkFolder(drives, kTemp, &folder));
    EXPECT_EQ(folder, kTemp);
}

TEST(WorkFolder, SystemChoiceUnderThisMachine)
{
    std::wstring folder;
    ASSERT_TRUE(InitWorkFolder(&folder));
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), L'\\');
    EXPECT_NE(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(TempFolder, CachedFolderAndUniqueEmptyNames)
{
    const std::wstring& folder = GetTempFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), L'\\');
    EXPECT_EQ(&folder, &GetTempFolder());
    const std::wstring a = MakeTempFileName();
    const std::wstring b = MakeTempFileName();
    ASSERT_FALSE(a.empty());
    ASSERT_FALSE(b.empty());
    EXPECT_NE(a, b);
    for (const std::wstring& name : {a, b}) {
        EXPECT_EQ(name.compare(0, folder.size(), folder), 0);
        EXPECT_EQ(_wcsnicmp(name.c_str() + folder.size(), L"brk", 3), 0);
        std::string bytes = "x";
        ASSERT_TRUE(ReadBytes(name, &bytes));
        EXPECT_TRUE(bytes.empty());
        DeleteFileW(name.c_str());
    }
}

const wchar_t kTestFile[] = L"\\test4822FBB5_0309_420f_9DA2_FA5B8B854947.txt";

TEST(WritableTest, CreatesWritesAndRemovesOnlyItsOwnFiles)
{
    CTestFolder folder(L"writable");
    const std::wstring testFolder = folder / L"probe";
    EXPECT_TRUE(IsFolderWritable(testFolder));
    EXPECT_FALSE(FileExists(testFolder));

    // Leftovers of an earlier test are cleaned up first.
    ASSERT_TRUE(CreateDirectoryW(testFolder.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(testFolder + kTestFile, "old"));
    EXPECT_TRUE(IsFolderWritable(testFolder));
    EXPECT_FALSE(FileExists(testFolder));

    // Someone else's file in that folder survives; the test then fails.
    ASSERT_TRUE(CreateDirectoryW(testFolder.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(testFolder + L"\\keep.txt", "mine"));
    EXPECT_FALSE(IsFolderWritable(testFolder));
    std::string kept;
    ASSERT_TRUE(ReadBytes(testFolder + L"\\keep.txt", &kept));
    EXPECT_EQ(kept, "mine");
}

TEST(WritableTest, FolderThatCannotBeMadeIsNotWritable)
{
    CTestFolder folder(L"blocked");
    // A file where the test folder should go.
    ASSERT_TRUE(WriteBytes(folder / L"probe", "file"));
    EXPECT_FALSE(IsFolderWritable(folder / L"probe"));
    EXPECT_TRUE(FileExists(folder / L"probe"));
}

std::wstring NextToThisProgram(const wchar_t* name)
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring self(path, length);
    return self.substr(0, self.find_last_of(L'\\') + 1) + name;
}

// The build puts a folder link "setup_reparse_link" to "setup_reparse_target"
// next to the test program.
TEST(WritableTest, ReparsePointIsNotWritableAndNotFollowed)
{
    const std::wstring link = NextToThisProgram(L"setup_reparse_link");
    const std::wstring target = NextToThisProgram(L"setup_reparse_target");
    ASSERT_TRUE(IsReparsePoint(link)) << "the build's folder link is missing";
    ASSERT_TRUE(WriteBytes(target + L"\\keep.txt", "target"));
    EXPECT_FALSE(IsFolderWritable(link));
    EXPECT_TRUE(IsReparsePoint(link));
    EXPECT_TRUE(FileExists(target + L"\\keep.txt"));
    EXPECT_FALSE(FileExists(target + kTestFile));
    DeleteFileW((target + L"\\keep.txt").c_str());

    // A plain folder is no reparse point.
    EXPECT_FALSE(IsReparsePoint(target));
}

TEST(WritableTest, SystemDrive)
{
    wchar_t windows[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH), 0u);
    EXPECT_TRUE(IsDriveWritable(windows[0]));
    EXPECT_FALSE(FileExists(std::wstring(1, windows[0]) + L":\\test4822FBB5_0309_420f_9DA2_FA5B8B854946"));
}

TEST(FreeSpace, ReadableAndUnreadableDrives)
{
    EXPECT_GT(GetFreeSpaceMiB(GetTempFolder()), 0u);
    const DWORD drives = GetLogicalDrives();
    for (int i = 25; i >= 0; --i) {
        if ((drives & (1u << i)) == 0) {
            const std::wstring missing = std::wstring(1, static_cast<wchar_t>(L'A' + i)) + L":\\nothing\\";
            EXPECT_EQ(GetFreeSpaceMiB(missing), 0u);
            break;
        }
    }
}

TEST(SupportedWindows, Table)
{
    const BYTE ws = VER_NT_WORKSTATION;
    const BYTE server = VER_NT_SERVER;
    const WORD x86 = PROCESSOR_ARCHITECTURE_INTEL;
    const WORD x64 = PROCESSOR_ARCHITECTURE_AMD64;
    struct Case {
        const char* what;
        DWORD major, minor;
        WORD sp;
        BYTE type;
        WORD arch;
        bool supported;
    };
    const Case cases[] = {
        {"2000", 5, 0, 4, ws, x86, false},
        {"XP SP1", 5, 1, 1, ws, x86, false},
        {"XP SP2", 5, 1, 2, ws, x86, true},
        {"XP SP3", 5, 1, 3, ws, x86, true},
        {"XP x64", 5, 2, 2, ws, x64, true},
        {"Server 2003 x64", 5, 2, 2, server, x64, false},
        {"Server 2003 x86", 5, 2, 2, server, x86, false},
        {"5.2 workstation on x86", 5, 2, 2, ws, x86, false},
        {"5.2 workstation on Itanium", 5, 2, 2, ws, PROCESSOR_ARCHITECTURE_IA64, false},
        {"Vista", 6, 0, 0, ws, x86, true},
        {"Server 2008", 6, 0, 0, server, x64, true},
        {"7", 6, 1, 1, ws, x64, true},
        {"10", 10, 0, 0, ws, x64, true},
        {"NT 4", 4, 0, 6, ws, x86, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsSupportedWindowsVersion(c.major, c.minor, c.sp, c.type, c.arch), c.supported) << c.what;
}

TEST(SupportedWindows, ThisSystem)
{
    // Wine presents a current Windows.
    EXPECT_TRUE(IsSupportedWindows());
}

}  // namespace
