// A silent run of the setup window: it starts the chain at creation, retries a
// failed download until it succeeds and closes once the installer has ended,
// leaving the installer's exit code as the program's.
#include <gtest/gtest.h>

#include "FakeEngine.h"
#include "SetupFlowSupport.h"
#include "base/AppSettings.h"
#include "setup/DownloadControl.h"
#include "setup/SetupRequest.h"
#include "ui/setup/MainFrame.h"

namespace {

class SilentWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        installer = ReadFileBytes(BesideThisTest(L"DemoInstaller.exe"));
        ASSERT_FALSE(installer.empty()) << "DemoInstaller.exe is built next to this test";
        ManifestFields fields;
        fields.md5 = Md5Hex(installer);
        factory.scripts[kXMLCookie].content = MakeManifest(fields);
        factory.scripts[kXMLCookie].progressSteps = 0;
        factory.scripts[kInstallPackageCookie].content = installer;
        AppSettings& settings = GetAppSettings();
        settings.exitCode = 2;
        settings.versionInfoUrl = L"http://127.0.0.1:9/newver.xml";
        settings.passThroughArgs = L"\"/demo-fast\" ";
    }
    void TearDown() override
    {
        GetAppSettings().passThroughArgs.clear();
        GetAppSettings().exitCode = 2;
    }

    // Runs the window's message loop until it is destroyed, or until `stop`
    // holds (then the window is closed).
    void RunWindow(CMainFrame& frame, bool (*stop)(CFakeEngineFactory&) = nullptr)
    {
        frame.silent = true;
        frame.traySuppressed = true;
        RECT rect = {0, 0, CW_USEDEFAULT, CW_USEDEFAULT};
        HWND window = frame.Create(nullptr, rect, WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0);
        ASSERT_TRUE(window);
        const DWORD start = GetTickCount();
        bool closing = false;
        MSG msg;
        for (;;) {
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_QUIT) return;
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            if (!closing && ((stop && stop(factory)) || GetTickCount() - start > 120000)) {
                closing = true;
                PostMessageW(window, WM_CLOSE, 0, 0);
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
    }

    DownloadControlSeams Seams()
    {
        DownloadControlSeams seams;
        seams.engines = &factory;
        seams.subfolder = &subfolder;
        seams.hardwareId = L"0123456789abcdef0123456789abcdef";
        return seams;
    }

    std::string installer;
    CFakeEngineFactory factory;
    CVersionSubfolder subfolder;
};

TEST_F(SilentWindowTest, InstallsAndClosesWithTheInstallersExitCode)
{
    {
        CMainFrame frame(Seams());
        RunWindow(frame);
        EXPECT_EQ(1, frame.StartCount());
        EXPECT_TRUE(frame.InstallSucceeded());
    }
    EXPECT_EQ(0, GetAppSettings().exitCode);
    EXPECT_EQ(2, factory.Created());
}

TEST_F(SilentWindowTest, FailedDownloadIsRetriedUntilClosed)
{
    factory.scripts[kXMLCookie].refuse = true;
    {
        CMainFrame frame(Seams());
        RunWindow(frame, [](CFakeEngineFactory& f) { return f.Created() >= 3; });
        EXPECT_GE(frame.StartCount(), 3) << "two retries after the first failure";
        EXPECT_FALSE(frame.InstallSucceeded());
    }
    EXPECT_EQ(2, GetAppSettings().exitCode);
}

TEST_F(SilentWindowTest, InstallerFailureEndsTheRunWithItsCode)
{
    GetAppSettings().passThroughArgs = L"\"/demo-fast\" \"/demo-fail\" ";
    {
        CMainFrame frame(Seams());
        RunWindow(frame);
        EXPECT_FALSE(frame.InstallSucceeded());
    }
    EXPECT_EQ(1603, GetAppSettings().exitCode);
}

}  // namespace
