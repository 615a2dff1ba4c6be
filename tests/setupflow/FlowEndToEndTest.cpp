// The download control with the real engine against the download test server,
// starting the real DemoInstaller, seen through a window that records every
// message it receives. The server serves the folder named by
// MINISETUP_FLOW_ROOT (a Unix path) at /files/; its address comes in
// MINISETUP_DOWNLOAD_SERVER. Without a server the tests fail.
#include <gtest/gtest.h>

#include <cstdlib>

#include "MessageRecorder.h"
#include "SetupFlowSupport.h"
#include "base/AppSettings.h"
#include "setup/DownloadControl.h"
#include "setup/InstallHwndBlock.h"
#include "setup/SetupRequest.h"
#include "setup/WindowContract.h"

namespace {

std::string EnvText(const char* name)
{
    const char* value = getenv(name);
    return value ? value : "";
}

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::wstring ServedFolder()
{
    std::string root = EnvText("MINISETUP_FLOW_ROOT");
    for (char& c : root)
        if (c == '/') c = '\\';
    return Wide("Z:" + root + "\\");
}

struct FlowCase {
    const char* what;
    bool garbageManifest;
    bool wrongListMd5;
    bool wrongPackageMd5;
    LPARAM expected;
};

class FlowEndToEndTest : public ::testing::TestWithParam<FlowCase> {
protected:
    void SetUp() override
    {
        server = EnvText("MINISETUP_DOWNLOAD_SERVER");
        ASSERT_FALSE(server.empty()) << "this test needs the download test server";
        ASSERT_FALSE(EnvText("MINISETUP_FLOW_ROOT").empty()) << "this test needs the served folder";
        served = ServedFolder();
        CreateDirectoryW(served.c_str(), nullptr);
        installer = ReadFileBytes(BesideThisTest(L"DemoInstaller.exe"));
        ASSERT_FALSE(installer.empty()) << "DemoInstaller.exe is built next to this test";
    }

    std::wstring Url(const std::string& name) { return Wide("http://" + server + "/files/" + name); }

    std::string server;
    std::wstring served;
    std::string installer;
    CScratchFolder work{L"flow_e2e"};
};

TEST_P(FlowEndToEndTest, MessagesFollowTheOutcome)
{
    const FlowCase& c = GetParam();
    const std::string tag = std::to_string(GetCurrentProcessId()) + "_" + std::to_string(GetTickCount());
    const std::string packageName = "pkg_" + tag + ".exe";
    const std::string manifestName = "manifest_" + tag + ".xml";
    ASSERT_TRUE(WriteBytes(served + Wide(packageName), installer));

    ManifestFields fields;
    fields.version = "3.7.0.1";
    fields.size = std::to_string(installer.size());
    fields.md5 = c.wrongPackageMd5 ? "0123456789abcdef0123456789abcdef" : Md5Hex(installer);
    fields.url = "http://" + server + "/files/" + packageName;
    fields.wrongListMd5 = c.wrongListMd5;
    std::string manifest = c.garbageManifest ? "<update_info md5='1'><item " : MakeManifest(fields);
    ASSERT_TRUE(WriteBytes(served + Wide(manifestName), manifest));

    AppSettings& settings = GetAppSettings();
    settings.versionInfoUrl = Url(manifestName);
    settings.passThroughArgs = L"\"/demo-fast\" ";
    settings.exitCode = 2;

    CMessageRecorder window;
    CInstallHwndBlock block;
    ASSERT_TRUE(block.Create(window.Handle()));
    {
        CDownloadControl control;
        control.SetClientInfo(L"web|gl|official|direct", L"4.0.0.1");
        control.SetWorkFolder(work.Path());
        ASSERT_TRUE(control.BeginDownloads(window.Handle(), 0x0409, work.Path() + L"Brisko"));
        ASSERT_TRUE(window.PumpUntil(ChainEnded, 180000)) << c.what << ": the chain did not end";
        window.PumpFor(200);
        EXPECT_EQ(c.expected, window.FirstLParam(kMsgDownloadOver)) << c.what;
        EXPECT_EQ(1, window.Count(kMsgDownloadOver)) << c.what;
        if (c.expected == kResultPackageReady) {
            EXPECT_EQ(work.Path() + L"Brisko\\3.7.0.0", control.PackageInstallFolder());
        }
    }

    if (c.expected != kResultPackageReady) {
        EXPECT_EQ(0, window.Count(kMsgInstallerStarting)) << c.what;
        EXPECT_EQ(0, window.Count(WM_COPYDATA)) << c.what;
        EXPECT_EQ(2, settings.exitCode) << c.what;
        if (c.wrongPackageMd5) {
            EXPECT_FALSE(FileExists(work.Path() + L"BriskoSetup.exe")) << "a rejected package is deleted";
        }
        if (c.garbageManifest || c.wrongListMd5) {
            EXPECT_EQ(0, window.Count(kMsgDownloadStarted)) << c.what;
        }
        return;
    }
    // The whole conversation of a good run, in order.
    EXPECT_EQ(1, window.Count(kMsgDownloadStarted));
    EXPECT_GE(window.Count(kMsgDownloadProgress), 1);
    EXPECT_EQ(1, window.Count(kMsgInstallerStarting));
    EXPECT_GE(window.Count(kMsgInstallProgress), 1) << "the installer reports its progress";
    ASSERT_EQ(1, window.Count(WM_COPYDATA));
    EXPECT_EQ(1, window.Count(kMsgInstallerEnded));
    std::vector<UINT> order;
    for (UINT m : window.Sequence())
        if (m != kMsgDownloadProgress && m != kMsgInstallProgress) order.push_back(m);
    EXPECT_EQ(std::vector<UINT>({kMsgDownloadStarted, kMsgDownloadOver, kMsgInstallerStarting, UINT(WM_COPYDATA),
                                 kMsgInstallerEnded}),
              order);
    for (const auto& m : window.Messages()) {
        if (m.message == WM_COPYDATA) {
            EXPECT_EQ(1, m.lParam) << "a well-formed 2,068-byte block";
            EXPECT_EQ(L"0", m.resultCode);
        }
        if (m.message == kMsgInstallProgress) {
            EXPECT_LE(m.wParam, WPARAM(100));
        }
    }
    EXPECT_EQ(0, settings.exitCode) << "the installer's exit code";
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, FlowEndToEndTest,
    ::testing::Values(FlowCase{"success", false, false, false, kResultPackageReady},
                      FlowCase{"unreadable manifest", true, false, false, kResultManifestUnreadable},
                      FlowCase{"manifest digest", false, true, false, kResultManifestCorrupt},
                      FlowCase{"package digest", false, false, true, kResultPackageRejected}),
    [](const ::testing::TestParamInfo<FlowCase>& info) { return "case" + std::to_string(info.index); });

}  // namespace
