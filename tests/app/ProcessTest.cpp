// Whole MiniSetup processes under Wine: early exits, the single-instance rule
// and silent runs.
#include <gtest/gtest.h>
#include <windows.h>

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

std::wstring MiniSetup() { return BinFolder() + L"MiniSetup.exe"; }

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

TEST(Process, FutureInstallTimeExitsBeforeAnyRegistryWork)
{
    WriteSetupResult();
    Process run(MiniSetup(), L"/S /InstallTime=99999999999");
    ASSERT_TRUE(run.Started());
    EXPECT_EQ(2, run.Wait());
    EXPECT_TRUE(SetupResultExists());
}

TEST(Process, SilentStartClearsTheLastResultAndExits)
{
    WriteSetupResult();
    Process run(MiniSetup(), L"-s");
    ASSERT_TRUE(run.Started());
    EXPECT_EQ(2, run.Wait());
    EXPECT_FALSE(SetupResultExists());
}

TEST(Process, SecondInstanceRaisesTheFirstAndExits)
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

TEST(Process, SilentStartWhileTheServiceRunsExitsWithThree)
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
