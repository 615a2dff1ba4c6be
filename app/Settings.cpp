#include "app/Settings.h"

#include <windows.h>

#include "base/DebugLog.h"
#include "app/Placeholders.h"
#include "app/SettingsArea.h"

namespace {

constexpr size_t kParamBufferChars = 260;
constexpr size_t kValueBufferChars = 1024;
constexpr int kOpenAttempts = 5;

// The area's text up to its terminating zero (never beyond the area).
size_t SettingsTextLength(const wchar_t* area)
{
    size_t length = 0;
    while (length < kSettingsAreaChars - 1 && area[length] != L'\0') ++length;
    return length;
}

}  // namespace

void ApplySettings(const CIniFile& ini, std::optional<int> offset, AppSettings& settings)
{
    std::wstring subDir = ini.GetString(L"params", L"SubDir", kParamBufferChars);
    settings.channelName = ini.GetString(L"params", L"ChannelName", kParamBufferChars);
    settings.channelNumber = ini.GetString(L"params", L"ChannelNumber", kParamBufferChars);
    if (ini.GetInt(L"params", L"Silent", 0) == 1) settings.silent = 1;
    if (ini.GetInt(L"params", L"ShowTray", 0) == 1) settings.showTray = 1;

    std::wstring manifestFormat =
        ExpandPlaceholders(ini, ini.GetString(L"global", L"VERSION_INFO_URL", kValueBufferChars), offset);
    std::wstring channelSuffix = settings.channelNumber.empty() ? std::wstring() : L"_" + settings.channelNumber;
    settings.versionInfoUrl = FormatSettingsText(manifestFormat, subDir, channelSuffix);
    settings.reportUrl =
        ExpandPlaceholders(ini, ini.GetString(L"DataReport", L"ReportURLMini", kValueBufferChars), offset);
}

bool LoadEmbeddedSettings(AppSettings& settings)
{
    std::wstring path = CreateUniqueTempFile(L"url.ini");
    if (path.empty()) {
        DebugLog(L"settings: no temporary file could be created");
        return false;
    }
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < kOpenAttempts && file == INVALID_HANDLE_VALUE; ++attempt) {
        if (attempt > 0) Sleep(1000);
        file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (file == INVALID_HANDLE_VALUE) {
        DebugLog(L"settings: cannot open %s", path.c_str());
        DeleteFileW(path.c_str());
        return false;
    }
    // The text goes out as the area holds it: byte-order mark and terminating zero included.
    const wchar_t* area = SettingsAreaText();
    size_t length = SettingsTextLength(area);
    DWORD size = DWORD((length + 1) * sizeof(wchar_t)), written = 0;
    bool complete = WriteFile(file, area, size, &written, nullptr) && written == size;
    CloseHandle(file);
    if (!complete) {
        DebugLog(L"settings: cannot write %s", path.c_str());
        DeleteFileW(path.c_str());
        return false;
    }
    ApplySettings(CIniFile(path), CurrentUtcOffsetMinutes(), settings);
    DeleteFileW(path.c_str());
    return true;
}

std::wstring OwnExecutablePath()
{
    wchar_t path[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return length && length < MAX_PATH ? std::wstring(path, length) : std::wstring();
}

std::wstring ProgramFolder()
{
    std::wstring path = OwnExecutablePath();
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring ExpandedRead(const std::wstring& section, const std::wstring& key, const std::wstring& iniPath)
{
    std::wstring path = iniPath.empty() ? ProgramFolder() + L"url.ini" : iniPath;
    CIniFile ini(path);
    return ExpandPlaceholders(ini, ini.GetString(section, key, kValueBufferChars), CurrentUtcOffsetMinutes());
}
