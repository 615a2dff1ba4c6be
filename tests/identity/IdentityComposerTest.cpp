// Reconciling each hardware source with the store, and the rule that decides
// whether the stored hardware id still holds, over a temporary store file.
#include <gtest/gtest.h>

#include <cctype>
#include <memory>

#include "identity/IdentityComposer.h"
#include "identity/HardwareManagerBase.h"
#include "identity/StoreLock.h"
#include "base/MD5Checksum.h"
#include "tests/identity/TestFolders.h"

using namespace guid;

namespace {

std::string V(char c) { return std::string(32, c); }
using List = std::vector<std::string>;

std::string FixedGuid() { return "0123456789ABcdef0123456789ABCDEF"; }

std::string Composed(const std::string& cpu, const std::string& disk, const std::string& mac)
{
    return CMD5Checksum::HexOfText(cpu + disk + mac + "RTS.DTR");
}

IdentityStore LoadStore(const std::wstring& path)
{
    IdentityStore store;
    store.Load(path);
    return store;
}

}  // namespace

TEST(HashSourceValue, IsTheSaltedDigest)
{
    EXPECT_EQ(CMD5Checksum::HexOfText("Intel(R) Core(TM) i5DTR.RTS"), HashSourceValue("Intel(R) Core(TM) i5"));
    EXPECT_EQ("", HashSourceValue(""));
}

TEST(ReconcileSource, CasesOfCurrentAndStoredLists)
{
    struct Case {
        const char* name;
        List stored;
        std::string storedComponent;
        List current;
        std::string value;
        bool isNew;
        List listAfter;
        std::string componentAfter;
        bool written;
    } cases[] = {
        {"nothing anywhere", {}, "", {}, "", true, {}, "", false},
        {"first sighting", {}, "", {V('c'), V('b')}, V('b'), true, {V('b'), V('c')}, V('b'), true},
        {"source gone, component kept", {V('a'), V('b')}, V('b'), {}, V('b'), false, {V('a'), V('b')}, V('b'), false},
        {"source gone, component restored", {V('a'), V('b')}, "", {}, V('a'), false, {V('a'), V('b')}, V('a'), true},
        {"known value among new ones", {V('a'), V('b')}, V('b'), {V('b'), V('c')}, V('b'), false,
         {V('a'), V('b'), V('c')}, V('b'), true},
        {"known value, component restored", {V('a')}, "", {V('a')}, V('a'), false, {V('a')}, V('a'), true},
        {"all current values unknown", {V('a')}, V('a'), {V('c')}, V('c'), true, {V('a'), V('c')}, V('c'), true},
        {"current is part of stored", {V('a'), V('b')}, V('a'), {V('b')}, V('a'), false, {V('a'), V('b')}, V('a'),
         false},
    };
    for (const Case& c : cases) {
        IdentityStore store;
        if (!c.stored.empty()) store.WriteList("config2", c.stored);
        if (!c.storedComponent.empty()) store.WriteValue("config4", "config14", c.storedComponent);
        IdentityStore::Sections before = store.Contents();
        List current = c.current;
        std::sort(current.begin(), current.end());

        ComponentState state = ReconcileSource(store, current, "config2", "config14");
        EXPECT_EQ(c.value, state.value) << c.name;
        EXPECT_EQ(c.isNew, state.isNew) << c.name;
        EXPECT_EQ(c.listAfter, store.ReadList("config2")) << c.name;
        EXPECT_EQ(c.componentAfter, store.ReadValue("config4", "config14")) << c.name;
        EXPECT_EQ(c.written, store.Contents() != before) << c.name;
    }
}

TEST(FormatGuidId, ThirdGroupIsLowerCase)
{
    const unsigned char data4[8] = {0xAB, 0xCD, 0xEF, 0x01, 0x23, 0x45, 0x67, 0x89};
    EXPECT_EQ("0A1B2C3DBEEFabcdABCDEF0123456789", FormatGuidId(0x0A1B2C3D, 0xBEEF, 0xABCD, data4));
}

TEST(NewGuidId, Has32HexCharacters)
{
    const std::string id = NewGuidId();
    ASSERT_EQ(32u, id.size());
    for (size_t i = 0; i < id.size(); ++i) {
        ASSERT_TRUE(std::isxdigit(static_cast<unsigned char>(id[i]))) << id;
        if (std::isalpha(static_cast<unsigned char>(id[i]))) {
            EXPECT_EQ(i >= 12 && i < 16, std::islower(static_cast<unsigned char>(id[i])) != 0) << id;
        }
    }
    EXPECT_NE(id, NewGuidId());
}

class HardwareIdDecision : public ::testing::Test {
protected:
    std::string Run(const SourceValues& values) { return ComputeHardwareId(path_, values, FixedGuid); }
    IdentityStore Store() { return LoadStore(path_); }

    ScratchFolder folder_;
    std::wstring path_ = folder_.File(L"I18N\\conf.db");
    SourceValues machine_{{V('1')}, {V('2')}, {V('3')}};
};

TEST_F(HardwareIdDecision, FirstRunWritesAllComponentsAndLists)
{
    const std::string id = Run(machine_);
    EXPECT_EQ(Composed(V('1'), V('2'), V('3')), id);
    IdentityStore store = Store();
    EXPECT_EQ(id, store.ReadValue("config4", "config11"));
    EXPECT_EQ(V('3'), store.ReadValue("config4", "config12"));
    EXPECT_EQ(V('1'), store.ReadValue("config4", "config13"));
    EXPECT_EQ(V('2'), store.ReadValue("config4", "config14"));
    EXPECT_EQ(IdentityStore::IntegrityValue(store.Contents()), store.ReadValue("config4", "config15"));
    EXPECT_EQ(List{V('1')}, store.ReadList("config1"));
    EXPECT_EQ(List{V('2')}, store.ReadList("config2"));
    EXPECT_EQ(List{V('3')}, store.ReadList("config3"));
    EXPECT_EQ(id, Run(machine_));
}

TEST_F(HardwareIdDecision, NewAdapterAloneKeepsTheId)
{
    const std::string id = Run(machine_);
    SourceValues changed = machine_;
    changed.mac = {V('9')};
    EXPECT_EQ(id, Run(changed));
    EXPECT_EQ((List{V('3'), V('9')}), Store().ReadList("config3"));
}

TEST_F(HardwareIdDecision, NewDiskMakesANewIdAndIsRemembered)
{
    const std::string id = Run(machine_);
    SourceValues changed = machine_;
    changed.disk = {V('8')};
    const std::string newId = Run(changed);
    EXPECT_NE(id, newId);
    EXPECT_EQ(Composed(V('1'), V('8'), V('3')), newId);
    EXPECT_EQ((List{V('2'), V('8')}), Store().ReadList("config2"));
    // Putting the old disk back is no longer news: the id stays.
    EXPECT_EQ(newId, Run(machine_));
}

TEST_F(HardwareIdDecision, NewProcessorAndAdapterTogetherMakeANewId)
{
    const std::string id = Run(machine_);
    SourceValues changed = machine_;
    changed.cpu = {V('7')};
    EXPECT_EQ(id, Run(changed));  // processor alone: the id stays
    changed.cpu = {V('6')};
    changed.mac = {V('5')};
    EXPECT_NE(id, Run(changed));
}

TEST_F(HardwareIdDecision, NoDiskAndNoAdapterKeepsTheStoredId)
{
    const std::string id = Run(machine_);
    EXPECT_EQ(id, Run(SourceValues{{V('1')}, {}, {}}));
    EXPECT_EQ(id, Run(SourceValues{}));
}

TEST_F(HardwareIdDecision, NoDiskAndNoAdapterOnAFirstRunGivesAGuidId)
{
    EXPECT_EQ(FixedGuid(), Run(SourceValues{{V('1')}, {}, {}}));
    EXPECT_EQ(FixedGuid(), Store().ReadValue("config4", "config11"));
    EXPECT_EQ(FixedGuid(), ComputeHardwareId(path_, SourceValues{{V('1')}, {}, {}}, NewGuidId));
}

TEST_F(HardwareIdDecision, ShortStoredIdIsIgnored)
{
    const std::string id = Run(SourceValues{{V('1')}, {}, {}});
    // Shorten the stored id by hand and re-seal the file so only the length rule applies.
    IdentityStore store = Store();
    IdentityStore::Sections sections = store.Contents();
    sections["config4"].erase("config11");
    sections["config4"]["config15"] = IdentityStore::IntegrityValue(sections);
    sections["config4"]["config11"] = std::string(31, 'a');
    HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    const std::string text = IdentityStore::Serialise(sections);
    DWORD written = 0;
    WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr);
    CloseHandle(file);

    auto otherGuid = [] { return std::string("FEDCBA9876543210fedcBA9876543210"); };
    EXPECT_EQ(otherGuid(), ComputeHardwareId(path_, SourceValues{{V('1')}, {}, {}}, otherGuid));
    EXPECT_NE(id, otherGuid());
    EXPECT_EQ(List{V('1')}, Store().ReadList("config1"));  // the rest of the store was kept
}

TEST_F(HardwareIdDecision, AlteredStoreStartsAfresh)
{
    Run(machine_);
    IdentityStore store = Store();
    IdentityStore::Sections sections = store.Contents();
    sections["config4"]["config11"] = V('0');  // edited without re-sealing
    HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    const std::string text = IdentityStore::Serialise(sections);
    DWORD written = 0;
    WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr);
    CloseHandle(file);

    SourceValues other{{V('a')}, {V('b')}, {V('c')}};
    EXPECT_EQ(Composed(V('a'), V('b'), V('c')), Run(other));
    EXPECT_EQ(List{V('b')}, Store().ReadList("config2"));  // the old disk is forgotten
}

std::string FileText(const std::wstring& path)
{
    std::string text;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read) text.append(buffer, read);
    CloseHandle(file);
    return text;
}

TEST_F(HardwareIdDecision, StoreThatCouldNotBeLoadedIsNotSaved)
{
    const std::string id = Run(machine_);
    const std::string before = FileText(path_);
    ASSERT_FALSE(before.empty());

    // Another program holds the store while we load and lets go before we
    // would save: our empty-based store must not replace the file.
    auto other = std::make_unique<StoreLock>(L"conf.db");
    ASSERT_TRUE(other->Held());
    SourceValues newDisk = machine_;
    newDisk.disk = {V('8')};
    bool releasedAfterLoad = false;
    const std::string unsaved = ComputeHardwareId(path_, newDisk, FixedGuid, [&] {
        other.reset();
        releasedAfterLoad = true;
    });
    EXPECT_TRUE(releasedAfterLoad);
    EXPECT_EQ(Composed(V('1'), V('8'), V('3')), unsaved);  // still computed, from memory
    EXPECT_EQ(before, FileText(path_));
    EXPECT_EQ(id, Store().ReadValue("config4", "config11"));
}
