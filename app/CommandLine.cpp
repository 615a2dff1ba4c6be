#include "app/CommandLine.h"

#include <windows.h>
#include <shellapi.h>

#include <cwchar>

namespace {

bool IsSwitch(const std::wstring& arg, const wchar_t* a, const wchar_t* b)
{
    return _wcsicmp(arg.c_str(), a) == 0 || _wcsicmp(arg.c_str(), b) == 0;
}

bool TakePrefix(const std::wstring& arg, const wchar_t* prefix, std::wstring* rest)
{
    size_t length = wcslen(prefix);
    if (arg.size() < length || _wcsnicmp(arg.c_str(), prefix, length) != 0) return false;
    *rest = arg.substr(length);
    return true;
}

}  // namespace

CommandLineSwitches ParseSwitches(const std::vector<std::wstring>& args, int64_t nowSeconds,
                                  const TaskDeletion& deleteTask)
{
    CommandLineSwitches result;
    std::wstring rest;
    for (const std::wstring& arg : args) {
        if (IsSwitch(arg, L"/S", L"-S")) {
            result.silent = true;
        } else if (IsSwitch(arg, L"/SHOWTRAY", L"-SHOWTRAY")) {
            result.showTray = true;
        } else if (TakePrefix(arg, L"/newverurl=", &rest)) {
            result.newVerUrl = rest;
        } else if (TakePrefix(arg, L"/TaskName=", &rest)) {
            result.taskName = rest;
        } else if (TakePrefix(arg, L"/InstallTime=", &rest)) {
            int64_t installTime = _wcstoi64(rest.c_str(), nullptr, 10);
            if (nowSeconds < installTime) {
                result.installTimeInFuture = true;
                return result;
            }
            if (deleteTask) deleteTask(L"/DELETE /F /TN \"" + result.taskName + L"\"");
        } else {
            result.passThroughArgs += L"\"" + arg + L"\" ";
        }
    }
    return result;
}

bool HasUpdateSwitch(const std::vector<std::wstring>& args)
{
    for (const std::wstring& arg : args)
        if (_wcsicmp(arg.c_str(), L"/NewUpdate") == 0 || _wcsicmp(arg.c_str(), L"/Update") == 0) return true;
    return false;
}

std::vector<std::wstring> ProcessArguments()
{
    std::vector<std::wstring> args;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!argv) return args;
    for (int i = 1; i < count; ++i) args.emplace_back(argv[i]);
    LocalFree(argv);
    return args;
}
