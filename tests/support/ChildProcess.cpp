#include "ChildProcess.h"

#include "base/ScopedHandle.h"

namespace {

constexpr UINT kTimedOutExitCode = 99;

}  // namespace

ChildRun RunCapturingOutput(const std::wstring& program, std::wstring commandLine, DWORD timeoutMs)
{
    ChildRun run;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    CScopedHandle readEnd, writeEnd;
    if (!CreatePipe(readEnd.Receive(), writeEnd.Receive(), &inherit, 0)) return run;
    SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd.Get();
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process = {};
    run.started = CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                 &startup, &process) != FALSE;
    writeEnd.Reset();  // the pipe ends when the child's copy closes
    if (!run.started) return run;
    CScopedHandle processHandle(process.hProcess), threadHandle(process.hThread);
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd.Get(), buffer, sizeof(buffer), &got, nullptr) && got > 0) run.output.append(buffer, got);
    if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, kTimedOutExitCode);
        WaitForSingleObject(process.hProcess, INFINITE);
    }
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    return run;
}

std::wstring ThisProgramPath()
{
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
    return length > 0 && length <= MAX_PATH ? std::wstring(path, length) : std::wstring();
}
