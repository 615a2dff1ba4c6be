// DemoInstaller: takes the setup's installer command line
//   /S /POLICY /SetUpdateFileMapping=<block> /LANG=<id> /bHelpUs=<0|1> [pass-through...] /D=<folder>
// finds the setup window through the named block, reports progress 0..100
// with message 1125 (about two seconds; "/demo-fast" without pauses), puts a
// marker file into the /D= folder, sends its 2,068-byte result with
// WM_COPYDATA ("0" for success) and exits 0.
//   "/demo-fail"  reports failure 1603 with a message and exits 1603.
//   "/demo-fail-message=<text>"  with "/demo-fail": the message sent instead
//                 (may be empty).
// When MINISETUP_DEMO_COMMANDLINE_FILE names a file, the arguments received
// (everything after the program name) are written there in UTF-8 first.
// When MINISETUP_DEMO_IMAGE_FILE names a file, the MD5 of the file this
// installer was started from and its path ("<md5>|<path>") are written there,
// so a test can tell exactly which bytes were launched.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "base/MD5Checksum.h"
#include "base/TextConvert.h"
#include "setup/InstallHwndBlock.h"
#include "setup/WindowContract.h"
#include "TestFiles.h"

namespace {

constexpr wchar_t kCommandLineFileVariable[] = L"MINISETUP_DEMO_COMMANDLINE_FILE";
constexpr wchar_t kImageFileVariable[] = L"MINISETUP_DEMO_IMAGE_FILE";
constexpr wchar_t kMarkerFileName[] = L"brisko_installed.txt";
constexpr int kFailureCode = 1603;
constexpr int kNoFolderCode = 2;
constexpr int kFolderFailedCode = 3;
constexpr UINT kSendTimeoutMs = 10000;

struct Options {
    std::wstring blockName;
    std::wstring installFolder;
    bool fast = false;
    bool fail = false;
    bool hasFailMessage = false;
    std::wstring failMessage;
};

// The arguments after the program name, as received.
std::wstring ArgumentText(const wchar_t* line)
{
    const wchar_t* p = line;
    if (*p == L'"') {
        ++p;
        while (*p != L'\0' && *p != L'"')
            ++p;
        if (*p == L'"')
            ++p;
    } else {
        while (*p != L'\0' && *p != L' ' && *p != L'\t')
            ++p;
    }
    while (*p == L' ' || *p == L'\t')
        ++p;
    return p;
}

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix)
{
    const size_t n = wcslen(prefix);
    return text.size() >= n && _wcsnicmp(text.c_str(), prefix, n) == 0;
}

// "/D=" comes last and unquoted, so everything after it is the folder.
Options ParseOptions(const std::wstring& arguments)
{
    Options options;
    std::wstring switches = arguments;
    for (size_t at = arguments.size(); at-- > 0;) {
        if (arguments.compare(at, 3, L"/D=") == 0 && (at == 0 || arguments[at - 1] == L' ')) {
            options.installFolder = arguments.substr(at + 3);
            while (!options.installFolder.empty() && options.installFolder.back() == L' ')
                options.installFolder.pop_back();
            switches = arguments.substr(0, at);
            break;
        }
    }
    int count = 0;
    const std::wstring forParser = L"x " + switches;
    wchar_t** argv = CommandLineToArgvW(forParser.c_str(), &count);
    for (int i = 1; argv != nullptr && i < count; ++i) {
        const std::wstring arg = argv[i];
        if (StartsWithNoCase(arg, L"/SetUpdateFileMapping="))
            options.blockName = arg.substr(22);
        else if (_wcsicmp(arg.c_str(), L"/demo-fast") == 0)
            options.fast = true;
        else if (_wcsicmp(arg.c_str(), L"/demo-fail") == 0)
            options.fail = true;
        else if (StartsWithNoCase(arg, L"/demo-fail-message=")) {
            options.hasFailMessage = true;
            options.failMessage = arg.substr(19);
        }
    }
    LocalFree(argv);
    return options;
}

bool WriteUtf8File(const std::wstring& path, const std::wstring& text)
{
    return WriteBytes(path, WideToUtf8(text));
}

void RecordCommandLine(const std::wstring& arguments)
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(kCommandLineFileVariable, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        WriteUtf8File(path, arguments);
}

std::wstring VariableValue(const wchar_t* name)
{
    wchar_t value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(value) : std::wstring();
}

void RecordImageDigest()
{
    const std::wstring target = VariableValue(kImageFileVariable);
    if (target.empty())
        return;
    wchar_t image[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(nullptr, image, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH)
        return;
    const std::string digest = CMD5Checksum::HexOfFile(image);
    WriteUtf8File(target, Utf8ToWide(digest.empty() ? std::string("unreadable") : digest) + L"|" + image);
}

class CSetupWindow {
public:
    explicit CSetupWindow(const std::wstring& blockName)
        : window_(blockName.empty() ? nullptr : ReadInstallHwndBlock(blockName.c_str()))
    {
        if (window_ != nullptr && !IsWindow(window_))
            window_ = nullptr;
    }

    void Progress(int percent) const
    {
        if (window_ != nullptr)
            SendMessageTimeoutW(window_, kMsgInstallProgress, static_cast<WPARAM>(percent), 0,
                                SMTO_NORMAL | SMTO_ABORTIFHUNG, kSendTimeoutMs, nullptr);
    }

    void Result(const std::wstring& code, const std::wstring& message) const
    {
        if (window_ == nullptr)
            return;
        InstallerResultBlock block = MakeInstallerResultBlock(code, message);
        COPYDATASTRUCT copy = {kInstallerResultDataId, sizeof block, &block};
        SendMessageTimeoutW(window_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy),
                            SMTO_NORMAL | SMTO_ABORTIFHUNG, kSendTimeoutMs, nullptr);
    }

private:
    HWND window_;
};

void ShowProgress(const CSetupWindow& window, const Options& options, int upTo)
{
    for (int percent = 0; percent <= upTo; percent += 5) {
        window.Progress(percent);
        if (!options.fast && percent < 100)
            Sleep(100);
    }
}

int Fail(const CSetupWindow& window, int code, const std::wstring& message)
{
    window.Result(std::to_wstring(code), message);
    return code;
}

bool InstallMarker(const std::wstring& folder)
{
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES && SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr) != ERROR_SUCCESS)
        return false;
    std::wstring marker = folder;
    if (marker.back() != L'\\')
        marker += L'\\';
    marker += kMarkerFileName;
    return WriteUtf8File(marker, L"Brisko was installed here by DemoInstaller.\r\n");
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const std::wstring arguments = ArgumentText(GetCommandLineW());
    RecordCommandLine(arguments);
    RecordImageDigest();
    const Options options = ParseOptions(arguments);
    const CSetupWindow window(options.blockName);

    if (options.fail) {
        ShowProgress(window, options, 50);
        return Fail(window, kFailureCode, options.hasFailMessage ? options.failMessage
                                                                 : L"The demo installation failed as asked (/demo-fail).");
    }
    if (options.installFolder.empty())
        return Fail(window, kNoFolderCode, L"No install folder was given (/D=).");
    ShowProgress(window, options, 100);
    if (!InstallMarker(options.installFolder))
        return Fail(window, kFolderFailedCode, L"The install folder could not be written: " + options.installFolder);
    window.Result(L"0", L"Brisko was installed.");
    return 0;
}
