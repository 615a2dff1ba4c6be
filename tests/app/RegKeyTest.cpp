// The scoped registry key: opening below a parent, keys handed out by the
// Reg*KeyEx calls, and a missing key that stays empty.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/RegKey.h"

namespace {

const std::wstring kTestKey = L"Software\\Nuvex Security\\RegKeyTest_" + std::to_wstring(GetCurrentProcessId());

TEST(RegKey, CreatedKeyCanBeOpenedAgainAndReadBelowItsParent)
{
    {
        CRegKey created;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, (kTestKey + L"\\Child").c_str(), 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, created.Receive(), nullptr));
        const DWORD value = 7;
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(created.Get(), L"Seven", 0, REG_DWORD,
                                                reinterpret_cast<const BYTE*>(&value), sizeof(value)));
    }
    CRegKey parent(HKEY_CURRENT_USER, kTestKey, KEY_READ);
    ASSERT_NE(nullptr, parent.Get());
    CRegKey child(parent.Get(), L"Child", KEY_QUERY_VALUE);
    ASSERT_NE(nullptr, child.Get());
    DWORD value = 0, size = sizeof(value), type = 0;
    EXPECT_EQ(ERROR_SUCCESS,
              RegQueryValueExW(child.Get(), L"Seven", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_EQ(7u, value);
    RegDeleteKeyW(HKEY_CURRENT_USER, (kTestKey + L"\\Child").c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, kTestKey.c_str());
}

TEST(RegKey, MissingKeyLeavesItEmpty)
{
    CRegKey missing(HKEY_CURRENT_USER, kTestKey + L"\\Nowhere", KEY_READ);
    EXPECT_EQ(nullptr, missing.Get());
    CRegKey empty;
    EXPECT_EQ(nullptr, empty.Get());
}

}  // namespace
