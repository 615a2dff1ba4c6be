// The identity store file: loading, the 32-character rule, the integrity
// value, saving and the lock shared with other processes.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "identity/IdentityStore.h"
#include "identity/StoreLock.h"
#include "tests/identity/TestFolders.h"

using namespace guid;

namespace {

std::string Value(char c) { return std::string(32, c); }

std::string ReadFileText(const std::wstring& path)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

void WriteFileText(const std::wstring& path, const std::string& text)
{
    std::ofstream file(path.c_str(), std::ios::binary | std::ios::trunc);
    file << text;
}

bool FileExists(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

TEST(IdentityStore, MissingFileIsAnEmptyStore)
{
    ScratchFolder folder;
    IdentityStore store;
    EXPECT_TRUE(store.Load(folder.File(L"conf.db")));
    EXPECT_FALSE(store.HasValues());
    EXPECT_EQ("", store.ReadValue("config4", "config11"));
    EXPECT_TRUE(store.ReadList("config1").empty());
}

TEST(IdentityStore, SavedValuesAndListsComeBackWithTheIntegrityValue)
{
    ScratchFolder folder;
    const std::wstring path = folder.File(L"Nuvex\\Common\\I18N\\conf.db");  // folders made on save
    IdentityStore store;
    ASSERT_TRUE(store.Load(path));
    store.WriteList("config2", {Value('1'), Value('2'), Value('3')});
    store.WriteValue("config4", "config11", Value('f'));
    ASSERT_TRUE(store.Save());
    EXPECT_FALSE(store.IsDirty());

    IdentityStore again;
    ASSERT_TRUE(again.Load(path));
    EXPECT_EQ((std::vector<std::string>{Value('1'), Value('2'), Value('3')}), again.ReadList("config2"));
    EXPECT_EQ(Value('f'), again.ReadValue("config4", "config11"));
    EXPECT_EQ(IdentityStore::IntegrityValue(again.Contents()), again.ReadValue("config4", "config15"));
    const std::string text = ReadFileText(path);
    EXPECT_NE(std::string::npos, text.find("[config2]\r\na=" + Value('1') + "\r\nb=" + Value('2')));
    EXPECT_FALSE(FileExists(path + L".tmp"));
}

TEST(IdentityStore, EntriesThatAreNot32CharactersAreDropped)
{
    ScratchFolder folder;
    const std::wstring path = folder.File(L"conf.db");
    IdentityStore::Sections valid;
    valid["config1"]["a"] = Value('a');
    valid["config4"]["config13"] = Value('a');
    std::string text = "[config1]\r\na=" + Value('a') + "\r\n";
    text += "[config2]\r\na=" + std::string(31, 'b') + "\r\nb=" + std::string(33, 'b') + "\r\n";
    text += "[config4]\r\nconfig13=" + Value('a') + "\r\nconfig15=" + IdentityStore::IntegrityValue(valid) + "\r\n";
    WriteFileText(path, text);

    IdentityStore store;
    ASSERT_TRUE(store.Load(path));
    EXPECT_TRUE(store.ReadList("config2").empty());
    EXPECT_EQ((std::vector<std::string>{Value('a')}), store.ReadList("config1"));
    EXPECT_EQ(Value('a'), store.ReadValue("config4", "config13"));
}

TEST(IdentityStore, HandEditedValueEmptiesTheStore)
{
    ScratchFolder folder;
    const std::wstring path = folder.File(L"conf.db");
    {
        IdentityStore store;
        store.Load(path);
        store.WriteList("config3", {Value('3')});
        store.WriteValue("config4", "config11", Value('c'));
        ASSERT_TRUE(store.Save());
    }
    std::string text = ReadFileText(path);
    text.replace(text.find(Value('c')), 32, Value('d'));
    WriteFileText(path, text);

    IdentityStore store;
    ASSERT_TRUE(store.Load(path));
    EXPECT_FALSE(store.HasValues());
}

TEST(IdentityStore, StoreWithoutIntegrityValueGetsOne)
{
    ScratchFolder folder;
    const std::wstring path = folder.File(L"conf.db");
    WriteFileText(path, "[config4]\r\nconfig11=" + Value('e') + "\r\n");
    IdentityStore store;
    ASSERT_TRUE(store.Load(path));
    EXPECT_EQ(Value('e'), store.ReadValue("config4", "config11"));
    EXPECT_EQ(IdentityStore::IntegrityValue(store.Contents()), store.ReadValue("config4", "config15"));
    EXPECT_TRUE(store.IsDirty());
}

TEST(IdentityStore, IntegrityIgnoresItsOwnValueAndFollowsEveryOther)
{
    IdentityStore::Sections sections;
    sections["config1"]["a"] = Value('1');
    const std::string base = IdentityStore::IntegrityValue(sections);
    EXPECT_EQ(32u, base.size());
    sections["config4"]["config15"] = Value('9');
    EXPECT_EQ(base, IdentityStore::IntegrityValue(sections));
    sections["config1"]["a"] = Value('2');
    EXPECT_NE(base, IdentityStore::IntegrityValue(sections));
}

// A store whose integrity value was worked out by hand: the values in section
// and key order (config1 a, b; config2 a; config4 config11, config13; never
// config15), XORed with the 16-byte store key E4 9B 1B BD 75 F2 E5 E0 B4 98
// 0C 35 06 BD A5 F3 repeated, then MD5.
IdentityStore::Sections FixedStore()
{
    IdentityStore::Sections sections;
    sections["config4"]["config13"] = Value('c');
    sections["config4"]["config11"] = "0123456789abcdef0123456789abcdef";
    sections["config4"]["config15"] = Value('f');
    sections["config2"]["a"] = "fedcba9876543210fedcba9876543210";
    sections["config1"]["b"] = Value('2');
    sections["config1"]["a"] = Value('1');
    return sections;
}
const char kFixedStoreIntegrity[] = "3f6fe9cbc90b057e28e3237ff4a89dca";

TEST(IdentityStore, IntegrityOfAFixedStoreIsTheHandComputedValue)
{
    EXPECT_EQ(kFixedStoreIntegrity, IdentityStore::IntegrityValue(FixedStore()));
}

TEST(IdentityStore, FileSealedWithTheHandComputedValueIsTrusted)
{
    ScratchFolder folder;
    const std::wstring path = folder.File(L"conf.db");
    IdentityStore::Sections sections = FixedStore();
    sections["config4"]["config15"] = kFixedStoreIntegrity;
    WriteFileText(path, IdentityStore::Serialise(sections));
    IdentityStore store;
    ASSERT_TRUE(store.Load(path));
    EXPECT_EQ(sections, store.Contents());
    EXPECT_FALSE(store.IsDirty());
}

TEST(IdentityStore, UnchangedStoreIsNotRewritten)
{
    ScratchFolder folder;
    const std::wstring path = folder.File(L"conf.db");
    {
        IdentityStore store;
        store.Load(path);
        store.WriteValue("config4", "config11", Value('a'));
        ASSERT_TRUE(store.Save());
    }
    IdentityStore store;
    ASSERT_TRUE(store.Load(path));
    const std::string before = ReadFileText(path);
    WriteFileText(path, before + "; note\r\n");  // would vanish on a rewrite
    EXPECT_TRUE(store.Save());
    EXPECT_EQ(before + "; note\r\n", ReadFileText(path));
}

TEST(IdentityStore, FolderInTheWayIsReplacedByTheFile)
{
    ScratchFolder folder;
    const std::wstring path = folder.File(L"conf.db");
    ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
    WriteFileText(path + L"\\inner.txt", "x");
    IdentityStore store;
    ASSERT_TRUE(store.Load(path));
    EXPECT_FALSE(store.HasValues());
    store.WriteValue("config4", "config11", Value('b'));
    ASSERT_TRUE(store.Save());
    EXPECT_TRUE(FileExists(path));
}

TEST(IdentityStore, WriteListReplacesTheWholeSection)
{
    IdentityStore store;
    store.WriteList("config1", {Value('1'), Value('2'), Value('3')});
    store.WriteList("config1", {Value('4')});
    EXPECT_EQ((std::vector<std::string>{Value('4')}), store.ReadList("config1"));
    EXPECT_EQ(1u, store.Contents().at("config1").count("a"));
}

TEST(IdentityStore, ListKeysStopBeforeWrappingAround)
{
    IdentityStore store;
    store.WriteList("config2", std::vector<std::string>(300, Value('2')));
    const IdentityStore::Section& section = store.Contents().at("config2");
    EXPECT_EQ(size_t(0x100 - 'a'), section.size());
    EXPECT_EQ(1u, section.count(std::string(1, char(0xFF))));
    EXPECT_EQ(0u, section.count(std::string(1, '\0')));
}

TEST(IdentityStore, LockHeldElsewhereMakesLoadAndSaveFail)
{
    ScratchFolder folder;
    const std::wstring path = folder.File(L"locked.db");
    {
        IdentityStore store;
        store.Load(path);
        store.WriteValue("config4", "config11", Value('a'));
        ASSERT_TRUE(store.Save());
    }
    StoreLock other(L"locked.db");
    ASSERT_TRUE(other.Held());
    IdentityStore store;
    EXPECT_FALSE(store.Load(path));
    EXPECT_FALSE(store.HasValues());
    store.WriteValue("config4", "config11", Value('b'));
    EXPECT_FALSE(store.Save());
}

TEST(StoreLock, SecondHolderWaitsForTheFirst)
{
    EXPECT_EQ(L"Global\\Mutex_NUVXI18NGUID_conf.db", StoreLock::MutexName(L"conf.db"));
    {
        StoreLock first(L"lock-test.db");
        ASSERT_TRUE(first.Held());
        StoreLock second(L"lock-test.db");
        EXPECT_FALSE(second.Held());
    }
    StoreLock afterwards(L"lock-test.db");
    EXPECT_TRUE(afterwards.Held());
}

TEST(IdentityStore, DefaultPathIsUnderTheCommonDocuments)
{
    const std::wstring path = DefaultIdentityStorePath();
    const std::wstring tail = L"\\Nuvex\\Common\\I18N\\conf.db";
    ASSERT_GT(path.size(), tail.size());
    EXPECT_EQ(tail, path.substr(path.size() - tail.size()));
}
