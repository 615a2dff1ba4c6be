// Started by the app tests as a child process:
//   app_probe origin CHANNEL  prints the launch-origin record of its own start
//                             (its parent is the test), in UTF-8;
//   app_probe log             writes one debug-log line.
#include <windows.h>

#include <cstdio>
#include <string>

#include "app/LaunchOrigin.h"
#include "base/DebugLog.h"

int wmain(int argc, wchar_t** argv)
{
    std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"log") {
        DebugLog(L"probe %d %s", 7, L"seven");
        return 0;
    }
    if (mode != L"origin") return 2;
    std::wstring record = BuildLaunchOriginRecord(argc > 2 ? argv[2] : L"");
    int size = WideCharToMultiByte(CP_UTF8, 0, record.c_str(), int(record.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(size_t(size), '\0');
    if (size > 0) WideCharToMultiByte(CP_UTF8, 0, record.c_str(), int(record.size()), &utf8[0], size, nullptr, nullptr);
    fwrite(utf8.data(), 1, utf8.size(), stdout);
    return record.empty() ? 1 : 0;
}
