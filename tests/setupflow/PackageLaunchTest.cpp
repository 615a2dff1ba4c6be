// Package digest, signature test, elevation choice and the built-in package.
#include <gtest/gtest.h>

#include "FakeEngine.h"
#include "MessageRecorder.h"
#include "SetupFlowSupport.h"
#include "base/AppSettings.h"
#include "setup/BuiltInPackage.h"
#include "setup/DownloadControl.h"
#include "setup/EmbeddedPackage.h"
#include "setup/InstallHwndBlock.h"
#include "base/TextConvert.h"
#include "setup/InstallerLaunch.h"
#include "setup/PackageCheck.h"
#include "setup/SetupRequest.h"

namespace {

struct DigestCase {
    const char* what;
    bool exists;
    const char* content;
    const char* expected;  // null: the content's own digest in upper case
    bool matches;
};

class DigestTest : public ::testing::TestWithParam<DigestCase> {};

TEST_P(DigestTest, OnlyAReadableFileWithThatDigestMatches)
{
    const DigestCase& c = GetParam();
    CScratchFolder folder(L"digest");
    std::wstring path = folder.Path() + L"package.exe";
    if (c.exists) {
        ASSERT_TRUE(WriteBytes(path, c.content));
    }
    std::string expected = c.expected ? c.expected : Md5Hex(c.content);
    if (!c.expected) {
        for (char& ch : expected) ch = char(toupper(ch));
    }
    CPackageFile file;
    EXPECT_EQ(c.exists, file.Open(path)) << c.what;
    EXPECT_EQ(c.matches, file.MatchesDigest(expected)) << c.what;
    if (!c.exists) {
        EXPECT_EQ(std::string(kUnreadableDigest), PackageDigestHex(path)) << c.what;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, DigestTest,
    ::testing::Values(DigestCase{"same digest, other case", true, "installer bytes", nullptr, true},
                      DigestCase{"empty file", true, "", "d41d8cd98f00b204e9800998ecf8427e", true},
                      DigestCase{"other digest", true, "installer bytes", "d41d8cd98f00b204e9800998ecf8427e", false},
                      DigestCase{"missing file against zeros", false, "", "00000000000000000000000000000000", false},
                      DigestCase{"missing file against empty", false, "", "", false}),
    [](const ::testing::TestParamInfo<DigestCase>& info) { return "case" + std::to_string(info.index); });

TEST(PackageFileTest, HeldPackageCannotBeReplacedOrDeleted)
{
    CScratchFolder folder(L"held");
    std::wstring path = folder.Path() + L"package.exe";
    ASSERT_TRUE(WriteBytes(path, "installer"));
    CPackageFile file;
    ASSERT_TRUE(file.Open(path));
    EXPECT_FALSE(WriteBytes(path, "replaced"));
    EXPECT_FALSE(DeleteFileW(path.c_str()));
    EXPECT_EQ("installer", ReadFileBytes(path)) << "readers are still welcome";
    file.Close();
    EXPECT_TRUE(DeleteFileW(path.c_str()));
}

TEST(SignatureTest, UnsignedAndMissingFilesAreNotTrusted)
{
    CScratchFolder folder(L"signature");
    std::wstring plain = folder.Path() + L"plain.exe";
    ASSERT_TRUE(WriteBytes(plain, "not a program at all"));
    EXPECT_FALSE(HasValidSignature(plain));
    EXPECT_FALSE(HasValidSignature(folder.Path() + L"missing.exe"));
    // This test program itself is a real, unsigned PE file.
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_FALSE(HasValidSignature(self));
}

struct ElevationCase {
    const wchar_t* request;
    bool vista;
    bool expected;
};

class ElevationTest : public ::testing::TestWithParam<ElevationCase> {};

TEST_P(ElevationTest, OnlyYesOnVistaOrLater)
{
    EXPECT_EQ(GetParam().expected, WantsElevation(GetParam().request, GetParam().vista)) << GetParam().request;
}

INSTANTIATE_TEST_SUITE_P(Table, ElevationTest,
                         ::testing::Values(ElevationCase{L"yes", true, true}, ElevationCase{L"YES", true, true},
                                           ElevationCase{L"Yes", true, true}, ElevationCase{L"yes", false, false},
                                           ElevationCase{L"no", true, false}, ElevationCase{L"", true, false},
                                           ElevationCase{L"yes ", true, false}, ElevationCase{L"1", true, false}));

DWORD WINAPI StoreExitCodeThread(void*)
{
    StoreProgramExitCode(1603);
    return 0;
}

TEST(ExitCodeTest, StoredFromAnyThread)
{
    GetAppSettings().exitCode = 2;
    HANDLE thread = CreateThread(nullptr, 0, &StoreExitCodeThread, nullptr, 0, nullptr);
    ASSERT_TRUE(thread);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_EQ(1603, GetAppSettings().exitCode);
    GetAppSettings().exitCode = 2;
}

class BuiltInPackageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        carrier = BesideThisTest(L"setupflow_carrier.exe");
        payload = ReadFileBytes(BesideThisTest(L"setupflow_payload.bin"));
        ASSERT_FALSE(payload.empty()) << "the build puts the payload next to this test";
        ASSERT_TRUE(FileExists(carrier));
        GetAppSettings().exitCode = 2;
        GetAppSettings().passThroughArgs.clear();
        GetAppSettings().versionInfoUrl = L"http://127.0.0.1:9/newver.xml";
    }

    // The section's raw data: the payload, padded with zeros to the file alignment.
    bool IsPayloadCopy(const std::string& bytes) const
    {
        if (bytes.size() < payload.size() || bytes.compare(0, payload.size(), payload) != 0) return false;
        return bytes.find_first_not_of('\0', payload.size()) == std::string::npos && bytes.size() - payload.size() < 4096;
    }

    std::unique_ptr<CDownloadControl> MakeControl(const std::wstring& image)
    {
        DownloadControlSeams seams;
        seams.engines = &factory;
        seams.runner = &runner;
        seams.subfolder = &subfolder;
        seams.hardwareId = L"0123456789abcdef0123456789abcdef";
        seams.ownImagePath = image;
        auto control = std::make_unique<CDownloadControl>(seams);
        control->SetWorkFolder(work.Path());
        return control;
    }

    std::wstring carrier;
    std::string payload;
    CScratchFolder work{L"builtin"};
    CFakeEngineFactory factory;
    CRecordingRunner runner;
    CVersionSubfolder subfolder;
    CMessageRecorder window;
};

TEST_F(BuiltInPackageTest, SectionIsWrittenOutAndStartedWithoutDownload)
{
    std::wstring extracted;
    ASSERT_TRUE(ExtractBuiltInPackage(carrier, work.Path(), &extracted));
    EXPECT_TRUE(IsPayloadCopy(ReadFileBytes(extracted)));
    EXPECT_EQ(0u, extracted.find(work.Path() + L"BRK"));
    EXPECT_EQ(L".tmp.exe", extracted.substr(extracted.size() - 8));

    runner.exitCode = 5;
    auto control = MakeControl(carrier);
    ASSERT_TRUE(control->BeginDownloads(window.Handle(), 0x0804, L"C:\\Brisko"));
    ASSERT_TRUE(window.PumpUntil(
        [](const std::vector<RecordedMessage>& m) {
            for (const auto& x : m)
                if (x.message == kMsgInstallerEnded) return true;
            return false;
        },
        20000));
    control.reset();
    ASSERT_EQ(1u, runner.calls.size());
    EXPECT_TRUE(IsPayloadCopy(runner.contentSeen));
    EXPECT_EQ(IsVistaOrLater() ? L"runas" : L"", runner.calls[0].verb) << "a built-in package asks for elevation";
    EXPECT_EQ(L"/S /POLICY /SetUpdateFileMapping=MiniInstallHwnd /LANG=2052 /bHelpUs=0 /D=C:\\Brisko",
              runner.calls[0].parameters);
    EXPECT_EQ(0, factory.Created()) << "nothing is downloaded";
    EXPECT_EQ(0, window.Count(kMsgDownloadOver));
    EXPECT_EQ(5, GetAppSettings().exitCode);
}

TEST_F(BuiltInPackageTest, TruncatedSectionFallsBackToTheDownload)
{
    std::string image = ReadFileBytes(carrier);
    ASSERT_GT(image.size(), payload.size());
    EmbeddedSection section;
    ASSERT_TRUE(FindFullSection(reinterpret_cast<const uint8_t*>(image.data()), image.size(), &section));
    // Cut the file in the middle of the section's raw data.
    std::wstring truncated = work.Path() + L"truncated.exe";
    ASSERT_TRUE(WriteBytes(truncated, image.substr(0, section.offset + section.size / 2)));
    std::wstring extracted;
    EXPECT_FALSE(ExtractBuiltInPackage(truncated, work.Path(), &extracted));

    factory.scripts[kXMLCookie].refuse = true;
    auto control = MakeControl(truncated);
    ASSERT_TRUE(control->BeginDownloads(window.Handle(), 0x0409, L"C:\\Brisko"));
    ASSERT_TRUE(window.PumpUntil(ChainEnded, 20000));
    control.reset();
    EXPECT_TRUE(runner.calls.empty());
    EXPECT_EQ(1, factory.Created()) << "the manifest download runs instead";
    EXPECT_EQ(kResultDownloadFailed, window.FirstLParam(kMsgDownloadOver));
}

TEST_F(BuiltInPackageTest, ProgramWithoutSectionDownloads)
{
    std::wstring extracted;
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_FALSE(ExtractBuiltInPackage(self, work.Path(), &extracted));
    EXPECT_TRUE(extracted.empty());
}

}  // namespace

namespace {

// The real launch: the fake engine "downloads" DemoInstaller.exe, which is then
// started with ShellExecuteExW, finds the window through the shared block,
// reports progress and its result and ends with its own exit code.
class DemoInstallerLaunchTest : public ::testing::TestWithParam<bool> {};

TEST_P(DemoInstallerLaunchTest, InstallerTalksToTheWindowAndItsExitCodeComesBack)
{
    const bool fail = GetParam();
    std::string installer = ReadFileBytes(BesideThisTest(L"DemoInstaller.exe"));
    ASSERT_FALSE(installer.empty()) << "DemoInstaller.exe is built next to this test";
    CScratchFolder work(L"demo_launch");
    const std::wstring commandLineFile = work.Path() + L"commandline.txt";
    ASSERT_TRUE(SetEnvironmentVariableW(L"MINISETUP_DEMO_COMMANDLINE_FILE", commandLineFile.c_str()));

    CFakeEngineFactory factory;
    ManifestFields fields;
    fields.md5 = Md5Hex(installer);
    fields.version = "3.6.9.9";
    factory.scripts[kXMLCookie].content = MakeManifest(fields);
    factory.scripts[kXMLCookie].progressSteps = 0;
    factory.scripts[kInstallPackageCookie].content = installer;
    CVersionSubfolder subfolder;
    AppSettings& settings = GetAppSettings();
    settings.exitCode = 2;
    settings.versionInfoUrl = L"http://127.0.0.1:9/newver.xml";
    settings.passThroughArgs = fail ? L"\"/demo-fast\" \"/demo-fail\" " : L"\"/demo-fast\" ";

    CMessageRecorder window;
    CInstallHwndBlock block;
    ASSERT_TRUE(block.Create(window.Handle()));
    {
        DownloadControlSeams seams;
        seams.engines = &factory;
        seams.subfolder = &subfolder;
        seams.hardwareId = L"0123456789abcdef0123456789abcdef";
        CDownloadControl control(seams);
        control.SetWorkFolder(work.Path());
        ASSERT_TRUE(control.BeginDownloads(window.Handle(), 0x0409, work.Path() + L"Brisko Folder"));
        ASSERT_TRUE(window.PumpUntil(ChainEnded, 60000));
        window.PumpFor(200);
    }
    SetEnvironmentVariableW(L"MINISETUP_DEMO_COMMANDLINE_FILE", nullptr);

    EXPECT_EQ(kResultPackageReady, window.FirstLParam(kMsgDownloadOver));
    EXPECT_EQ(1, window.Count(kMsgInstallerStarting));
    EXPECT_EQ(1, window.Count(kMsgInstallerEnded));
    EXPECT_GE(window.Count(kMsgInstallProgress), 1);
    ASSERT_EQ(1, window.Count(WM_COPYDATA));
    for (const auto& m : window.Messages()) {
        if (m.message == WM_COPYDATA) {
            EXPECT_EQ(1, m.lParam) << "a well-formed result block";
            EXPECT_EQ(fail ? L"1603" : L"0", m.resultCode);
        }
    }
    EXPECT_EQ(fail ? 1603 : 0, settings.exitCode);
    std::string received = ReadFileBytes(commandLineFile);
    std::string folder = WideToUtf8(work.Path()) + "Brisko Folder\\3.6.9.9";
    std::string expected = std::string("/S /POLICY /SetUpdateFileMapping=MiniInstallHwnd /LANG=1033 /bHelpUs=0 ") +
                           (fail ? "\"/demo-fast\" \"/demo-fail\" " : "\"/demo-fast\" ") + "/D=" + folder;
    EXPECT_NE(std::string::npos, received.find(expected)) << received;
    if (!fail) {
        EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY,
                  GetFileAttributesW((work.Path() + L"Brisko Folder\\3.6.9.9").c_str()) & FILE_ATTRIBUTE_DIRECTORY)
            << "the installer made its folder";
    }
    settings.passThroughArgs.clear();
    settings.exitCode = 2;
}

INSTANTIATE_TEST_SUITE_P(SuccessAndFailure, DemoInstallerLaunchTest, ::testing::Bool());

}  // namespace
