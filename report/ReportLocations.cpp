#include "report/ReportLocations.h"

#include <shlobj.h>

namespace {
ReportLocations& Locations()
{
    static ReportLocations locations;
    return locations;
}
}  // namespace

const ReportLocations& GetReportLocations() { return Locations(); }

void SetReportLocations(const ReportLocations& locations) { Locations() = locations; }

std::wstring TempKeyPath() { return Locations().keyBase + L"\\Temp"; }
std::wstring ProcessingKeyPath() { return Locations().keyBase + L"\\Processing"; }
std::wstring TestKeyPath() { return Locations().keyBase + L"\\TEST"; }

std::wstring ReportFolder()
{
    if (!Locations().folder.empty()) return Locations().folder;
    wchar_t common[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, common, CSIDL_COMMON_APPDATA, TRUE)) return std::wstring();
    return std::wstring(common) + L"\\Nuvex Security\\RpData";
}

bool EnsureReportFolder()
{
    std::wstring folder = ReportFolder();
    if (folder.empty()) return false;
    int rc = SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    return rc == ERROR_SUCCESS || rc == ERROR_ALREADY_EXISTS || rc == ERROR_FILE_EXISTS;
}
