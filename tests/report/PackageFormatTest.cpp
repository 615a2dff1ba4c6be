// Item semantics and the exact bytes of report packages.
#include <gtest/gtest.h>

#include <cstring>

#include "ReportTestSupport.h"
#include "report/BRKBody.h"
#include "report/BRKHeader.h"
#include "report/Filebase.h"
#include "report/ReportLocations.h"
#include "report/ReportQueue.h"

namespace {

std::vector<uint8_t> Serialized(Component& part)
{
    uint32_t length = 0;
    EXPECT_EQ(0, part.Serialize(nullptr, &length));
    std::vector<uint8_t> bytes(length);
    EXPECT_EQ(1, part.Serialize(bytes.data(), &length));
    EXPECT_EQ(bytes.size(), length);
    return bytes;
}

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> pieces)
{
    std::vector<uint8_t> all;
    for (const auto& piece : pieces) all.insert(all.end(), piece.begin(), piece.end());
    return all;
}

// The channel record for a short ASCII channel text.
std::vector<uint8_t> ChannelRecord(const std::string& channel)
{
    std::vector<uint8_t> bytes = {0x01, 0x00, 0x00, 0x02, 0x07, uint8_t(channel.size()), 0x00};
    for (char c : channel) {
        bytes.push_back(uint8_t(c));
        bytes.push_back(0);
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

CBRKBody BodyWithChannel(const std::wstring& channel)
{
    CBRKBody body;
    body.ApplyParam(CBRKParam(L"http://x/", L"1.0.0.0", channel));
    return body;
}

// ---- item semantics (the id table runs through the report functions in
// ReportFlowTest) --------------------------------------------------------------

std::string Summary(const CBRKBody& body)
{
    std::string out;
    char line[64];
    for (const auto& c : body.Counters()) {
        snprintf(line, sizeof(line), "C%08X=%d;", c.first, c.second);
        out += line;
    }
    return out;
}

TEST(ReportItems, IncrementTouchesCountersOnly)
{
    CBRKBody body;
    EXPECT_EQ(1, body.Increment(0x05002334));
    EXPECT_EQ(0, body.Increment(0x04001B5A));
    EXPECT_EQ(0, body.Increment(0x0200000B));
    EXPECT_EQ("C05002334=1;", Summary(body));
}

TEST(ReportItems, ListStopsAtItsSixteenBitCount)
{
    CBRKBody body;
    for (int i = 0; i < 65536; ++i) body.SetIntItem(0x04001B60, i);
    ASSERT_EQ(65535u, body.Lists().at(0x04001B60).Count());
    std::vector<uint8_t> bytes = Serialized(body);
    EXPECT_EQ(0xFF, bytes[9]);
    EXPECT_EQ(0xFF, bytes[10]);
}

// ---- body bytes -------------------------------------------------------------

TEST(PackageBody, WorkedExample)
{
    CBRKBody body = BodyWithChannel(L"web|gl");
    body.SetIntItem(0x05002333, 1);
    body.SetTextItem(0x0200000B, L"A");
    std::vector<uint8_t> expected = Concat({{0x33, 0x23, 0x00, 0x05, 0x01, 0x00, 0x00, 0x00},
                                            ChannelRecord("web|gl"),
                                            {0x0B, 0x00, 0x00, 0x02, 0x07, 0x01, 0x00, 0x41, 0x00, 0x00, 0x00}});
    EXPECT_EQ(expected, Serialized(body));
}

TEST(PackageBody, EmptyReportCarriesTheChannelOnly)
{
    CBRKBody body = BodyWithChannel(L"c");
    EXPECT_EQ(ChannelRecord("c"), Serialized(body));
}

TEST(PackageBody, EmptyTexts)
{
    CBRKBody body = BodyWithChannel(L"c");
    body.SetTextItem(0x04001B63, L"");
    body.SetTextItem(0x02000002, L"");
    std::vector<uint8_t> expected = Concat({
        {0x63, 0x1B, 0x00, 0x04, 0x03, 0x06, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00},
        ChannelRecord("c"),
        {0x02, 0x00, 0x00, 0x02, 0x07, 0x00, 0x00, 0x00, 0x00},
    });
    EXPECT_EQ(expected, Serialized(body));
}

TEST(PackageBody, IntegerListAndValueRecords)
{
    CBRKBody body = BodyWithChannel(L"c");
    body.SetIntItem(0x04001B5A, -1);
    body.SetIntItem(0x04001B5A, 2);
    body.SetIntItem(0x02000003, 0x01020304);
    std::vector<uint8_t> expected = Concat({
        {0x5A, 0x1B, 0x00, 0x04, 0x04, 0x0A, 0x00, 0x00, 0x00, 0x02, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x00, 0x00,
         0x00},
        ChannelRecord("c"),
        {0x03, 0x00, 0x00, 0x02, 0x08, 0x04, 0x03, 0x02, 0x01},
    });
    EXPECT_EQ(expected, Serialized(body));
}

TEST(PackageBody, TextsLongerThanSixteenBitsAreCut)
{
    CBRKBody body = BodyWithChannel(L"c");
    body.SetTextItem(0x02000002, std::wstring(70000, L'x'));
    body.SetTextItem(0x04001B70, std::wstring(65536, L'y'));
    std::vector<uint8_t> bytes = Serialized(body);
    // list record: id, type, length, count, then the text's length field
    EXPECT_EQ(0xFF, bytes[11]);
    EXPECT_EQ(0xFF, bytes[12]);
    uint32_t listLength = bytes[5] | bytes[6] << 8 | bytes[7] << 16 | uint32_t(bytes[8]) << 24;
    EXPECT_EQ(2u + 2 * 65535 + 4, listLength);
    rp::Package package;
    std::vector<uint8_t> file(280 + bytes.size(), 0);
    uint32_t bodyLength = uint32_t(bytes.size());
    memcpy(&file[276], &bodyLength, 4);
    file[10] = 1;  // month and day, so the header reads as a real one
    file[12] = 1;
    memcpy(&file[280], bytes.data(), bytes.size());
    std::string error;
    ASSERT_TRUE(rp::ReadPackage(file, package, error)) << error;
    EXPECT_EQ(65535u, package.FindValue(0x02000002)->text.size());
    EXPECT_EQ(65535u, package.FindList(0x04001B70)->texts[0].size());
}

TEST(PackageBody, CutNeverSplitsASurrogatePair)
{
    const std::wstring pair = L"\xD83D\xDE00";  // one character outside the BMP
    struct {
        const char* name;
        std::wstring text;
        size_t kept;
    } cases[] = {
        {"pair across the limit", std::wstring(65534, L'x') + pair + L"yy", 65534},
        {"pair ends at the limit", std::wstring(65533, L'x') + pair + L"yy", 65535},
        {"plain text", std::wstring(65540, L'x'), 65535},
        {"short text with a pair", L"a" + pair, 3},
    };
    for (const auto& c : cases) {
        CBRKBody body = BodyWithChannel(L"c");
        body.SetTextItem(0x02000002, c.text);
        const std::wstring& stored = body.Values().at(0x02000002).text;
        EXPECT_EQ(c.kept, stored.size()) << c.name;
        EXPECT_EQ(c.text.substr(0, c.kept), stored) << c.name;
        EXPECT_EQ(c.kept, CutText(c.text).size()) << c.name;
    }
}

TEST(PackageBody, SizeFollowsTheWritesAndMatchesTheBytes)
{
    CBRKBody body = BodyWithChannel(L"chan");
    EXPECT_EQ(Serialized(body).size(), body.PackageSize());
    struct Step {
        uint32_t id;
        const wchar_t* text;  // null: an integer write
        uint64_t growth;
    } steps[] = {
        {0x05002333, nullptr, 8}, {0x05002333, nullptr, 0},    {0x04001B5A, nullptr, 15}, {0x04001B5A, nullptr, 4},
        {0x04001B70, L"abc", 21}, {0x04001B70, L"", 4},         {0x0200000B, L"A", 11},   {0x0200000B, L"ABC", 4},
        {0x0200000B, L"", 0},     {0x0200000C, nullptr, 9},     {0x02000001, L"x", 0},    {0x03000000, nullptr, 0},
        {0x05002334, L"t", 0},    {0x04001B5A, L"mixed", 0},
    };
    for (const Step& step : steps) {
        const uint64_t growth = step.text ? body.GrowthOfText(step.id, step.text) : body.GrowthOfInt(step.id);
        EXPECT_EQ(step.growth, growth) << std::hex << step.id;
        if (step.text)
            body.SetTextItem(step.id, step.text);
        else
            body.SetIntItem(step.id, 7);
        EXPECT_EQ(Serialized(body).size(), body.PackageSize()) << std::hex << step.id;
    }
    body.Clear();
    EXPECT_EQ(Serialized(body).size(), body.PackageSize());
}

// ---- header -----------------------------------------------------------------

void WINAPI FixedClock(SYSTEMTIME* time)
{
    *time = SYSTEMTIME();
    time->wYear = 2024;
    time->wMonth = 2;
    time->wDay = 29;
    time->wHour = 23;
    time->wMinute = 58;
    time->wSecond = 7;
}

TEST(PackageHeader, VersionParsing)
{
    struct {
        const wchar_t* text;
        HeaderVersion expected;
    } cases[] = {
        {L"4.0.0.1", {4, 0, 0, 1}},
        {L"3.1", {3, 1, 0, 0}},
        {L"7", {7, 0, 0, 0}},
        {L"", {0, 0, 0, 0}},
        {L"1.2.3.4.5", {1, 2, 3, 4}},
        {L"5.06.7b.8", {5, 6, 7, 8}},
        {L"a.b.c.d", {0, 0, 0, 0}},
        {L"2.0.1.65535", {2, 0, 1, 65535}},
        {L"2.0.1.65536", {2, 0, 1, 65535}},
        {L"2.0.1.4294967296", {2, 0, 1, 65535}},
        {L"1..3.", {1, 0, 3, 0}},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, ParseHeaderVersion(c.text)) << Narrow(c.text);
}

TEST(PackageHeader, LayoutWithFixedTime)
{
    TempReportPlace place;  // no version override in this registry base
    CBRKHeader header("0123456789abcdef0123456789abcdef");
    header.SetClock(FixedClock);
    header.ApplyParam(CBRKParam(L"http://x/", L"4.0.70000.70000", L"c"));
    std::vector<uint8_t> bytes = Serialized(header);
    ASSERT_EQ(280u, bytes.size());
    const uint8_t expectedStart[] = {4, 0, 0, 0, 0x70, 0x11, 0xFF, 0xFF, 0xE8, 0x07, 2, 0, 29, 0, 23, 0, 58, 0, 7, 0};
    EXPECT_EQ(0, memcmp(expectedStart, bytes.data(), sizeof(expectedStart)));
    EXPECT_EQ('{', bytes[20]);
    EXPECT_EQ('0', bytes[22]);
    EXPECT_EQ('}', bytes[20 + 2 * 33]);
    EXPECT_EQ('M', bytes[20 + 2 * 127]);
    EXPECT_EQ(0, bytes[276] | bytes[277] | bytes[278] | bytes[279]);
    EXPECT_EQ(0, header.IsChanged());
}

TEST(PackageHeader, IdentityFieldMarker)
{
    struct {
        size_t length;
        bool marker;
        size_t closingAt;
    } cases[] = {{0, true, 1}, {32, true, 33}, {124, true, 125}, {125, false, 126}, {200, false, 126}};
    for (const auto& c : cases) {
        IdentityField field = MakeIdentityField(std::string(c.length, 'a'));
        EXPECT_EQ('{', field[0]) << c.length;
        EXPECT_EQ('}', field[c.closingAt]) << c.length;
        EXPECT_EQ(c.marker ? 'M' : 0, field[127]) << c.length;
        for (size_t i = c.closingAt + 1; i < 127; ++i) ASSERT_EQ(0, field[i]) << c.length << " at " << i;
    }
}

TEST(PackageHeader, RegistryVersionOverride)
{
    TempReportPlace place;
    ASSERT_TRUE(WriteQueueValue(TestKeyPath(), L"version", L"9.8.7.6"));
    CBRKHeader header("id");
    header.ApplyParam(CBRKParam(L"http://x/", L"1.2.3.4", L"c"));
    EXPECT_EQ((HeaderVersion{9, 8, 7, 6}), header.Version());
}

TEST(PackageHeader, EmptyVersionCountsAsZeros)
{
    TempReportPlace place;
    CBRKHeader header("id");
    CBRKParam param;
    param.uploadUrl = L"http://x/";
    param.channel = L"c";
    header.ApplyParam(param);
    EXPECT_EQ((HeaderVersion{0, 0, 0, 0}), header.Version());
}

// ---- package files ---------------------------------------------------------

TEST(PackageFile, BodyLengthMatchesTheFileAfterSeveralRewrites)
{
    TempReportPlace place;
    CBRKFileImpl report("identity");
    report.ApplyParam(CBRKParam(L"http://127.0.0.1:1/x", L"4.0.0.1", L"web|gl|official|direct"));
    // Each save rewrites the open file from its start; the last one is the shortest.
    const std::wstring texts[] = {std::wstring(300, L'l'), std::wstring(40, L'm'), L"s", L""};
    for (const std::wstring& text : texts) {
        report.PostText(0x02000005, text.c_str());
        ASSERT_EQ(1, report.SaveNow(0));
    }
    report.Close();
    std::vector<std::wstring> dat = FilesIn(place.Folder(), L"*.dat");
    ASSERT_EQ(1u, dat.size());
    std::vector<uint8_t> bytes = ReadBytes(place.Folder() + L"\\" + dat[0]);
    ASSERT_GE(bytes.size(), 280u);
    // The last body: the channel record (9 + 2 * 22 bytes) and the empty text
    // of 0x02000005 (9 bytes); nothing of the longer earlier writes remains.
    const uint32_t expectedBody = (9 + 2 * 22) + 9;
    uint32_t stored = bytes[276] | bytes[277] << 8 | bytes[278] << 16 | uint32_t(bytes[279]) << 24;
    EXPECT_EQ(expectedBody, stored);
    EXPECT_EQ(280u + expectedBody, bytes.size());
    rp::Package package = DecodePackage(place.Folder() + L"\\" + dat[0]);
    EXPECT_EQ("", rp::Utf16ToUtf8(package.FindValue(0x02000005)->text));
}

}  // namespace
