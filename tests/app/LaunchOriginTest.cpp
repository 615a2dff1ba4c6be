// The launch-origin record: its three shapes and the device-to-drive path turn.
#include <gtest/gtest.h>

#include "app/LaunchOrigin.h"

namespace {

TEST(LaunchOrigin, RecordShapes)
{
    ParentProcessInfo opened{true, true, true, L"explorer.exe", L"C:\\Windows\\explorer.exe"};
    EXPECT_EQ(L"web|gl|official|direct|explorer.exe|desc|1.0.0.0|name|1.0|c|1KB|abc",
              FormatLaunchOrigin(L"web|gl|official|direct", opened, L"desc|1.0.0.0|name|1.0|c|1KB|abc"));

    ParentProcessInfo closed{true, true, false, L"", L""};
    EXPECT_EQ(L"null|null|null|null|null|null|null|null", FormatLaunchOrigin(L"", closed, L""));
    closed.imageName = L"svchost.exe";
    EXPECT_EQ(L"ch|svchost.exe|null|null|null|null|null|null", FormatLaunchOrigin(L"ch", closed, L""));

    ParentProcessInfo notQueried;
    EXPECT_EQ(L"", FormatLaunchOrigin(L"ch", notQueried, L"x"));
    EXPECT_EQ(L"ch|null|null|null|null|null|null|null", LaunchOriginFallback(L"ch"));
    EXPECT_EQ(L"null|null|null|null|null|null|null|null", LaunchOriginFallback(L""));
}

TEST(LaunchOrigin, DevicePathsBecomeDrivePaths)
{
    std::vector<std::pair<std::wstring, std::wstring>> drives = {
        {L"C:", L"\\Device\\HarddiskVolume2"},
        {L"D:", L"\\Device\\HarddiskVolume2"},  // a later letter for the same device never wins
        {L"E:", L"\\Device\\CdRom0"},
    };
    EXPECT_EQ(L"C:\\Windows\\explorer.exe",
              DevicePathToDrivePath(L"\\device\\harddiskvolume2\\Windows\\explorer.exe", drives));
    EXPECT_EQ(L"E:\\setup.exe", DevicePathToDrivePath(L"\\Device\\CdRom0\\setup.exe", drives));
    EXPECT_EQ(L"\\Device\\Mup\\server\\a.exe", DevicePathToDrivePath(L"\\Device\\Mup\\server\\a.exe", drives));
    EXPECT_EQ(L"", DevicePathToDrivePath(L"", drives));
}

TEST(LaunchOrigin, TheRunningProcessGetsARecordOfTheChannel)
{
    std::wstring record = BuildLaunchOriginRecord(L"web|gl|official|direct");
    if (record.empty()) record = LaunchOriginFallback(L"web|gl|official|direct");
    EXPECT_EQ(0u, record.find(L"web|gl|official|direct|")) << std::string(record.begin(), record.end());
}

}  // namespace
