#pragma once
// Running a child program from a test and collecting what it printed.
#include <windows.h>

#include <string>

struct ChildRun {
    bool started = false;
    std::string output;  // everything it wrote to its standard output
    DWORD exitCode = 0;
};

// Runs `program` with `commandLine` (the whole line, program name first) and
// its standard output on a pipe, and waits for it to end. A child still
// running after `timeoutMs` is ended (exit code 99), so none outlives the test.
ChildRun RunCapturingOutput(const std::wstring& program, std::wstring commandLine, DWORD timeoutMs = 30000);

// The path of the running test program.
std::wstring ThisProgramPath();
