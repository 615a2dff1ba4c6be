#pragma once
// The program's switches, parsed from the split command line.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct CommandLineSwitches {
    bool silent = false;
    bool showTray = false;
    std::wstring newVerUrl;        // "/newverurl=", the last one wins
    std::wstring taskName;         // "/TaskName=", the last one wins
    std::wstring passThroughArgs;  // every other argument, quoted, each followed by a blank
    bool installTimeInFuture = false;  // the run must end at once
};

// Called for every "/InstallTime=" that is not in the future, with the
// parameters of the scheduled-task deletion to run at that point.
using TaskDeletion = std::function<void(const std::wstring& schtasksParameters)>;

// args excludes the program path. nowSeconds is the current time in seconds
// since 1970-01-01 UTC. Parsing stops at an install time in the future.
CommandLineSwitches ParseSwitches(const std::vector<std::wstring>& args, int64_t nowSeconds,
                                  const TaskDeletion& deleteTask);

// True when one of the arguments is "/NewUpdate" or "/Update" (any case).
bool HasUpdateSwitch(const std::vector<std::wstring>& args);

// The process command line split like CommandLineToArgvW, without the program path.
std::vector<std::wstring> ProcessArguments();
