// Whole MiniSetup processes under Wine: early exits, the single-instance rule
// and silent runs. They run MiniSetupLocal.exe, a copy whose addresses are on
// 127.0.0.1 (see process_test.py), and leave the report queue as they found it.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>

namespace {

constexpr wchar_t kSetupKey[] = L"SOFTWARE\\Nuvex Security\\Brisko\\Setup";
constexpr wchar_t kFlag[] = L"Nuvex_MiniSetup_Hwnd_Flag";
constexpr DWORD kTimeoutMs = 60000;

std::wstring BinFolder()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

class Process {
public:
    Process(const std::wstring& exe, const std::wstring& args)
    {
        std::wstring commandLine = L"\"" + exe + L"\" " + args;
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        started_ = CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                                  &info_) != 0;
    }
    ~Process()
    {
        if (!started_) return;
        if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info_.hProcess, 99);
        CloseHandle(info_.hProcess);
        CloseHandle(info_.hThread);
    }
    bool Started() const { return started_; }
    // The exit code, or -1 when the process is still running after the timeout.
    long Wait(DWORD timeoutMs = kTimeoutMs)
    {
        if (WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        GetExitCodeProcess(info_.hProcess, &code);
        return long(code);
    }

private:
    PROCESS_INFORMATION info_ = {};
    bool started_ = false;
};

std::wstring MiniSetup() { return BinFolder() + L"MiniSetupLocal.exe"; }

const wchar_t* const kQueueKeys[] = {L"Software\\Nuvex_Drp_pos\\DRP\\Processing", L"Software\\Nuvex_Drp_pos\\DRP\\Temp"};

std::set<std::wstring> QueueEntries(const wchar_t* keyName)
{
    std::set<std::wstring> names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[1024];
        DWORD length = _countof(name);
        if (RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.insert(std::wstring(name, length));
    }
    RegCloseKey(key);
    return names;
}

// Every test starts with the report queue it finds and leaves it so: packages
// its runs queued (and could not upload) are removed with their files.
class WholeRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(MiniSetup().c_str()))
            << "MiniSetupLocal.exe is missing: run this test through process_test.py";
        for (size_t i = 0; i < _countof(kQueueKeys); ++i) before_[i] = QueueEntries(kQueueKeys[i]);
    }
    void TearDown() override
    {
        for (size_t i = 0; i < _countof(kQueueKeys); ++i) {
            HKEY key = nullptr;
            if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kQueueKeys[i], 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) continue;
            for (const std::wstring& name : QueueEntries(kQueueKeys[i])) {
                if (before_[i].count(name)) continue;
                DeleteFileW(name.c_str());
                RegDeleteValueW(key, name.c_str());
                ++removed_;
            }
            RegCloseKey(key);
        }
        if (removed_) printf("removed %d queue entries the runs left behind\n", removed_);
    }

private:
    std::set<std::wstring> before_[2];
    int removed_ = 0;
};

HWND FindMarkedWindow()
{
    for (HWND w = FindWindowExW(nullptr, nullptr, nullptr, nullptr); w; w = FindWindowExW(nullptr, w, nullptr, nullptr))
        if (GetPropW(w, kFlag) == reinterpret_cast<HANDLE>(1)) return w;
    return nullptr;
}

HWND WaitForMarkedWindow()
{
    for (int i = 0; i < 300; ++i) {
        if (HWND w = FindMarkedWindow()) return w;
        Sleep(100);
    }
    return nullptr;
}

void WriteSetupResult()
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kSetupKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &key, nullptr));
    DWORD one = 1;
    RegSetValueExW(key, L"SetupResult", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), sizeof(one));
    RegCloseKey(key);
}

bool SetupResultExists()
{
    DWORD value = 0, size = sizeof(value);
    return RegGetValueW(HKEY_CURRENT_USER, kSetupKey, L"SetupResult", RRF_RT_REG_DWORD, nullptr, &value, &size) ==
           ERROR_SUCCESS;
}

TEST_F(WholeRun, FutureInstallTimeExitsBeforeAnyRegistryWork)
{
    WriteSetupResult();
    Process run(MiniSetup(), L"/S /InstallTime=99999999999");
    ASSERT_TRUE(run.Started());
    EXPECT_EQ(2, run.Wait());
    EXPECT_TRUE(SetupResultExists());
}

TEST_F(WholeRun, SilentStartClearsTheLastResultAndExits)
{
    WriteSetupResult();
    Process run(MiniSetup(), L"-s");
    ASSERT_TRUE(run.Started());
    // A silent run keeps retrying an unreachable manifest: close it once its window exists.
    HWND window = WaitForMarkedWindow();
    ASSERT_NE(nullptr, window);
    EXPECT_FALSE(SetupResultExists());
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(2, run.Wait());
}

TEST_F(WholeRun, SecondInstanceRaisesTheFirstAndExits)
{
    Process first(MiniSetup(), L"");
    ASSERT_TRUE(first.Started());
    HWND window = WaitForMarkedWindow();
    ASSERT_NE(nullptr, window);
    ShowWindow(window, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(window));

    Process silentSecond(MiniSetup(), L"/S");
    EXPECT_EQ(2, silentSecond.Wait());
    EXPECT_TRUE(IsIconic(window)) << "a silent second start must not touch the window";

    Process second(MiniSetup(), L"/newverurl=http://127.0.0.1:1/x.xml");
    EXPECT_EQ(2, second.Wait());
    EXPECT_FALSE(IsIconic(window));

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(2, first.Wait());
}

TEST_F(WholeRun, SilentStartWhileTheServiceRunsExitsWithThree)
{
    std::wstring service = BinFolder() + L"BriskoSvc.exe";
    ASSERT_TRUE(CopyFileW((BinFolder() + L"test_sleeper.exe").c_str(), service.c_str(), FALSE));
    {
        Process svc(service, L"30000");
        ASSERT_TRUE(svc.Started());
        Sleep(300);
        Process silent(MiniSetup(), L"/S");
        EXPECT_EQ(3, silent.Wait());
        Process update(MiniSetup(), L"/S /Update");
        HWND updating = WaitForMarkedWindow();
        ASSERT_NE(nullptr, updating) << "with /Update a silent start proceeds";
        PostMessageW(updating, WM_CLOSE, 0, 0);
        EXPECT_EQ(2, update.Wait());
        Process visible(MiniSetup(), L"/SHOWTRAY");
        HWND window = WaitForMarkedWindow();
        ASSERT_NE(nullptr, window) << "a visible start ignores the service";
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(2, visible.Wait());
    }
    DeleteFileW(service.c_str());
}

}  // namespace
