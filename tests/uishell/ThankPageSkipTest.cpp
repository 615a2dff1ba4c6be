// When the thank-you page is left out: the product's service runs, or the
// stored uninstall time lies less than a day back. Values are written into a
// key of this test's own under the test prefix's HKCU and removed afterwards.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "FakeEnvironment.h"
#include "ui/setup/ThankPageSkip.h"

namespace {

constexpr wchar_t kTestKey[] = L"Software\\Nuvex Security\\Brisko uishell test";
constexpr LONGLONG kHour = 36000000000LL;  // in 100 ns

SYSTEMTIME ShiftedNow(LONGLONG offset)
{
    SYSTEMTIME now = {};
    GetSystemTime(&now);
    FILETIME file = {};
    SystemTimeToFileTime(&now, &file);
    ULARGE_INTEGER value = {};
    value.LowPart = file.dwLowDateTime;
    value.HighPart = file.dwHighDateTime;
    value.QuadPart += offset;
    file.dwLowDateTime = value.LowPart;
    file.dwHighDateTime = value.HighPart;
    SYSTEMTIME shifted = {};
    FileTimeToSystemTime(&file, &shifted);
    return shifted;
}

std::wstring Format(const SYSTEMTIME& t)
{
    wchar_t text[40] = {};
    swprintf(text, 40, L"%04d-%02d-%02d %02d:%02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    return text;
}

std::wstring HoursAgo(int hours) { return Format(ShiftedNow(-hours * kHour)); }

std::vector<BYTE> Bytes(const std::wstring& text, bool terminated)
{
    const BYTE* begin = reinterpret_cast<const BYTE*>(text.c_str());
    size_t size = (text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t);
    return std::vector<BYTE>(begin, begin + size);
}

class ThankPageSkipRegistry : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override
    {
        if (key_) RegCloseKey(key_);
        RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
    }
    void Store(DWORD type, const std::vector<BYTE>& data)
    {
        ASSERT_EQ(RegSetValueExW(key_, kUninstallTimeValue, 0, type, data.empty() ? nullptr : data.data(),
                                 static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
    }
    HKEY key_ = nullptr;
};

struct StoredCase {
    const char* name;
    DWORD type;
    std::vector<BYTE> data;
    bool recent;
};

TEST_F(ThankPageSkipRegistry, StoredUninstallTimeCases)
{
    DWORD dword = 1;
    std::vector<BYTE> dwordBytes(reinterpret_cast<BYTE*>(&dword), reinterpret_cast<BYTE*>(&dword) + sizeof(dword));
    std::vector<BYTE> odd = Bytes(HoursAgo(23), true);
    odd.push_back(0);
    const StoredCase cases[] = {
        {"23 hours ago", REG_SZ, Bytes(HoursAgo(23), true), true},
        {"25 hours ago", REG_SZ, Bytes(HoursAgo(25), true), false},
        {"a minute ago", REG_SZ, Bytes(Format(ShiftedNow(-kHour / 60)), true), true},
        {"a week ago", REG_SZ, Bytes(HoursAgo(24 * 7), true), false},
        {"an hour ahead", REG_SZ, Bytes(HoursAgo(-1), true), true},
        {"a year ahead", REG_SZ, Bytes(HoursAgo(-24 * 365), true), true},
        {"text after the terminator", REG_SZ, Bytes(HoursAgo(23) + std::wstring(1, L'\0') + L"x", true), true},
        {"not terminated", REG_SZ, Bytes(HoursAgo(23), false), true},
        {"odd byte count", REG_SZ, odd, false},
        {"expandable string", REG_EXPAND_SZ, Bytes(HoursAgo(23), true), false},
        {"binary", REG_BINARY, Bytes(HoursAgo(23), true), false},
        {"number", REG_DWORD, dwordBytes, false},
        {"empty", REG_SZ, Bytes(L"", true), false},
        {"no bytes", REG_SZ, {}, false},
        {"words", REG_SZ, Bytes(L"yesterday", true), false},
        {"no such day", REG_SZ, Bytes(L"2026-02-30 10:00:00", true), false},
        {"no such hour", REG_SZ, Bytes(L"2026-02-03 24:00:00", true), false},
        {"date only", REG_SZ, Bytes(L"2026-02-03", true), false},
        {"longer than 32 characters", REG_SZ, Bytes(HoursAgo(23) + L"                      ", true), false},
    };
    for (const StoredCase& c : cases) {
        Store(c.type, c.data);
        EXPECT_EQ(UninstalledWithinDay(HKEY_CURRENT_USER, kTestKey), c.recent) << c.name;
    }
}

TEST_F(ThankPageSkipRegistry, MissingValueOrKeyIsNotRecent)
{
    EXPECT_FALSE(UninstalledWithinDay(HKEY_CURRENT_USER, kTestKey));
    EXPECT_FALSE(UninstalledWithinDay(HKEY_CURRENT_USER, L"Software\\Nuvex Security\\No such key 5e1d"));
}

TEST_F(ThankPageSkipRegistry, SkipWhenServiceRunsOrUninstallIsRecent)
{
    struct {
        bool serviceRuns;
        int hoursAgo;  // 0: no value
        bool skip;
    } const cases[] = {
        {false, 0, false}, {true, 0, true}, {false, 23, true}, {false, 25, false}, {true, 25, true},
    };
    for (const auto& c : cases) {
        RegDeleteValueW(key_, kUninstallTimeValue);
        if (c.hoursAgo) Store(REG_SZ, Bytes(HoursAgo(c.hoursAgo), true));
        CFakeEnvironment fake;
        if (c.serviceRuns) fake.runningProcesses = {L"briskosvc.exe"};
        CScopedEnvironment scope(fake);
        EXPECT_EQ(ShouldSkipThankPage(HKEY_CURRENT_USER, kTestKey), c.skip)
            << "service " << c.serviceRuns << ", hours " << c.hoursAgo;
    }
}

TEST(ThankPageSkip, DayBoundaryIsExclusive)
{
    SYSTEMTIME now = {2026, 3, 0, 1, 12, 0, 0, 0};
    struct {
        SYSTEMTIME stored;
        bool recent;
    } const cases[] = {
        {{2026, 2, 0, 28, 12, 0, 0, 0}, false},   // exactly a day, across a month end
        {{2026, 2, 0, 28, 12, 0, 1, 0}, true},    // a second less
        {{2026, 3, 0, 1, 12, 0, 0, 0}, true},     // the same moment
        {{2026, 3, 0, 2, 12, 0, 0, 0}, true},     // ahead
        {{2025, 3, 0, 1, 12, 0, 0, 0}, false},    // a year back
    };
    for (const auto& c : cases) EXPECT_EQ(IsLessThanDayBefore(c.stored, now), c.recent) << c.stored.wDay;
}

TEST(ThankPageSkip, ParsesTheStoredShape)
{
    SYSTEMTIME time = {};
    ASSERT_TRUE(ParseUninstallTime(L"2026-12-10 07:05:09", &time));
    EXPECT_EQ(time.wYear, 2026);
    EXPECT_EQ(time.wMonth, 12);
    EXPECT_EQ(time.wDay, 10);
    EXPECT_EQ(time.wHour, 7);
    EXPECT_EQ(time.wMinute, 5);
    EXPECT_EQ(time.wSecond, 9);
    const wchar_t* rejected[] = {L"", L"2026-12-10", L"2026/12/10 07:05:09", L"-2026-12-10 07:05:09",
                                 L"2026-00-10 07:05:09", L"1200-12-10 07:05:09", L"2026-12-10 07:60:09"};
    for (const wchar_t* text : rejected) EXPECT_FALSE(ParseUninstallTime(text, &time)) << text;
}

}  // namespace
