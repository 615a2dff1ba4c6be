// Helper program of the report tests.
//   report_writer kill <folder> <registry base under HKCU> <address>
//       writes items, saves the open package, then ends abruptly with the
//       ".tmp" file and its Temp entry left behind.
//   report_writer packages <folder> <registry base under HKCU>
//       writes a few finished packages with items of every kind.
#include <windows.h>
#include <shlwapi.h>

#include <cstdio>
#include <string>

#include "report/Filebase.h"
#include "report/ReportLocations.h"

namespace {
void UseLocations(const wchar_t* folder, const wchar_t* keyBase)
{
    ReportLocations locations;
    locations.root = HKEY_CURRENT_USER;
    locations.folder = folder;
    locations.keyBase = keyBase;
    SetReportLocations(locations);
}

int KillWhileOpen(const wchar_t* address)
{
    CBRKFileImpl report;
    report.ApplyParam(CBRKParam(address, L"4.0.0.1", L"web|gl|official|direct"));
    report.PostInt(0x04001B5A, 0);
    report.PostText(0x04001B70, L"written by a process that was killed");
    report.PostInt(0x05002333, 1);
    if (report.SaveNow(0) != 1) return 3;
    TerminateProcess(GetCurrentProcess(), 9);
    return 4;
}

int WritePackages()
{
    CBRKFileImpl report("writer-identity");
    report.ApplyParam(CBRKParam(L"http://127.0.0.1:1/x", L"4.0.0.1", L"web|gl|official|direct"));
    report.PostInt(0x04001B5C, 0);
    report.PostInt(0x04001B5A, 1);
    report.PostText(0x0200000B, L"A");
    report.PostText(0x04001B70, L"\u00e9t\u00e9 \"quoted\" \\ \u4e2d");
    report.PostText(0x04001B63, L"web|gl|official|direct|explorer.exe|null");
    report.PostText(0x04001B63, L"");
    report.PostInt(0x05002333, 3);
    report.PostInt(0x02000010, -5);
    report.Close();
    report.PostInt(0x0500232D, 1);  // a second, small package
    report.Close();
    // Only the files are wanted; the queue entries go again.
    std::wstring keyBase = GetReportLocations().keyBase;
    SHDeleteKeyW(HKEY_CURRENT_USER, keyBase.substr(0, keyBase.rfind(L'\\')).c_str());
    return 0;
}
}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: report_writer kill|packages <folder> <key base> [address]\n");
        return 2;
    }
    UseLocations(argv[2], argv[3]);
    std::wstring mode = argv[1];
    if (mode == L"kill" && argc == 5) return KillWhileOpen(argv[4]);
    if (mode == L"packages") return WritePackages();
    return 2;
}
