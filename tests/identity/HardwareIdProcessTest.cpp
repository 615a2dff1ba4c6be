// GetHardwareId() end to end in this process and in child processes. This is
// the one test that uses the machine-wide identity store (of the test's own
// Wine prefix).
#include <gtest/gtest.h>

#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "ChildProcess.h"
#include "app/InstallIdentity.h"
#include "identity/HardwareId.h"

namespace {

const char kPrintSwitch[] = "--print-hardware-id";

struct ThreadSlot {
    HANDLE start;
    const char* id;
};

DWORD WINAPI AskForId(void* parameter)
{
    auto* slot = static_cast<ThreadSlot*>(parameter);
    WaitForSingleObject(slot->start, INFINITE);
    slot->id = GetHardwareId();
    return 0;
}

// Runs this program again with the print switch and returns what it printed.
std::string IdFromChildProcess()
{
    const std::wstring exe = ThisProgramPath();
    const ChildRun run = RunCapturingOutput(exe, L"\"" + exe + L"\" --print-hardware-id");
    return run.started ? run.output : "process did not start";
}

bool IsHexText(const std::string& text)
{
    for (char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

}  // namespace

// Runs first, so the eight threads are the first to ask in this process.
TEST(HardwareId, EightThreadsAskingAtOnceGetTheSameText)
{
    HANDLE start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ThreadSlot slots[8];
    HANDLE threads[8];
    for (int i = 0; i < 8; ++i) {
        slots[i] = {start, nullptr};
        threads[i] = CreateThread(nullptr, 0, AskForId, &slots[i], 0, nullptr);
        ASSERT_NE(nullptr, threads[i]);
    }
    SetEvent(start);
    WaitForMultipleObjects(8, threads, TRUE, INFINITE);
    for (HANDLE thread : threads) CloseHandle(thread);
    CloseHandle(start);

    ASSERT_NE(nullptr, slots[0].id);
    for (const ThreadSlot& slot : slots) {
        ASSERT_NE(nullptr, slot.id);
        EXPECT_STREQ(slots[0].id, slot.id);
        EXPECT_EQ(slots[0].id, slot.id);  // one published text for everybody
    }
    EXPECT_EQ(slots[0].id, GetHardwareId());
}

TEST(HardwareId, Has32HexCharacters)
{
    const std::string id = GetHardwareId();
    EXPECT_EQ(32u, id.size());
    EXPECT_TRUE(IsHexText(id)) << id;
    EXPECT_NE(guid::kFallbackHardwareId, id) << "the computation failed";
}

TEST(HardwareId, SameInAnotherProcess)
{
    const std::string id = GetHardwareId();
    EXPECT_EQ(id, IdFromChildProcess());
    EXPECT_EQ(id, IdFromChildProcess());
}

TEST(HardwareId, HardwareOnlyIdentityIsTheHardwareId)
{
    wchar_t buffer[64] = L"untouched";
    EXPECT_EQ(1, BuildInstallIdentity(nullptr, buffer, 64, 1));
    const std::string id = GetHardwareId();
    EXPECT_EQ(std::wstring(id.begin(), id.end()), buffer);

    wchar_t small[16] = L"untouched";
    EXPECT_EQ(1, BuildInstallIdentity(nullptr, small, 16, 1));
    EXPECT_EQ(std::wstring(L"untouched"), small);
}

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], kPrintSwitch) == 0) {
        std::fputs(GetHardwareId(), stdout);
        return 0;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
