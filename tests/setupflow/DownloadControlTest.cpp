// The download control against a fake engine and a recording installer runner:
// result codes, messages, engine settings, the version subfolder, retries,
// refused starts, callbacks out of order or after the window is gone.
#include <gtest/gtest.h>

#include <memory>

#include "FakeEngine.h"
#include "MessageRecorder.h"
#include "SetupFlowSupport.h"
#include "base/AppSettings.h"
#include "setup/DownloadControl.h"
#include "setup/InstallerLaunch.h"
#include "setup/SetupRequest.h"
#include "setup/WindowContract.h"

namespace {

constexpr wchar_t kHardwareId[] = L"0123456789abcdef0123456789abcdef";
constexpr wchar_t kInstallFolder[] = L"C:\\Program Files\\Nuvex Security\\Brisko";
constexpr WORD kLangId = 0x0409;
const std::string kPackageBytes = "MZ pretend installer bytes, long enough to be a file";

class DownloadControlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        AppSettings& settings = GetAppSettings();
        settings.versionInfoUrl = L"http://127.0.0.1:9/newver.xml";
        settings.passThroughArgs.clear();
        settings.exitCode = 2;
        manifest.md5 = Md5Hex(kPackageBytes);
        factory.scripts[kXMLCookie].progressSteps = 0;
    }

    // Builds the control (after the scripts are set) and runs one chain.
    void Run(const std::wstring& installFolder = kInstallFolder, DWORD timeout = 20000)
    {
        if (factory.scripts[kXMLCookie].content.empty()) factory.scripts[kXMLCookie].content = MakeManifest(manifest);
        if (factory.scripts[kInstallPackageCookie].content.empty())
            factory.scripts[kInstallPackageCookie].content = kPackageBytes;
        if (!control) MakeControl();
        window.Clear();  // each chain is judged by its own messages
        ASSERT_TRUE(control->BeginDownloads(window.Handle(), kLangId, installFolder));
        ASSERT_TRUE(window.PumpUntil(ChainEnded, timeout)) << "the chain did not end";
        window.PumpFor(100);
    }

    void MakeControl(const std::wstring& ownImage = std::wstring())
    {
        DownloadControlSeams seams;
        seams.engines = &factory;
        seams.runner = &runner;
        seams.subfolder = &subfolder;
        seams.hardwareId = kHardwareId;
        seams.ownImagePath = ownImage;
        control = std::make_unique<CDownloadControl>(seams);
        control->SetClientInfo(L"web|gl|official|direct", L"1.0.0.7");
        control->SetWorkFolder(work.Path());
    }

    // Destroys the control so that every engine has handed in its record.
    std::vector<FakeDownloadRecord> Finish()
    {
        control.reset();
        return factory.Records();
    }

    static const FakeDownloadRecord* RecordOf(const std::vector<FakeDownloadRecord>& records, int cookie)
    {
        for (const auto& r : records)
            if (r.cookie == cookie) return &r;
        return nullptr;
    }

    CScratchFolder work{L"setupflow"};
    CFakeEngineFactory factory;
    CRecordingRunner runner;
    CVersionSubfolder subfolder;
    CMessageRecorder window;
    ManifestFields manifest;
    std::unique_ptr<CDownloadControl> control;
};

TEST_F(DownloadControlTest, SuccessfulChainPostsEachStepAndStartsTheInstaller)
{
    factory.scripts[kInstallPackageCookie].averageSpeed = 5 * 1024 * 1024 + 1000;
    runner.exitCode = 42;
    Run();

    EXPECT_EQ(std::vector<UINT>({kMsgDownloadStarted, kMsgDownloadProgress, kMsgDownloadOver, kMsgInstallerStarting,
                                 kMsgInstallerEnded}),
              window.Sequence());
    EXPECT_EQ(1, window.Count(kMsgDownloadStarted));
    EXPECT_EQ(3, window.Count(kMsgDownloadProgress));
    for (const auto& m : window.Messages()) {
        if (m.message == kMsgDownloadProgress) {
            EXPECT_GE(m.lParam, 0);
            EXPECT_LE(m.lParam, 10000);
        }
        if (m.message == kMsgDownloadOver) {
            EXPECT_EQ(kResultPackageReady, m.lParam);
            EXPECT_EQ(WPARAM(5120), m.wParam);  // KiB/s
        }
    }

    ASSERT_EQ(1u, runner.calls.size());
    const std::wstring packagePath = work.Path() + L"BriskoSetup.exe";
    EXPECT_EQ(packagePath, runner.calls[0].path);
    EXPECT_EQ(L"/S /POLICY /SetUpdateFileMapping=MiniInstallHwnd /LANG=1033 /bHelpUs=0 "
              L"/D=C:\\Program Files\\Nuvex Security\\Brisko\\3.6.9.9",
              runner.calls[0].parameters);
    EXPECT_EQ(L"", runner.calls[0].verb) << "require_admin \"no\" asks for no elevation";
    EXPECT_EQ(kPackageBytes, runner.contentSeen);
    EXPECT_FALSE(runner.couldReplace) << "the checked package must stay closed to writers until it is started";
    EXPECT_EQ(42, GetAppSettings().exitCode);
    EXPECT_EQ(42u, control->InstallerExitCode());
    EXPECT_EQ(L"MiniSetup", factory.initProduct);

    auto records = Finish();
    const FakeDownloadRecord* xml = RecordOf(records, kXMLCookie);
    const FakeDownloadRecord* package = RecordOf(records, kInstallPackageCookie);
    ASSERT_TRUE(xml && package);
    EXPECT_EQ(L"http://127.0.0.1:9/newver.xml", xml->url);
    EXPECT_EQ(work.Path() + L"config.xml", xml->path);
    EXPECT_EQ(40, xml->maxRetry);
    EXPECT_EQ(1, xml->channels);
    EXPECT_EQ(0, xml->reuse);
    EXPECT_EQ(0u, xml->suffix.find(L"?userid=%7B0123456789abcdef0123456789abcdef%7D&rand=")) << xml->suffix;
    EXPECT_EQ(L"?userid=%7B0123456789abcdef0123456789abcdef%7D&rand=", xml->suffix.substr(0, 52));
    EXPECT_EQ(60u, xml->suffix.size()) << "eight characters of rand";
    EXPECT_NE(std::wstring::npos, xml->headerJson.find(L"\"Pragma: no-cache\""));

    EXPECT_EQ(L"http://127.0.0.1:9/pkg/BriskoSetup.exe", package->url);
    EXPECT_EQ(packagePath, package->path);
    EXPECT_EQ(xml->suffix, package->suffix) << "one query for both downloads";
    EXPECT_EQ(xml->headerJson, package->headerJson);
    EXPECT_EQ(40, package->maxRetry);
    EXPECT_EQ(3, package->channels) << "the manifest's thread count";
    EXPECT_EQ(1048576, package->blockSize);
    EXPECT_EQ(1, package->reuse);
    EXPECT_FALSE(package->deleted);
    EXPECT_EQ(0, factory.Live());
}

struct ManifestFailureCase {
    const char* what;
    int engineResult;
    bool refuse;
    bool noEngine;
    const char* content;  // null: a good manifest (changed by `edit`)
    void (*edit)(ManifestFields&);
    LPARAM expected;
};

void WrongListMd5(ManifestFields& f) { f.wrongListMd5 = true; }
void NameWithFolder(ManifestFields& f) { f.name = "..\\..\\Windows\\evil"; }
void DeviceName(ManifestFields& f) { f.name = "CON"; }
void FileAddress(ManifestFields& f) { f.url = "file:///C:/Windows/notepad.exe"; }

class ManifestFailureTest : public DownloadControlTest, public ::testing::WithParamInterface<ManifestFailureCase> {};

TEST_P(ManifestFailureTest, EndsTheChainWithOneCodeAndNoPackage)
{
    const ManifestFailureCase& c = GetParam();
    FakeDownloadScript& xml = factory.scripts[kXMLCookie];
    xml.result = c.engineResult;
    xml.refuse = c.refuse;
    factory.createFails = c.noEngine;
    if (c.content) xml.content = c.content;
    if (c.edit) c.edit(manifest);
    Run();

    ASSERT_EQ(1, window.Count(kMsgDownloadOver)) << c.what;
    EXPECT_EQ(c.expected, window.FirstLParam(kMsgDownloadOver)) << c.what;
    for (const auto& m : window.Messages()) {
        if (m.message == kMsgDownloadOver) {
            EXPECT_EQ(WPARAM(0), m.wParam) << "no speed for a manifest result";
        }
    }
    EXPECT_EQ(0, window.Count(kMsgDownloadStarted));
    EXPECT_EQ(0, window.Count(kMsgDownloadProgress));
    EXPECT_TRUE(runner.calls.empty());
    EXPECT_EQ(2, GetAppSettings().exitCode);
    auto records = Finish();
    EXPECT_EQ(nullptr, RecordOf(records, kInstallPackageCookie)) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ManifestFailureTest,
    ::testing::Values(
        ManifestFailureCase{"no network", gnet::kDownRetNoNetwork, false, false, nullptr, nullptr, kResultNoNetwork},
        ManifestFailureCase{"retries exceeded", gnet::kDownRetRetryExceeded, false, false, nullptr, nullptr,
                            kResultDownloadFailed},
        ManifestFailureCase{"refused download", gnet::kDownRetSuccess, true, false, nullptr, nullptr,
                            kResultDownloadFailed},
        ManifestFailureCase{"no engine", gnet::kDownRetSuccess, false, true, nullptr, nullptr, kResultDownloadFailed},
        ManifestFailureCase{"not XML", gnet::kDownRetSuccess, false, false, "<update_info <<", nullptr,
                            kResultManifestUnreadable},
        ManifestFailureCase{"no update_info", 30001, false, false, "<other md5=\"x\"><item name=\"a\"/></other>",
                            nullptr, kResultManifestUnreadable},
        ManifestFailureCase{"wrong digest", gnet::kDownRetSuccess, false, false, nullptr, WrongListMd5,
                            kResultManifestCorrupt},
        ManifestFailureCase{"name with folders", gnet::kDownRetSuccess, false, false, nullptr, NameWithFolder,
                            kResultManifestUnreadable},
        ManifestFailureCase{"device name", gnet::kDownRetSuccess, false, false, nullptr, DeviceName,
                            kResultManifestUnreadable},
        ManifestFailureCase{"not an http address", gnet::kDownRetSuccess, false, false, nullptr, FileAddress,
                            kResultManifestUnreadable}),
    [](const ::testing::TestParamInfo<ManifestFailureCase>& info) { return "case" + std::to_string(info.index); });

struct PackageCase {
    const char* what;
    int engineResult;
    bool refuse;
    bool wrongContent;
    LPARAM expected;
    bool launched;
    bool deleted;
};

class PackageOutcomeTest : public DownloadControlTest, public ::testing::WithParamInterface<PackageCase> {};

TEST_P(PackageOutcomeTest, CodeLaunchAndFileFollowTheResult)
{
    const PackageCase& c = GetParam();
    FakeDownloadScript& package = factory.scripts[kInstallPackageCookie];
    package.result = c.engineResult;
    package.refuse = c.refuse;
    if (c.wrongContent) package.content = "a different file that an attacker put there";
    Run();

    ASSERT_EQ(1, window.Count(kMsgDownloadOver)) << c.what;
    EXPECT_EQ(c.expected, window.FirstLParam(kMsgDownloadOver)) << c.what;
    EXPECT_EQ(c.launched ? 1u : 0u, runner.calls.size()) << c.what;
    EXPECT_EQ(c.launched ? 1 : 0, window.Count(kMsgInstallerStarting)) << c.what;
    EXPECT_EQ(c.launched ? 1 : 0, window.Count(kMsgInstallerEnded)) << c.what;
    EXPECT_EQ(c.launched ? 0 : 2, GetAppSettings().exitCode) << c.what;
    auto records = Finish();
    const FakeDownloadRecord* record = RecordOf(records, kInstallPackageCookie);
    ASSERT_TRUE(record) << c.what;
    EXPECT_EQ(c.deleted, record->deleted) << c.what;
    if (c.deleted) {
        EXPECT_FALSE(FileExists(work.Path() + L"BriskoSetup.exe")) << c.what;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, PackageOutcomeTest,
    ::testing::Values(PackageCase{"digest matches", gnet::kDownRetSuccess, false, false, kResultPackageReady, true, false},
                      PackageCase{"30001 counts as success", 30001, false, false, kResultPackageReady, true, false},
                      PackageCase{"digest differs, no signature", gnet::kDownRetSuccess, false, true,
                                  kResultPackageRejected, false, true},
                      PackageCase{"no network", gnet::kDownRetNoNetwork, false, false, kResultNoNetwork, false, false},
                      PackageCase{"write failure", gnet::kDownRetWriteFail, false, false, kResultDownloadFailed, false,
                                  false},
                      PackageCase{"refused download", gnet::kDownRetSuccess, true, false, kResultDownloadFailed, false,
                                  false}),
    [](const ::testing::TestParamInfo<PackageCase>& info) { return "case" + std::to_string(info.index); });

TEST_F(DownloadControlTest, UpperCaseManifestDigestMatches)
{
    for (char& c : manifest.md5) c = char(toupper(c));
    Run();
    EXPECT_EQ(kResultPackageReady, window.FirstLParam(kMsgDownloadOver));
}

TEST_F(DownloadControlTest, RetryAfterPackageFailureKeepsOneVersionSubfolder)
{
    manifest.version = "3.7.0.1";
    factory.scripts[kInstallPackageCookie].result = gnet::kDownRetRetryExceeded;
    Run();
    ASSERT_EQ(kResultDownloadFailed, window.FirstLParam(kMsgDownloadOver));

    // The window retries with its own folder; a second manifest names another version.
    factory.scripts[kInstallPackageCookie].result = gnet::kDownRetSuccess;
    manifest.version = "10.2.3.4";
    factory.scripts[kXMLCookie].content = MakeManifest(manifest);
    Run();
    ASSERT_EQ(1u, runner.calls.size());
    const std::wstring& parameters = runner.calls[0].parameters;
    EXPECT_EQ(L"/D=C:\\Program Files\\Nuvex Security\\Brisko\\3.7.0.0",
              parameters.substr(parameters.rfind(L"/D=")));
}

TEST_F(DownloadControlTest, VersionThatIsNotFourNumbersGivesNoSubfolder)
{
    manifest.version = "3.6.beta";
    Run();
    ASSERT_EQ(1u, runner.calls.size());
    const std::wstring& parameters = runner.calls[0].parameters;
    EXPECT_EQ(L"/D=C:\\Program Files\\Nuvex Security\\Brisko", parameters.substr(parameters.rfind(L"/D=")));
}

TEST_F(DownloadControlTest, OldManifestAndCheckCopyAreGoneBeforeTheDownload)
{
    ASSERT_TRUE(WriteBytes(work.Path() + L"config.xml", MakeManifest(manifest)));
    ASSERT_TRUE(WriteBytes(work.Path() + L"config.xml_", "stale copy"));
    factory.scripts[kXMLCookie].refuse = true;
    Run();
    EXPECT_FALSE(FileExists(work.Path() + L"config.xml"));
    EXPECT_FALSE(FileExists(work.Path() + L"config.xml_"));
}

TEST_F(DownloadControlTest, SecondStartWhileTheWorkerRunsIsRefused)
{
    HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    factory.gateBeforeCreate = gate;
    factory.createEntered = entered;
    factory.scripts[kXMLCookie].content = MakeManifest(manifest);
    factory.scripts[kInstallPackageCookie].content = kPackageBytes;
    MakeControl();
    ASSERT_TRUE(control->BeginDownloads(window.Handle(), kLangId, kInstallFolder));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(entered, 10000));
    EXPECT_TRUE(control->WorkerRunning());
    EXPECT_FALSE(control->BeginDownloads(window.Handle(), kLangId, L"D:\\elsewhere"));
    SetEvent(gate);
    ASSERT_TRUE(window.PumpUntil(ChainEnded, 20000));
    window.PumpFor(100);

    ASSERT_EQ(1u, runner.calls.size());
    EXPECT_NE(std::wstring::npos, runner.calls[0].parameters.find(L"/D=C:\\Program Files\\")) << "first start's folder";
    EXPECT_EQ(1, window.Count(kMsgDownloadOver));
    Finish();
    EXPECT_EQ(2, factory.Created()) << "one manifest and one package engine";
    CloseHandle(gate);
    CloseHandle(entered);
}

TEST_F(DownloadControlTest, PackageEndAfterTheWindowIsGoneDoesNothingMore)
{
    HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    factory.scripts[kInstallPackageCookie].gateBeforeOver = gate;
    factory.scripts[kXMLCookie].content = MakeManifest(manifest);
    factory.scripts[kInstallPackageCookie].content = kPackageBytes;
    MakeControl();
    ASSERT_TRUE(control->BeginDownloads(window.Handle(), kLangId, kInstallFolder));
    ASSERT_TRUE(window.PumpUntil([](const std::vector<RecordedMessage>& m) { return !m.empty(); }, 20000));
    window.Destroy();
    SetEvent(gate);
    Finish();  // joins the engine that delivered the end
    EXPECT_TRUE(runner.calls.empty());
    EXPECT_EQ(2, GetAppSettings().exitCode);
    for (const auto& m : window.Messages()) EXPECT_NE(kMsgDownloadOver, m.message);
    CloseHandle(gate);
}

TEST_F(DownloadControlTest, CallbacksOutOfOrderEndTheChainOnce)
{
    FakeDownloadScript& package = factory.scripts[kInstallPackageCookie];
    package.overBeforeStart = true;  // end first, then start, progress and an unknown cookie
    FakeDownloadScript& xml = factory.scripts[kXMLCookie];
    xml.startFirst = false;
    xml.progressSteps = 4;  // progress of the manifest posts nothing
    Run();
    window.PumpFor(300);
    EXPECT_EQ(1, window.Count(kMsgDownloadOver));
    EXPECT_EQ(kResultPackageReady, window.FirstLParam(kMsgDownloadOver));
    EXPECT_EQ(1u, runner.calls.size());
    EXPECT_LE(window.Count(kMsgDownloadProgress), 1);
}

TEST_F(DownloadControlTest, RepeatedEndsAreHandledOnce)
{
    factory.scripts[kXMLCookie].overTwice = true;
    factory.scripts[kInstallPackageCookie].overTwice = true;
    Run();
    window.PumpFor(300);
    EXPECT_EQ(1, window.Count(kMsgDownloadOver));
    EXPECT_EQ(1u, runner.calls.size());
    Finish();
    EXPECT_EQ(2, factory.Created()) << "one package download, not two";
}

TEST_F(DownloadControlTest, FailedStartKeepsTheExitCodeAndStillEnds)
{
    runner.starts = false;
    Run();
    EXPECT_EQ(1u, runner.calls.size());
    EXPECT_EQ(1, window.Count(kMsgInstallerEnded));
    EXPECT_EQ(2, GetAppSettings().exitCode) << "a cancelled or failed start never reads as success";
}

TEST_F(DownloadControlTest, CommandLineTooLongIsNotStarted)
{
    std::wstring folder = L"C:\\";
    while (folder.size() < 500) folder += L"very long folder name\\";
    Run(folder);
    EXPECT_TRUE(runner.calls.empty());
    EXPECT_EQ(1, window.Count(kMsgInstallerStarting));
    EXPECT_EQ(1, window.Count(kMsgInstallerEnded));
    EXPECT_EQ(2, GetAppSettings().exitCode);
}

TEST_F(DownloadControlTest, RequireAdminInCapitalsAsksForElevation)
{
    manifest.requireAdmin = "YES";
    GetAppSettings().passThroughArgs = L"\"/extra one\" /POP ";
    control.reset();
    Run();
    ASSERT_EQ(1u, runner.calls.size());
    EXPECT_EQ(IsVistaOrLater() ? L"runas" : L"", runner.calls[0].verb);
    EXPECT_NE(std::wstring::npos, runner.calls[0].parameters.find(L"/bHelpUs=0 \"/extra one\" /POP /D="));
}

TEST_F(DownloadControlTest, HelpUsIsPassedOn)
{
    MakeControl();
    control->SetHelpUs(1);
    Run();
    ASSERT_EQ(1u, runner.calls.size());
    EXPECT_NE(std::wstring::npos, runner.calls[0].parameters.find(L" /bHelpUs=1 "));
}

}  // namespace
