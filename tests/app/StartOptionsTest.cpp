// The start options after the settings are loaded: manifest override, the
// installer's "/POP ", the start items and the silent exit for an installed
// product, checked through a recording item sink.
#include <gtest/gtest.h>

#include "app/StartOptions.h"

namespace {

struct Item {
    char kind;  // 'i' integer, 't' text, 'm' mark
    uint32_t id;
    std::wstring value;
    bool operator==(const Item& other) const { return kind == other.kind && id == other.id && value == other.value; }
};

std::ostream& operator<<(std::ostream& out, const Item& item)
{
    return out << item.kind << " 0x" << std::hex << item.id << " " << std::string(item.value.begin(), item.value.end());
}

class RecordedItems : public IStartItemSink {
public:
    void SetInt(uint32_t id, int value) override { items.push_back({'i', id, std::to_wstring(value)}); }
    void SetText(uint32_t id, const std::wstring& text) override { items.push_back({'t', id, text}); }
    void Mark(uint32_t id) override { items.push_back({'m', id, L""}); }
    std::vector<Item> items;
};

struct OptionCase {
    const char* name;
    int silent;
    std::wstring newVerUrl;
    std::wstring passedThrough;
    std::wstring expectUrl;
    std::wstring expectArgs;
};

class StartOptionTable : public ::testing::TestWithParam<OptionCase> {};

TEST_P(StartOptionTable, ManifestAddressAndInstallerArguments)
{
    const OptionCase& c = GetParam();
    AppSettings settings;
    settings.silent = c.silent;
    settings.versionInfoUrl = L"http://dl.settings.example/newver_GL.xml";
    settings.passThroughArgs = c.passedThrough;
    CommandLineSwitches switches;
    switches.newVerUrl = c.newVerUrl;
    ApplyStartOptions(switches, settings);
    EXPECT_EQ(c.expectUrl, settings.versionInfoUrl);
    EXPECT_EQ(c.expectArgs, settings.passThroughArgs);
}

INSTANTIATE_TEST_SUITE_P(
    Options, StartOptionTable,
    ::testing::Values(
        OptionCase{"visible_gets_pop", 0, L"", L"", L"http://dl.settings.example/newver_GL.xml", L"/POP "},
        OptionCase{"silent_never_pops", 1, L"", L"", L"http://dl.settings.example/newver_GL.xml", L""},
        OptionCase{"pop_after_quoted_args", 0, L"", L"\"/D=C:\\a b\" ", L"http://dl.settings.example/newver_GL.xml",
                   L"\"/D=C:\\a b\" /POP "},
        OptionCase{"silent_keeps_args", 1, L"", L"\"x\" ", L"http://dl.settings.example/newver_GL.xml", L"\"x\" "},
        OptionCase{"override_replaces", 1, L"http://127.0.0.1:8080/n.xml", L"", L"http://127.0.0.1:8080/n.xml", L""},
        OptionCase{"override_visible", 0, L"http://127.0.0.1:8080/n.xml", L"", L"http://127.0.0.1:8080/n.xml",
                   L"/POP "}),
    [](const ::testing::TestParamInfo<OptionCase>& info) { return std::string(info.param.name); });

TEST(StartItems, RecordedInOrderWithTheirValues)
{
    const struct {
        int silent;
        std::wstring channel;
        std::wstring origin;
        std::wstring nx, expectOrigin;
    } cases[] = {
        {1, L"web|gl|official|direct", L"web|gl|official|direct|explorer.exe|a|b|c|d|e|1KB|f", L"0",
         L"web|gl|official|direct|explorer.exe|a|b|c|d|e|1KB|f"},
        {0, L"web|gl|partnerNx|direct", L"", L"1", L"web|gl|partnerNx|direct|null|null|null|null|null|null|null"},
        {0, L"", L"", L"0", L"null|null|null|null|null|null|null|null"},
    };
    for (const auto& c : cases) {
        AppSettings settings;
        settings.silent = c.silent;
        settings.channelName = c.channel;
        RecordedItems sink;
        RecordStartItems(settings, L"id-text", c.origin, sink);
        std::vector<Item> expected = {
            {'i', 0x04001B5C, c.nx},
            {'i', 0x04001B5A, c.silent ? L"1" : L"0"},
            {'t', 0x0200000B, L"A"},
            {'t', 0x04001B70, L"id-text"},
            {'t', 0x04001B63, c.expectOrigin},
        };
        EXPECT_EQ(expected, sink.items) << std::string(c.channel.begin(), c.channel.end());
    }
}

TEST(StartItems, NxChannelIsTheThirdField)
{
    EXPECT_EQ(0, IsNxChannel(L"web|gl|official|direct"));
    EXPECT_EQ(1, IsNxChannel(L"web|gl|partnernx|direct"));
    EXPECT_EQ(1, IsNxChannel(L"a|b|NX"));
    EXPECT_EQ(0, IsNxChannel(L"NX|NX"));
    EXPECT_EQ(0, IsNxChannel(L"nx|b|c|NX"));
    EXPECT_EQ(0, IsNxChannel(L""));
}

struct ServiceCase {
    const char* name;
    int silent;
    std::vector<std::wstring> args;
    bool serviceRunning;
    bool ends;
    bool asksService;
};

class SilentExitTable : public ::testing::TestWithParam<ServiceCase> {};

TEST_P(SilentExitTable, EndsWithThreeAndMarksTheCounter)
{
    const ServiceCase& c = GetParam();
    AppSettings settings;
    settings.silent = c.silent;
    RecordedItems sink;
    bool asked = false;
    bool ends = EndSilentStartOfInstalledProduct(
        settings, c.args, [&] { asked = true; return c.serviceRunning; }, sink);
    EXPECT_EQ(c.ends, ends);
    EXPECT_EQ(c.asksService, asked);
    EXPECT_EQ(c.ends ? 3 : 2, settings.exitCode);
    std::vector<Item> marks;
    if (c.ends) marks.push_back({'m', 0x05002332, L""});
    EXPECT_EQ(marks, sink.items);
}

INSTANTIATE_TEST_SUITE_P(
    Service, SilentExitTable,
    ::testing::Values(ServiceCase{"silent_service_running", 1, {L"/S"}, true, true, true},
                      ServiceCase{"silent_no_service", 1, {L"/S"}, false, false, true},
                      ServiceCase{"visible_never_asks", 0, {}, true, false, false},
                      ServiceCase{"update_switch", 1, {L"/S", L"/Update"}, true, false, false},
                      ServiceCase{"newupdate_any_case", 1, {L"/newupdate", L"/S"}, true, false, false},
                      ServiceCase{"update_prefix_is_no_switch", 1, {L"/S", L"/Updates"}, true, true, true}),
    [](const ::testing::TestParamInfo<ServiceCase>& info) { return std::string(info.param.name); });

}  // namespace
