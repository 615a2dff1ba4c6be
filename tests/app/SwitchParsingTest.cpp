// Switch parsing: which arguments are switches, what passes through to the
// installer, and the scheduled-task deletions of "/InstallTime=".
#include <gtest/gtest.h>

#include "app/CommandLine.h"

namespace {

constexpr int64_t kNow = 1'800'000'000;

struct SwitchCase {
    const char* name;
    std::vector<std::wstring> args;
    bool silent;
    bool showTray;
    std::wstring newVerUrl;
    std::wstring passThrough;
};

class SwitchTable : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(SwitchTable, ParsesLikeTheInstallerExpects)
{
    const SwitchCase& c = GetParam();
    CommandLineSwitches s = ParseSwitches(c.args, kNow, nullptr);
    EXPECT_EQ(c.silent, s.silent);
    EXPECT_EQ(c.showTray, s.showTray);
    EXPECT_EQ(c.newVerUrl, s.newVerUrl);
    EXPECT_EQ(c.passThrough, s.passThroughArgs);
    EXPECT_FALSE(s.installTimeInFuture);
}

INSTANTIATE_TEST_SUITE_P(
    Switches, SwitchTable,
    ::testing::Values(
        SwitchCase{"slash_S", {L"/S"}, true, false, L"", L""},
        SwitchCase{"dash_S", {L"-S"}, true, false, L"", L""},
        SwitchCase{"lower_s", {L"/s"}, true, false, L"", L""},
        SwitchCase{"S1_passes_through", {L"/S1"}, false, false, L"", L"\"/S1\" "},
        SwitchCase{"showtray_any_case", {L"-ShowTray"}, false, true, L"", L""},
        SwitchCase{"showtray_slash", {L"/SHOWTRAY"}, false, true, L"", L""},
        SwitchCase{"newverurl_case_insensitive", {L"/NEWVERURL=http://a.example/x.xml"}, false, false,
                   L"http://a.example/x.xml", L""},
        SwitchCase{"newverurl_last_wins", {L"/newverurl=one", L"/newverurl=two"}, false, false, L"two", L""},
        SwitchCase{"empty_newverurl", {L"/newverurl="}, false, false, L"", L""},
        SwitchCase{"blanks_stay_one_argument", {L"/D=C:\\Program Files\\Brisko", L"x"}, false, false, L"",
                   L"\"/D=C:\\Program Files\\Brisko\" \"x\" "},
        SwitchCase{"tasknames_are_not_passed", {L"/taskname=T1", L"/S", L"/Update"}, true, false, L"",
                   L"\"/Update\" "},
        SwitchCase{"showtray_prefix_is_not_a_switch", {L"/SHOWTRAYX"}, false, false, L"", L"\"/SHOWTRAYX\" "}),
    [](const ::testing::TestParamInfo<SwitchCase>& info) { return std::string(info.param.name); });

struct InstallTimeCase {
    const char* name;
    std::vector<std::wstring> args;
    std::vector<std::wstring> deletions;
    bool endsRun;
};

class InstallTimeTable : public ::testing::TestWithParam<InstallTimeCase> {};

TEST_P(InstallTimeTable, DeletesTheTaskKnownAtThatPoint)
{
    const InstallTimeCase& c = GetParam();
    std::vector<std::wstring> deletions;
    CommandLineSwitches s =
        ParseSwitches(c.args, kNow, [&](const std::wstring& parameters) { deletions.push_back(parameters); });
    EXPECT_EQ(c.deletions, deletions);
    EXPECT_EQ(c.endsRun, s.installTimeInFuture);
}

INSTANTIATE_TEST_SUITE_P(
    InstallTime, InstallTimeTable,
    ::testing::Values(
        InstallTimeCase{"taskname_before", {L"/TaskName=BriskoSetup", L"/InstallTime=0"},
                        {L"/DELETE /F /TN \"BriskoSetup\""}, false},
        InstallTimeCase{"taskname_after_names_empty_task", {L"/InstallTime=0", L"/TaskName=BriskoSetup"},
                        {L"/DELETE /F /TN \"\""}, false},
        InstallTimeCase{"future_ends_parsing", {L"/InstallTime=1800000001", L"/TaskName=Late"}, {}, true},
        InstallTimeCase{"now_is_not_future", {L"/installtime=1800000000"}, {L"/DELETE /F /TN \"\""}, false},
        InstallTimeCase{"past_then_future", {L"/TaskName=A", L"/InstallTime=5", L"/InstallTime=99999999999"},
                        {L"/DELETE /F /TN \"A\""}, true},
        InstallTimeCase{"garbage_reads_as_zero", {L"/InstallTime=soon"}, {L"/DELETE /F /TN \"\""}, false}),
    [](const ::testing::TestParamInfo<InstallTimeCase>& info) { return std::string(info.param.name); });

TEST(UpdateSwitch, OnlyWholeArgumentsCount)
{
    EXPECT_TRUE(HasUpdateSwitch({L"/S", L"/update"}));
    EXPECT_TRUE(HasUpdateSwitch({L"/NEWUPDATE"}));
    EXPECT_FALSE(HasUpdateSwitch({L"/Updates", L"/NewUpdate=1"}));
    EXPECT_FALSE(HasUpdateSwitch({}));
}

}  // namespace
