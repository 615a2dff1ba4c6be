// The debug log: the line format, and the PrintLog gate seen from outside: a
// child process is run under this test as its debugger, which receives what
// the child sends to the debugger output.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "base/DebugLog.h"

namespace {

constexpr wchar_t kProductKey[] = L"SOFTWARE\\Nuvex Security\\Brisko";

std::wstring Line(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::wstring line = FormatDebugLogLine(format, args);
    va_end(args);
    return line;
}

TEST(DebugLogLine, PrefixTextAndCrlf)
{
    EXPECT_EQ(L"Nuvex:manifest http://h/x.xml 3\r\n", Line(L"manifest %s %d", L"http://h/x.xml", 3));
    EXPECT_EQ(L"Nuvex:\r\n", Line(L""));
    EXPECT_EQ(L"Nuvex:100% done\r\n", Line(L"100%% done"));
    // A text longer than the line buffer is cut, never written past it.
    std::wstring longText(5000, L'x');
    std::wstring line = Line(L"%s", longText.c_str());
    EXPECT_EQ(0u, line.find(L"Nuvex:xxx"));
    EXPECT_EQ(L"x\r\n", line.substr(line.size() - 3));
    EXPECT_EQ(6u + 2047u + 2u, line.size());
}

// Saves the product key's PrintLog value and puts it back afterwards.
class PrintLogValue {
public:
    PrintLogValue()
    {
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, kProductKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
        data_.resize(64);
        DWORD size = DWORD(data_.size());
        had_ = RegQueryValueExW(key_, L"PrintLog", nullptr, &type_, data_.data(), &size) == ERROR_SUCCESS;
        data_.resize(had_ ? size : 0);
    }
    ~PrintLogValue()
    {
        if (had_)
            RegSetValueExW(key_, L"PrintLog", 0, type_, data_.data(), DWORD(data_.size()));
        else
            RegDeleteValueW(key_, L"PrintLog");
        RegCloseKey(key_);
    }
    bool Opened() const { return key_ != nullptr; }
    void Remove() { RegDeleteValueW(key_, L"PrintLog"); }
    void SetDword(DWORD value) { RegSetValueExW(key_, L"PrintLog", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4); }
    void SetText(const wchar_t* text)
    {
        RegSetValueExW(key_, L"PrintLog", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                       DWORD((wcslen(text) + 1) * sizeof(wchar_t)));
    }

private:
    HKEY key_ = nullptr;
    bool had_ = false;
    DWORD type_ = 0;
    std::vector<BYTE> data_;
};

std::wstring ProbePath()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\') + 1) + L"app_probe.exe";
}

// Runs "app_probe log" as a debuggee; returns its debugger-output strings.
std::vector<std::wstring> DebugOutputOfProbe(bool* ended)
{
    std::vector<std::wstring> strings;
    *ended = false;
    std::wstring probe = ProbePath();
    std::wstring commandLine = L"\"" + probe + L"\" log";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(probe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS, nullptr,
                        nullptr, &si, &pi))
        return strings;
    DEBUG_EVENT event = {};
    while (!*ended && WaitForDebugEvent(&event, 30000)) {
        DWORD status = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            if (event.u.CreateProcessInfo.hFile) CloseHandle(event.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            if (event.u.LoadDll.hFile) CloseHandle(event.u.LoadDll.hFile);
            break;
        case OUTPUT_DEBUG_STRING_EVENT: {
            const OUTPUT_DEBUG_STRING_INFO& info = event.u.DebugString;
            size_t unit = info.fUnicode ? sizeof(wchar_t) : 1;
            std::vector<char> bytes(size_t(info.nDebugStringLength) * unit);
            SIZE_T got = 0;
            if (!bytes.empty() &&
                ReadProcessMemory(pi.hProcess, info.lpDebugStringData, bytes.data(), bytes.size(), &got)) {
                std::wstring text;
                if (info.fUnicode)
                    text.assign(reinterpret_cast<const wchar_t*>(bytes.data()), got / sizeof(wchar_t));
                else
                    text.assign(bytes.begin(), bytes.begin() + got);
                text.resize(wcsnlen(text.c_str(), text.size()));
                strings.push_back(text);
            }
            break;
        }
        case EXCEPTION_DEBUG_EVENT:
            if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) status = DBG_EXCEPTION_NOT_HANDLED;
            break;
        case EXIT_PROCESS_DEBUG_EVENT:
            *ended = true;
            break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
    }
    if (!*ended) TerminateProcess(pi.hProcess, 99);
    DebugActiveProcessStop(pi.dwProcessId);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return strings;
}

std::vector<std::wstring> NuvexLines(const std::vector<std::wstring>& strings)
{
    std::vector<std::wstring> lines;
    for (const std::wstring& s : strings)
        if (s.compare(0, 6, L"Nuvex:") == 0) lines.push_back(s);
    return lines;
}

enum class Setting { Absent, Dword, Text };

struct GateCase {
    const char* name;
    Setting setting;
    DWORD dword;
    bool writes;
};

class PrintLogGate : public ::testing::TestWithParam<GateCase> {};

TEST_P(PrintLogGate, OnlyADwordOfOneOpensIt)
{
    const GateCase& c = GetParam();
    PrintLogValue value;
    ASSERT_TRUE(value.Opened());
    if (c.setting == Setting::Absent) value.Remove();
    if (c.setting == Setting::Dword) value.SetDword(c.dword);
    if (c.setting == Setting::Text) value.SetText(L"1");
    bool ended = false;
    std::vector<std::wstring> lines = NuvexLines(DebugOutputOfProbe(&ended));
    ASSERT_TRUE(ended) << "the probe did not run to its end under the test's debugger";
    std::vector<std::wstring> expected;
    if (c.writes) expected.push_back(L"Nuvex:probe 7 seven\r\n");
    EXPECT_EQ(expected, lines);
}

INSTANTIATE_TEST_SUITE_P(Values, PrintLogGate,
                         ::testing::Values(GateCase{"dword_1_writes", Setting::Dword, 1, true},
                                           GateCase{"absent", Setting::Absent, 0, false},
                                           GateCase{"dword_0", Setting::Dword, 0, false},
                                           GateCase{"dword_2", Setting::Dword, 2, false},
                                           GateCase{"text_1", Setting::Text, 0, false}),
                         [](const ::testing::TestParamInfo<GateCase>& info) { return std::string(info.param.name); });

}  // namespace
