// The launch-origin record: its three shapes, the device-to-drive path turn,
// and the record a started child process makes of this test program.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "ChildProcess.h"
#include "app/LaunchOrigin.h"
#include "base/FileVersion.h"
#include "base/MD5Checksum.h"

namespace {

std::vector<std::wstring> Fields(const std::wstring& record)
{
    std::vector<std::wstring> fields;
    size_t start = 0;
    for (size_t bar; (bar = record.find(L'|', start)) != std::wstring::npos; start = bar + 1)
        fields.push_back(record.substr(start, bar - start));
    fields.push_back(record.substr(start));
    return fields;
}

// Runs the probe with this program as its parent and returns what it printed.
std::wstring RunProbe(const std::wstring& channel, DWORD* exitCode)
{
    std::wstring probe = ThisProgramPath();
    probe = probe.substr(0, probe.find_last_of(L'\\') + 1) + L"app_probe.exe";
    const ChildRun run = RunCapturingOutput(probe, L"\"" + probe + L"\" origin \"" + channel + L"\"");
    if (!run.started) return L"<probe not started>";
    *exitCode = run.exitCode;
    const std::string& output = run.output;
    std::wstring wide(output.size(), L'\0');
    wide.resize(size_t(MultiByteToWideChar(CP_UTF8, 0, output.data(), int(output.size()), &wide[0], int(wide.size()))));
    return wide;
}

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

struct DevicePathCase {
    const wchar_t* devicePath;
    const wchar_t* drivePath;
};

TEST(LaunchOrigin, DevicePathsBecomeDrivePaths)
{
    std::vector<std::pair<std::wstring, std::wstring>> drives = {
        {L"C:", L"\\Device\\HarddiskVolume1"},
        {L"D:", L"\\Device\\HarddiskVolume1"},  // a later letter for the same device never wins
        {L"E:", L"\\Device\\CdRom0"},
        {L"F:", L"\\Device\\HarddiskVolume10"},
    };
    const DevicePathCase cases[] = {
        {L"\\device\\harddiskvolume1\\Windows\\explorer.exe", L"C:\\Windows\\explorer.exe"},
        {L"\\Device\\CdRom0\\setup.exe", L"E:\\setup.exe"},
        // Volume 1 is no prefix of volume 10: only whole components match.
        {L"\\Device\\HarddiskVolume10\\x.exe", L"F:\\x.exe"},
        {L"\\Device\\HarddiskVolume1", L"C:"},
        {L"\\Device\\HarddiskVolume11\\x.exe", L"\\Device\\HarddiskVolume11\\x.exe"},
        {L"\\Device\\CdRom01\\x.exe", L"\\Device\\CdRom01\\x.exe"},
        {L"\\Device\\Mup\\server\\a.exe", L"\\Device\\Mup\\server\\a.exe"},
        {L"", L""},
    };
    for (const DevicePathCase& c : cases) {
        std::wstring got = DevicePathToDrivePath(c.devicePath, drives);
        EXPECT_EQ(c.drivePath, got) << std::string(got.begin(), got.end());
    }
}

TEST(LaunchOrigin, AChildNamesThisProgramAsItsOrigin)
{
    DWORD exitCode = 1;
    std::wstring record = RunProbe(L"probe-channel", &exitCode);
    std::string shown(record.begin(), record.end());
    ASSERT_EQ(0u, exitCode) << shown;
    std::vector<std::wstring> fields = Fields(record);
    // channel | parent image | description | file version | product | product version | copyright | size | MD5
    ASSERT_EQ(9u, fields.size()) << shown;
    EXPECT_EQ(L"probe-channel", fields[0]);
    EXPECT_EQ(0, _wcsicmp(L"app_unit_tests.exe", fields[1].c_str())) << shown;
    // Size and digest are read from the parent's file, so its device path was
    // turned into a drive path that opens.
    std::wstring own = ThisProgramPath();
    std::string digest = CMD5Checksum::HexOfFile(own);
    ASSERT_FALSE(digest.empty());
    EXPECT_EQ(std::wstring(digest.begin(), digest.end()), fields[8]) << shown;
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    ASSERT_TRUE(GetFileAttributesExW(own.c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(FormatSizeField((long long)data.nFileSizeHigh << 32 | data.nFileSizeLow), fields[7]) << shown;
}

}  // namespace
