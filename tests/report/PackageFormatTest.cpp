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

// ---- item semantics -------------------------------------------------------

struct Write {
    enum Op { Int, Text, Mark } op;
    uint32_t id;
    int32_t number;
    const wchar_t* text;
};

struct ItemCase {
    const char* name;
    std::vector<Write> writes;
    const char* expected;  // summary of the body without the channel item
};

std::string Summary(const CBRKBody& body)
{
    std::string out;
    char line[64];
    for (const auto& c : body.Counters()) {
        snprintf(line, sizeof(line), "C%08X=%d;", c.first, c.second);
        out += line;
    }
    for (const auto& l : body.Lists()) {
        snprintf(line, sizeof(line), "L%08X#%u=", l.first, unsigned(l.second.Count()));
        out += line;
        for (int32_t v : l.second.ints) out += std::to_string(v) + ",";
        for (const auto& t : l.second.texts) out += "'" + Narrow(t) + "',";
        out += ";";
    }
    for (const auto& v : body.Values()) {
        if (v.first == kChannelItemId) continue;
        snprintf(line, sizeof(line), "V%08X=", v.first);
        out += line;
        out += v.second.type == kValueInt ? std::to_string(v.second.number) : "'" + Narrow(v.second.text) + "'";
        out += ";";
    }
    return out;
}

TEST(ReportItems, WritesFollowTheClassOfTheirId)
{
    const ItemCase cases[] = {
        {"counter adds", {{Write::Int, 0x05002333, 5}, {Write::Int, 0x05002333, 7}}, "C05002333=12;"},
        {"list appends", {{Write::Int, 0x04001B5A, 5}, {Write::Int, 0x04001B5A, 7}}, "L04001B5A#2=5,7,;"},
        {"value replaces", {{Write::Int, 0x0200000B, 5}, {Write::Int, 0x0200000B, 7}}, "V0200000B=7;"},
        {"mark on a value id stores 1", {{Write::Mark, 0x02000010}}, "V02000010=1;"},
        {"mark counts", {{Write::Mark, 0x0500232D}, {Write::Mark, 0x0500232D}}, "C0500232D=2;"},
        {"text to a counter is dropped", {{Write::Text, 0x05002333, 0, L"x"}}, ""},
        {"ids of the 0x03 range are dropped", {{Write::Int, 0x03000001, 1}, {Write::Text, 0x03FFFFFF, 0, L"x"}}, ""},
        {"ids outside every range are dropped", {{Write::Int, 0x01000001, 1}, {Write::Int, 0x06000000, 1}}, ""},
        {"text list keeps order", {{Write::Text, 0x04001B70, 0, L"b"}, {Write::Text, 0x04001B70, 0, L"a"}},
         "L04001B70#2='b','a',;"},
        {"first type of a value wins", {{Write::Text, 0x0200000B, 0, L"A"}, {Write::Int, 0x0200000B, 3}},
         "V0200000B='A';"},
        {"first type of a list wins", {{Write::Int, 0x04001B60, 1}, {Write::Text, 0x04001B60, 0, L"x"}},
         "L04001B60#1=1,;"},
        {"classes sort by id", {{Write::Int, 0x05000002, 1}, {Write::Int, 0x05000001, 2}, {Write::Int, 0x02000003, 3}},
         "C05000001=2;C05000002=1;V02000003=3;"},
    };
    for (const ItemCase& c : cases) {
        CBRKBody body;
        for (const Write& w : c.writes) {
            if (w.op == Write::Int) body.SetIntItem(w.id, w.number);
            if (w.op == Write::Text) body.SetTextItem(w.id, w.text);
            if (w.op == Write::Mark) body.SetIntItem(w.id, 1);
        }
        EXPECT_EQ(c.expected, Summary(body)) << c.name;
        EXPECT_EQ(std::string(c.expected).empty() ? 0 : 1, body.IsChanged()) << c.name;
    }
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
    uint32_t length = bytes[276] | bytes[277] << 8 | bytes[278] << 16 | uint32_t(bytes[279]) << 24;
    EXPECT_EQ(bytes.size() - 280, length);
    rp::Package package = DecodePackage(place.Folder() + L"\\" + dat[0]);
    EXPECT_EQ("", rp::Utf16ToUtf8(package.FindValue(0x02000005)->text));
}

}  // namespace
