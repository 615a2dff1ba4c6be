// The engine log: its file name and line format.
#include <gtest/gtest.h>

#include <regex>

#include "gnet/FileUtils.h"
#include "gnet/SimpleDebugLog.h"
#include "gnet/StringUtil.h"
#include "tests/gnet/TestSupport.h"

namespace {

SYSTEMTIME Example() {
    SYSTEMTIME t = {};
    t.wYear = 2013;
    t.wMonth = 5;
    t.wDay = 4;
    t.wHour = 3;
    t.wMinute = 2;
    t.wSecond = 1;
    return t;
}

TEST(LogFormatTest, FileNameFromProgramNameAndTime) {
    EXPECT_EQ(L"C:\\temp\\setup\\gnet_log_20130504030201.txt",
              gnet::MakeLogFileName(L"C:\\temp\\", L"C:\\apps\\setup.exe", Example()));
    EXPECT_EQ(L"C:\\temp\\my.tool\\gnet_log_20130504030201.txt",
              gnet::MakeLogFileName(L"C:\\temp", L"C:\\apps\\my.tool.exe", Example()));
}

TEST(LogFormatTest, LineHasTimeThreadIdAndMessage) {
    EXPECT_EQ(L"2013.05.04-03:02:01 = [3512]gnet::CDownloadStartTask::RunThreadTask, Network Error",
              gnet::MakeLogLine(Example(), 3512, L"gnet::CDownloadStartTask::RunThreadTask, Network Error"));
}

TEST(EngineLogTest, LinesReachTheFileInUtf8AndCloseTrimsThePadding) {
    gnet::PrintLog(L"%ls, value=%d, text=%ls", L"gnet::LogTest", 42, L"caf\u00e9");
    std::wstring path = gnet::GetEngineLogPath();
    std::string name = gnet::WideToUtf8(path);
    EXPECT_TRUE(std::regex_search(name, std::regex(R"(\\gnet_log_test\\gnet_log_\d{14}\.txt$)"))) << name;
    gnet::CSimpleDebugLog::DestroyInstance();  // closes and trims the file

    std::string text = gnettest::ReadBytes(path);
    EXPECT_EQ(std::string::npos, text.find('\0'));
    std::string expectedLine = "\\[" + std::to_string(GetCurrentThreadId()) +
                               "\\]gnet::LogTest, value=42, text=caf\xC3\xA9\r\n";
    EXPECT_TRUE(std::regex_search(text, std::regex(R"(\d{4}\.\d{2}\.\d{2}-\d{2}:\d{2}:\d{2} = )" + expectedLine)))
        << text;
}

TEST(EngineLogTest, LongMessageIsCutNotLost) {
    std::wstring longText(6000, L'a');
    gnet::PrintLog(L"%ls", longText.c_str());
    gnet::PrintLog(L"%ls", L"after the long one");
    std::wstring path = gnet::GetEngineLogPath();
    gnet::CSimpleDebugLog::DestroyInstance();
    std::string text = gnettest::ReadBytes(path);
    EXPECT_NE(std::string::npos, text.find("after the long one"));
    // The long message is there, cut to what the line buffer holds.
    EXPECT_NE(std::string::npos, text.find("]" + std::string(4095, 'a') + "\r\n"));
    EXPECT_EQ(std::string::npos, text.find(std::string(4096, 'a')));
}

}  // namespace
