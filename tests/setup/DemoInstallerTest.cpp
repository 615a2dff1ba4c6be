// DemoInstaller.exe against a window that records what it receives.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "TestFolder.h"
#include "base/TextConvert.h"
#include "setup/InstallHwndBlock.h"
#include "setup/WindowContract.h"

namespace {

struct Received {
    std::vector<int> progress;
    std::vector<InstallerResult> results;
    int refusedCopies = 0;
};

Received* g_received = nullptr;

LRESULT CALLBACK RecorderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kMsgInstallProgress) {
        g_received->progress.push_back(static_cast<int>(wParam));
        return 0;
    }
    if (message == WM_COPYDATA) {
        InstallerResult result;
        if (ParseInstallerResult(reinterpret_cast<const COPYDATASTRUCT*>(lParam), &result))
            g_received->results.push_back(result);
        else
            ++g_received->refusedCopies;
        return TRUE;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// A hidden top-level window standing in for the setup window.
class CRecorderWindow {
public:
    CRecorderWindow()
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = RecorderProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"DemoInstallerTestWindow";
        RegisterClassW(&wc);
        hwnd_ = CreateWindowExW(0, wc.lpszClassName, L"recorder", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                wc.hInstance, nullptr);
    }
    ~CRecorderWindow()
    {
        if (hwnd_ != nullptr)
            DestroyWindow(hwnd_);
    }
    HWND get() const { return hwnd_; }

private:
    HWND hwnd_;
};

// Ends the process if a test leaves before it has ended by itself.
class CChildProcess {
public:
    ~CChildProcess()
    {
        if (info.hProcess != nullptr) {
            if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(info.hProcess, 99);
                WaitForSingleObject(info.hProcess, 5000);
            }
            CloseHandle(info.hProcess);
        }
        if (info.hThread != nullptr)
            CloseHandle(info.hThread);
    }
    PROCESS_INFORMATION info = {};
};

std::wstring DemoInstallerPath()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\') + 1) + L"DemoInstaller.exe";
}

class DemoInstallerRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_received = &received;
        ASSERT_NE(window.get(), nullptr);
        ASSERT_TRUE(block.Create(window.get(), blockName.c_str()));
        SetEnvironmentVariableW(L"MINISETUP_DEMO_COMMANDLINE_FILE", (folder / L"cmdline.txt").c_str());
    }
    void TearDown() override
    {
        SetEnvironmentVariableW(L"MINISETUP_DEMO_COMMANDLINE_FILE", nullptr);
        g_received = nullptr;
    }

    // Runs the installer with `arguments`, dispatching the window's messages
    // until it ends; returns its exit code (or a failure after four minutes).
    DWORD Run(const std::wstring& arguments)
    {
        std::wstring line = L"\"" + DemoInstallerPath() + L"\" " + arguments;
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        CChildProcess child;
        if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &child.info)) {
            ADD_FAILURE() << "DemoInstaller.exe did not start: " << GetLastError();
            return 0xFFFFFFFF;
        }
        const DWORD deadline = GetTickCount() + 240000;
        for (;;) {
            const DWORD now = GetTickCount();
            if (static_cast<LONG>(deadline - now) <= 0) {
                ADD_FAILURE() << "DemoInstaller.exe did not end";
                return 0xFFFFFFFF;
            }
            const DWORD wait = MsgWaitForMultipleObjects(1, &child.info.hProcess, FALSE, deadline - now, QS_ALLINPUT);
            if (wait == WAIT_OBJECT_0)
                break;
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        DWORD code = 0;
        GetExitCodeProcess(child.info.hProcess, &code);
        return code;
    }

    void ExpectProgressFromZeroTo(int last)
    {
        ASSERT_FALSE(received.progress.empty());
        EXPECT_EQ(received.progress.front(), 0);
        EXPECT_EQ(received.progress.back(), last);
        for (size_t i = 1; i < received.progress.size(); ++i)
            EXPECT_LE(received.progress[i - 1], received.progress[i]);
    }

    Received received;
    CRecorderWindow window;
    std::wstring blockName = L"MiniInstallHwndDemoTest" + std::to_wstring(GetCurrentProcessId());
    CInstallHwndBlock block;
    CTestFolder folder{L"demo"};
};

TEST_F(DemoInstallerRun, SilentInstallReportsProgressAndSuccess)
{
    const std::wstring installFolder = folder / L"Program Files\\Nuvex Security\\Brisko\\3.6.9.9";
    const std::wstring arguments = L"/S /POLICY /SetUpdateFileMapping=" + blockName +
                                   L" /LANG=1033 /bHelpUs=1 \"/demo-fast\" \"an argument\" /D=" + installFolder;
    EXPECT_EQ(Run(arguments), 0u);
    ExpectProgressFromZeroTo(100);
    ASSERT_EQ(received.results.size(), 1u);
    EXPECT_TRUE(received.results[0].Succeeded());
    EXPECT_EQ(received.refusedCopies, 0);
    EXPECT_TRUE(FileExists(installFolder + L"\\brisko_installed.txt"));
    std::string recorded;
    ASSERT_TRUE(ReadBytes(folder / L"cmdline.txt", &recorded));
    EXPECT_EQ(Utf8ToWide(recorded), arguments);
}

TEST_F(DemoInstallerRun, DemoFailReportsAFailureAndExitsNonZero)
{
    const std::wstring installFolder = folder / L"Brisko";
    const DWORD code = Run(L"/S /POLICY /SetUpdateFileMapping=" + blockName +
                           L" /LANG=1033 /bHelpUs=0 \"/demo-fast\" \"/demo-fail\" /POP /D=" + installFolder);
    EXPECT_NE(code, 0u);
    EXPECT_NE(code, 0xFFFFFFFFu);
    ASSERT_EQ(received.results.size(), 1u);
    EXPECT_FALSE(received.results[0].Succeeded());
    EXPECT_EQ(received.results[0].resultCode, std::to_wstring(code));
    EXPECT_FALSE(received.results[0].message.empty());
    EXPECT_FALSE(FileExists(installFolder + L"\\brisko_installed.txt"));
}

TEST_F(DemoInstallerRun, DemoFailSendsTheMessageItIsGiven)
{
    // An empty message is a case of its own: the setup window then shows its own text.
    for (const wchar_t* text : {L"", L"Disk full on C: (code 112)"}) {
        const std::wstring message = text;
        received = Received();
        const DWORD code = Run(L"/S /POLICY /SetUpdateFileMapping=" + blockName +
                               L" /LANG=1033 /bHelpUs=0 \"/demo-fast\" \"/demo-fail\" \"/demo-fail-message=" +
                               message + L"\" /D=" + (folder / L"Brisko"));
        EXPECT_EQ(code, 1603u);
        ASSERT_EQ(received.results.size(), 1u) << "message " << WideToUtf8(message);
        EXPECT_EQ(received.results[0].resultCode, L"1603");
        EXPECT_EQ(received.results[0].message, message);
    }
}

TEST_F(DemoInstallerRun, WithoutTheBlockItStillInstalls)
{
    const std::wstring installFolder = folder / L"quiet";
    EXPECT_EQ(Run(L"/S /SetUpdateFileMapping=NoSuchBlock" + blockName + L" /demo-fast /D=" + installFolder), 0u);
    EXPECT_TRUE(received.progress.empty());
    EXPECT_TRUE(received.results.empty());
    EXPECT_TRUE(FileExists(installFolder + L"\\brisko_installed.txt"));
}

TEST_F(DemoInstallerRun, MissingFolderIsAFailure)
{
    const DWORD code = Run(L"/S /SetUpdateFileMapping=" + blockName + L" /demo-fast");
    EXPECT_NE(code, 0u);
    ASSERT_EQ(received.results.size(), 1u);
    EXPECT_FALSE(received.results[0].Succeeded());
}

}  // namespace
