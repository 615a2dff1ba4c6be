// The installation identity string from made-up adapters, serials, SIDs and
// stored values, and the stored values in a scratch registry key.
#include <gtest/gtest.h>

#include <cwctype>
#include <map>
#include <regex>
#include <stdexcept>

#include "app/InstallIdentity.h"
#include "app/InstallIdentityParts.h"
#include "tests/identity/TestFolders.h"

namespace {

const wchar_t kSid[] = L"S-1-5-21-1004336348-1177238915-682003330-1001";
const wchar_t kGuid[] = L"6f1c3a52-0d4e-4b7a-9c21-5e8f0a7b3d19";

// Stored values in memory; every opened store sees the same map.
class MemoryStore : public IInstallValueStore {
public:
    explicit MemoryStore(std::shared_ptr<std::map<std::wstring, std::wstring>> values) : values_(std::move(values)) {}
    std::wstring Read(const wchar_t* name) override
    {
        auto found = values_->find(name);
        return found == values_->end() ? std::wstring() : found->second;
    }
    bool Write(const wchar_t* name, const std::wstring& value) override
    {
        (*values_)[name] = value;
        return true;
    }

private:
    std::shared_ptr<std::map<std::wstring, std::wstring>> values_;
};

guid::AdapterRecord Wired(const char* address)
{
    guid::AdapterRecord record;
    record.address = address;
    return record;
}

guid::AdapterRecord Wireless(const char* address)
{
    guid::AdapterRecord record = Wired(address);
    record.wireless = true;
    return record;
}

struct Machine {
    std::wstring diskSerial = L"WD-WCC4N7KXR1D0";
    std::vector<guid::AdapterRecord> adapters;
    std::wstring sid = kSid;
    std::map<std::wstring, std::wstring> stored = {{kStoredGuidName, kGuid}};
};

struct Outcome {
    std::wstring text;
    bool storedId;
    std::map<std::wstring, std::wstring> stored;
};

Outcome Compose(const Machine& machine, size_t bufferChars = 260, bool makeUserPart = true)
{
    auto stored = std::make_shared<std::map<std::wstring, std::wstring>>(machine.stored);
    InstallIdentityEnvironment environment;
    environment.firstDiskSerial = [&] { return machine.diskSerial; };
    environment.adapters = [&] { return machine.adapters; };
    environment.userSid = [&] { return machine.sid; };
    environment.openStore = [stored] { return std::unique_ptr<IInstallValueStore>(new MemoryStore(stored)); };
    environment.newUuid = [] { return std::wstring(L"00000000-1111-2222-3333-444444444444"); };
    InstallIdentityResult result = ComposeInstallIdentity(environment, bufferChars, makeUserPart);
    return {result.text, result.storedId, *stored};
}

}  // namespace

TEST(InstallIdentity, StringsForTheAdaptersAMachineMayHave)
{
    struct Case {
        const char* name;
        std::vector<guid::AdapterRecord> adapters;
        std::wstring expected;
        std::wstring storedId;
    } cases[] = {
        {"two wired: greatest in the adapter part, first in the user part",
         {Wired("001122334455"), Wired("AABBCCDDEEFF")},
         std::wstring(L"WD-WCC4N-AABBCCDDEEFF!") + kGuid + L"@#001122334455",
         std::wstring(kSid) + L"#001122334455"},
        {"wireless listed before wired",
         {Wireless("FFFFFFFFFFFF"), Wired("0A0B0C0D0E0F")},
         std::wstring(L"WD-WCC4N-0A0B0C0D0E0F!") + kGuid + L"@#0A0B0C0D0E0F",
         std::wstring(kSid) + L"#0A0B0C0D0E0F"},
        {"wireless only: the first one in both places",
         {Wireless("112233445566"), Wireless("FFEEDDCCBBAA")},
         std::wstring(L"WD-WCC4N-112233445566!") + kGuid + L"@#112233445566",
         std::wstring(kSid) + L"#112233445566"},
        {"no adapter: the SID alone", {},
         std::wstring(L"WD-WCC4N-000000000000!") + kGuid + L"@" + kSid, kSid},
    };
    for (const Case& c : cases) {
        Machine machine;
        machine.adapters = c.adapters;
        Outcome outcome = Compose(machine);
        EXPECT_EQ(c.expected, outcome.text) << c.name;
        EXPECT_TRUE(outcome.storedId) << c.name;
        EXPECT_EQ(c.storedId, outcome.stored[kStoredIdName]) << c.name;
    }
}

TEST(InstallIdentity, ShortUserPartIsNotStoredAndALongerStoredOneIsUsed)
{
    Machine machine;
    machine.sid = L"S-1-5-18";  // 8 characters, no adapter: too short to keep
    Outcome fresh = Compose(machine);
    EXPECT_EQ(std::wstring(L"WD-WCC4N-000000000000!") + kGuid + L"@S-1-5-18", fresh.text);
    EXPECT_FALSE(fresh.storedId);
    EXPECT_EQ(0u, fresh.stored.count(kStoredIdName));

    machine.stored[kStoredIdName] = L"S-1-5-21-9-9-9-1000#CAFEBABE0001";
    Outcome recalled = Compose(machine);
    EXPECT_EQ(std::wstring(L"WD-WCC4N-000000000000!") + kGuid + L"@#CAFEBABE0001", recalled.text);
    EXPECT_TRUE(recalled.storedId);
    EXPECT_EQ(L"S-1-5-21-9-9-9-1000#CAFEBABE0001", recalled.stored[kStoredIdName]);
}

TEST(InstallIdentity, UnknownSidGivesTheFillInUserPart)
{
    Machine machine;
    machine.sid.clear();
    machine.adapters = {Wired("001122334455")};
    Outcome outcome = Compose(machine);
    EXPECT_EQ(std::wstring(L"WD-WCC4N-001122334455!") + kGuid + L"@#0000", outcome.text);
    EXPECT_FALSE(outcome.storedId);
}

TEST(InstallIdentity, FailedImpersonationFallsBackToTheStoredUserPart)
{
    Machine machine;
    machine.adapters = {Wired("001122334455")};
    EXPECT_EQ(std::wstring(L"WD-WCC4N-001122334455!") + kGuid + L"@", Compose(machine, 260, false).text);
    machine.stored[kStoredIdName] = std::wstring(kSid) + L"#001122334455";
    Outcome outcome = Compose(machine, 260, false);
    EXPECT_EQ(std::wstring(L"WD-WCC4N-001122334455!") + kGuid + L"@#001122334455", outcome.text);
    EXPECT_TRUE(outcome.storedId);
}

TEST(InstallIdentity, MissingGuidIsMadeOnceAndKept)
{
    Machine machine;
    machine.stored.clear();
    Outcome outcome = Compose(machine);
    EXPECT_EQ(L"00000000-1111-2222-3333-444444444444", outcome.stored[kStoredGuidName]);
    EXPECT_NE(std::wstring::npos, outcome.text.find(L"!00000000-1111-2222-3333-444444444444@"));
}

TEST(InstallIdentity, DiskPartNeedsEightCharacters)
{
    struct Case {
        const wchar_t* serial;
        const wchar_t* part;
    } cases[] = {{L"", L"00000000"}, {L"1234567", L"00000000"}, {L"12345678", L"12345678"},
                 {L"S3Z9NB0K123456", L"S3Z9NB0K"}};
    for (const Case& c : cases) EXPECT_EQ(c.part, MakeDiskPart(c.serial)) << c.serial;
}

TEST(InstallIdentity, UserPartThatDoesNotFitTheBufferIsReplaced)
{
    std::vector<guid::AdapterRecord> adapters = {Wired("001122334455")};
    EXPECT_EQ(std::wstring(kSid) + L"#001122334455", MakeUserPart(kSid, adapters, 260));
    EXPECT_EQ(L"0000-0000-0000#0000", MakeUserPart(kSid, adapters, 40));
    EXPECT_EQ(L"", MakeUserPart(kSid, adapters, 19));
    EXPECT_EQ(L"0000-0000-0000#0000", MakeUserPart(L"", adapters, 20));
}

TEST(InstallIdentity, TextIsCutToTheBuffer)
{
    wchar_t buffer[16];
    std::fill(std::begin(buffer), std::end(buffer), L'#');
    EXPECT_FALSE(CopyToBuffer(L"0123456789ABCDEFGHIJ", buffer, 16));
    EXPECT_EQ(std::wstring(L"0123456789ABCDE"), buffer);
    EXPECT_TRUE(CopyToBuffer(L"short", buffer, 16));
    EXPECT_EQ(std::wstring(L"short"), buffer);
    EXPECT_FALSE(CopyToBuffer(L"x", buffer, 0));
}

TEST(InstallIdentityStore, RegistryValuesAreWrittenAndReadBack)
{
    ScratchRegistryKey key;
    CRegistryValueStore store(HKEY_CURRENT_USER, key.Path() + L"\\Nuvex Security\\Brisko");
    ASSERT_TRUE(store.IsOpen());
    EXPECT_EQ(L"", store.Read(kStoredIdName));
    EXPECT_TRUE(store.Write(kStoredIdName, L"S-1-5-21-1-2-3-1001#001122334455"));
    EXPECT_EQ(L"S-1-5-21-1-2-3-1001#001122334455", store.Read(kStoredIdName));
}

TEST(InstallIdentityStore, ValuesThatAreNotTextOrTooLongReadAsMissing)
{
    ScratchRegistryKey key;
    DWORD number = 7;
    RegSetValueExW(key.Key(), kStoredGuidName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
    const std::wstring huge(400, L'x');
    key.SetText(L"", kStoredIdName, huge);
    CRegistryValueStore store(HKEY_CURRENT_USER, key.Path());
    EXPECT_EQ(L"", store.Read(kStoredGuidName));
    EXPECT_EQ(L"", store.Read(kStoredIdName));
}

// Disk part: any eight characters of the serial (a serial may hold "-").
bool HasIdentityShape(const std::wstring& text)
{
    static const std::wregex shape(L".{8}-[0-9A-F]{12}![0-9a-f-]{36}@.*");
    return std::regex_match(text, shape);
}

TEST(InstallIdentity, ShapeOfTheStringForFixtureAndRealSerials)
{
    Machine machine;  // its serial has "-" among the first eight characters
    machine.stored[kStoredGuidName] = kGuid;
    machine.adapters = {Wired("001122334455")};
    const std::wstring fixture = Compose(machine).text;
    EXPECT_TRUE(HasIdentityShape(fixture)) << std::string(fixture.begin(), fixture.end());
    machine.diskSerial = L"S3Z9NB0K123456";
    const std::wstring plain = Compose(machine).text;
    EXPECT_TRUE(HasIdentityShape(plain)) << std::string(plain.begin(), plain.end());
    EXPECT_FALSE(HasIdentityShape(L"WD-WCC4N-001122334455" + std::wstring(kGuid)));  // no "!" before the GUID
}

TEST(InstallIdentity, ThisMachineGivesAWellFormedString)
{
    ScratchRegistryKey key;
    InstallIdentityEnvironment environment;
    environment.openStore = [&] {
        return std::unique_ptr<IInstallValueStore>(new CRegistryValueStore(HKEY_CURRENT_USER, key.Path()));
    };
    InstallIdentityResult result = ComposeInstallIdentity(environment, 260);
    EXPECT_TRUE(HasIdentityShape(result.text)) << std::string(result.text.begin(), result.text.end());
    EXPECT_LT(result.text.size(), 260u);
    CRegistryValueStore store(HKEY_CURRENT_USER, key.Path());
    EXPECT_EQ(36u, store.Read(kStoredGuidName).size());
}

namespace {
// An impersonation token of this process's own user.
HANDLE OwnImpersonationToken()
{
    HANDLE process = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_IMPERSONATE, &process))
        return nullptr;
    HANDLE token = nullptr;
    if (!DuplicateToken(process, SecurityImpersonation, &token)) token = nullptr;
    CloseHandle(process);
    return token;
}

bool ThreadIsImpersonating()
{
    HANDLE token = nullptr;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) return false;
    CloseHandle(token);
    return true;
}

bool HandleIsOpen(HANDLE handle)
{
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != FALSE;
}
}  // namespace

TEST(InstallIdentity, FailureWhileImpersonatingRevertsAndClosesOwnToken)
{
    struct Case {
        const char* name;
        bool callerGivesToken;  // else the interactive-user token is ours to close
    } cases[] = {{"token of the caller", true}, {"interactive user's token", false}};
    for (const Case& c : cases) {
        HANDLE token = OwnImpersonationToken();
        ASSERT_NE(nullptr, token) << c.name;
        bool impersonatedInside = false;
        InstallIdentityEnvironment environment;
        environment.interactiveUserToken = [&] { return token; };
        environment.userSid = [&]() -> std::wstring {
            impersonatedInside = ThreadIsImpersonating();
            throw std::runtime_error("account lookup failed");
        };
        EXPECT_THROW(BuildFullInstallIdentity(environment, c.callerGivesToken ? token : nullptr, 260),
                     std::runtime_error)
            << c.name;
        EXPECT_TRUE(impersonatedInside) << c.name;
        EXPECT_FALSE(ThreadIsImpersonating()) << c.name;
        EXPECT_EQ(c.callerGivesToken, HandleIsOpen(token)) << c.name;
        if (c.callerGivesToken) CloseHandle(token);
    }
}
