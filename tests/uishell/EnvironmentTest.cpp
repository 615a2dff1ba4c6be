// The real environment answers from the running system; an installed fake
// replaces it and is replaced again when its scope ends.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "FakeEnvironment.h"
#include "ui/setup/Environment.h"

namespace {

std::wstring OwnFileName()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring full(path);
    return full.substr(full.find_last_of(L'\\') + 1);
}

std::wstring Upper(std::wstring text)
{
    CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

TEST(RealEnvironment, FindsRunningProcessesByNameIgnoringCase)
{
    std::wstring self = OwnFileName();
    ASSERT_FALSE(self.empty());
    EXPECT_TRUE(Env().IsProcessRunning(self));
    EXPECT_TRUE(Env().IsProcessRunning(Upper(self)));
    EXPECT_FALSE(Env().IsProcessRunning(L"no-such-program-7f3a.exe"));
    // A name is the whole name, never a prefix of a running one.
    EXPECT_FALSE(Env().IsProcessRunning(self.substr(0, self.size() - 4)));
}

TEST(RealEnvironment, ProgramPathIsTheRunningFile)
{
    std::wstring path = Env().ProgramPath();
    ASSERT_GT(path.size(), OwnFileName().size());
    EXPECT_EQ(path.substr(path.size() - OwnFileName().size()), OwnFileName());
    EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(RealEnvironment, ReportsAWindowsVersion)
{
    OSVERSIONINFOEXW info = {};
    ASSERT_TRUE(Env().WindowsVersion(&info));
    EXPECT_EQ(info.dwOSVersionInfoSize, sizeof(info));
    EXPECT_GE(info.dwMajorVersion, 5u);
}

TEST(EnvironmentSeam, ScopedFakeAnswersAndRealOneReturns)
{
    IEnvironment* real = &Env();
    {
        CFakeEnvironment fake;
        fake.admin = false;
        fake.userLangId = 1054;
        fake.runningProcesses = {L"BriskoSvc.exe"};
        CScopedEnvironment scope(fake);
        EXPECT_EQ(&Env(), &fake);
        EXPECT_FALSE(Env().IsUserAdmin());
        EXPECT_EQ(Env().UserDefaultLangId(), 1054);
        EXPECT_TRUE(Env().IsProcessRunning(L"briskosvc.EXE"));
        {
            CFakeEnvironment inner;
            CScopedEnvironment innerScope(inner);
            EXPECT_EQ(&Env(), &inner);
        }
        EXPECT_EQ(&Env(), &fake);
    }
    EXPECT_EQ(&Env(), real);
    EXPECT_EQ(SetEnvironment(nullptr), real);
    EXPECT_EQ(&Env(), real);
}

}  // namespace
