#pragma once
// Where reports live: the registry base under which the Temp, Processing and
// TEST keys sit, and the folder of the package files. The program uses the
// defaults; tests point both at places of their own.
#include <windows.h>

#include <string>

struct ReportLocations {
    HKEY root = HKEY_LOCAL_MACHINE;
    std::wstring keyBase = L"Software\\Nuvex_Drp_pos\\DRP";
    std::wstring folder;  // empty: "<common application data>\Nuvex Security\RpData"
};

const ReportLocations& GetReportLocations();
// Must be called before any report exists (tests only).
void SetReportLocations(const ReportLocations& locations);

// Full key paths below the root.
std::wstring TempKeyPath();
std::wstring ProcessingKeyPath();
std::wstring TestKeyPath();

// The report folder, without a trailing backslash. Does not create it.
std::wstring ReportFolder();
// Creates the report folder and its missing parents; true when it exists.
bool EnsureReportFolder();
