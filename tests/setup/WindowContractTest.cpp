// The result block the installer sends and the block that tells it the window.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "setup/InstallHwndBlock.h"
#include "setup/WindowContract.h"

namespace {

std::vector<unsigned char> BlockBytes(const InstallerResultBlock& block)
{
    std::vector<unsigned char> bytes(sizeof block);
    std::memcpy(bytes.data(), &block, sizeof block);
    return bytes;
}

TEST(InstallerResult, AcceptsOnlyExactSizeAndDataId)
{
    const std::vector<unsigned char> bytes = BlockBytes(MakeInstallerResultBlock(L"0", L"done"));
    struct Case {
        ULONG_PTR dwData;
        DWORD cbData;
        bool accepted;
    };
    const Case cases[] = {
        {1, 2068, true}, {0, 2068, false}, {2, 2068, false},
        {1, 2067, false}, {1, 2069, false}, {1, 0, false}, {1, 20, false},
    };
    for (const Case& c : cases) {
        InstallerResult result{L"keep", L"keep"};
        EXPECT_EQ(ParseInstallerResult(c.dwData, c.cbData, bytes.data(), &result), c.accepted)
            << c.dwData << " " << c.cbData;
        if (!c.accepted) {
            EXPECT_EQ(result.resultCode, L"keep");
        }
    }
    InstallerResult result;
    EXPECT_FALSE(ParseInstallerResult(1, 2068, nullptr, &result));
    EXPECT_FALSE(ParseInstallerResult(nullptr, &result));
}

TEST(InstallerResult, SuccessOnlyForZero)
{
    struct Case {
        const wchar_t* code;
        bool succeeded;
    };
    const Case cases[] = {{L"0", true}, {L"1", false}, {L"00", false}, {L"", false}, {L"0 ", false}, {L"1603", false}};
    for (const Case& c : cases) {
        const std::vector<unsigned char> bytes = BlockBytes(MakeInstallerResultBlock(c.code, L"m"));
        COPYDATASTRUCT copy{kInstallerResultDataId, static_cast<DWORD>(bytes.size()),
                            const_cast<unsigned char*>(bytes.data())};
        InstallerResult result;
        ASSERT_TRUE(ParseInstallerResult(&copy, &result));
        EXPECT_EQ(result.resultCode, c.code);
        EXPECT_EQ(result.message, L"m");
        EXPECT_EQ(result.Succeeded(), c.succeeded) << c.code;
    }
}

TEST(InstallerResult, FieldsWithoutTerminatingZeroStayInsideTheirField)
{
    // Fill every unit with a letter: no zero anywhere in the block.
    std::vector<unsigned char> bytes(sizeof(InstallerResultBlock));
    wchar_t* units = reinterpret_cast<wchar_t*>(bytes.data());
    for (size_t i = 0; i < bytes.size() / 2; ++i)
        units[i] = i < kInstallerResultCodeChars ? L'7' : L'm';
    InstallerResult result;
    ASSERT_TRUE(ParseInstallerResult(1, static_cast<DWORD>(bytes.size()), bytes.data(), &result));
    EXPECT_EQ(result.resultCode, std::wstring(10, L'7'));
    EXPECT_EQ(result.message, std::wstring(1024, L'm'));
    EXPECT_FALSE(result.Succeeded());
}

TEST(InstallerResult, ParsesUnalignedData)
{
    const std::vector<unsigned char> block = BlockBytes(MakeInstallerResultBlock(L"0", L"ok"));
    std::vector<unsigned char> shifted(block.size() + 1);
    std::memcpy(shifted.data() + 1, block.data(), block.size());
    InstallerResult result;
    ASSERT_TRUE(ParseInstallerResult(1, 2068, shifted.data() + 1, &result));
    EXPECT_TRUE(result.Succeeded());
    EXPECT_EQ(result.message, L"ok");
}

TEST(InstallerResult, MakeCutsLongTextsAndKeepsTheZero)
{
    const InstallerResultBlock block = MakeInstallerResultBlock(std::wstring(30, L'1'), std::wstring(5000, L'x'));
    EXPECT_EQ(std::wstring(block.resultCode), std::wstring(9, L'1'));
    EXPECT_EQ(block.resultCode[9], L'\0');
    EXPECT_EQ(block.message[1023], L'\0');
    EXPECT_EQ(std::wstring(block.message).size(), 1023u);
}

TEST(InstallHwndBlock, InstallerReadsTheHandleTheWindowWrote)
{
    const std::wstring name = L"MiniInstallHwndTest" + std::to_wstring(GetCurrentProcessId());
    const HWND fake = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x00A1B2C4));
    EXPECT_EQ(ReadInstallHwndBlock(name.c_str()), nullptr);
    {
        CInstallHwndBlock block;
        ASSERT_TRUE(block.Create(fake, name.c_str()));
        EXPECT_TRUE(block.IsOpen());
        EXPECT_EQ(ReadInstallHwndBlock(name.c_str()), fake);
        // Creating again replaces the handle.
        const HWND other = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x0000BEEF));
        ASSERT_TRUE(block.Create(other, name.c_str()));
        EXPECT_EQ(ReadInstallHwndBlock(name.c_str()), other);
    }
    // Closed with its owner: the installer finds nothing.
    EXPECT_EQ(ReadInstallHwndBlock(name.c_str()), nullptr);
}

}  // namespace
