// ExitCodeWatch: starts a program and writes its whole exit code to a file.
// A Windows exit code such as an installer's 1603 reaches a Linux parent of
// Wine only as its low byte; this watcher reads it on the Windows side.
//
//   ExitCodeWatch.exe <result file> <program> [arguments...]
//
// The rest of the watcher's own command line after the result file is the
// program's command line, unchanged. The result file gets the decimal code
// once the program has ended. Exit code 0 once written, 1 when the program
// could not be started or the file not written, 2 for bad usage.
#include <windows.h>

#include <string>

namespace {

// The command line after its first `skip` arguments, as it was written.
const wchar_t* AfterArguments(const wchar_t* line, int skip)
{
    const wchar_t* p = line;
    for (int i = 0; i < skip; ++i) {
        while (*p == L' ' || *p == L'\t')
            ++p;
        bool quoted = false;
        while (*p != L'\0' && (quoted || (*p != L' ' && *p != L'\t'))) {
            if (*p == L'"')
                quoted = !quoted;
            ++p;
        }
    }
    while (*p == L' ' || *p == L'\t')
        ++p;
    return p;
}

bool WriteResult(const wchar_t* path, DWORD code)
{
    const std::string text = std::to_string(code);
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size();
    CloseHandle(file);
    return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
        return 2;
    std::wstring command = AfterArguments(GetCommandLineW(), 2);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 1;
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    const bool known = GetExitCodeProcess(process.hProcess, &code) != FALSE;
    CloseHandle(process.hProcess);
    return known && WriteResult(argv[1], code) ? 0 : 1;
}
