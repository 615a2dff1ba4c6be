#include "identity/IdentityStore.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdint>
#include <memory>

#include "identity/StoreLock.h"
#include "base/MD5Checksum.h"
#include "base/TextConvert.h"

namespace guid {

const char IdentityStore::kIntegritySection[] = "config4";
const char IdentityStore::kIntegrityKey[] = "config15";

namespace {

constexpr DWORD kSectionNamesBytes = 0xFFFE;
constexpr DWORD kSectionChars = 4096;

// The store key is assembled at run time rather than kept as one literal.
void BuildStoreKey(uint8_t key[16])
{
    uint8_t seed = 0x4E;
    for (int i = 0; i < 16; ++i) {
        seed = uint8_t(seed * 29 + 0x6B + i);
        key[i] = uint8_t(seed ^ (0xA5 >> (i % 3)));
    }
}

std::wstring FileNameOf(const std::wstring& path)
{
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring FolderOf(const std::wstring& path)
{
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

bool PathExists(const std::wstring& path, bool* isFolder = nullptr)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if (isFolder) *isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return true;
}

// Creates the missing folders of `folder` one level at a time.
bool EnsureFolder(const std::wstring& folder)
{
    if (folder.empty()) return true;
    bool isFolder = false;
    if (PathExists(folder, &isFolder)) return isFolder;
    if (!EnsureFolder(FolderOf(folder))) return false;
    return CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool DeleteFolderTree(const std::wstring& folder)
{
    std::wstring from = folder;
    from.push_back(L'\0');  // the list ends with a double NUL
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    return SHFileOperationW(&operation) == 0;
}

// Removes whatever other than a plain file occupies the store's path.
bool ClearPathForFile(const std::wstring& path)
{
    bool isFolder = false;
    if (!PathExists(path, &isFolder) || !isFolder) return true;
    return DeleteFolderTree(path);
}

bool WriteWholeFile(const std::wstring& path, const std::string& contents)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(file, contents.data(), DWORD(contents.size()), &written, nullptr) &&
              written == contents.size() && FlushFileBuffers(file);
    CloseHandle(file);
    if (!ok) DeleteFileW(path.c_str());
    return ok;
}

std::vector<std::wstring> SplitNulList(const wchar_t* list, size_t length)
{
    std::vector<std::wstring> items;
    for (size_t at = 0; at < length && list[at];) {
        std::wstring item(list + at);
        at += item.size() + 1;
        items.push_back(item);
    }
    return items;
}

IdentityStore::Section ReadSection(const std::wstring& path, const std::wstring& name)
{
    IdentityStore::Section section;
    std::unique_ptr<wchar_t[]> buffer(new wchar_t[kSectionChars]());
    DWORD length = GetPrivateProfileSectionW(name.c_str(), buffer.get(), kSectionChars, path.c_str());
    for (const std::wstring& entry : SplitNulList(buffer.get(), length)) {
        size_t equals = entry.find(L'=');
        if (equals == std::wstring::npos) continue;
        std::wstring value = entry.substr(equals + 1);
        if (value.size() != IdentityStore::kValueLength) continue;
        std::string key = WideToAnsi(entry.substr(0, equals));
        if (!key.empty()) section[key] = WideToAnsi(value);
    }
    return section;
}

IdentityStore::Sections ReadStoreFile(const std::wstring& path)
{
    IdentityStore::Sections sections;
    const DWORD chars = kSectionNamesBytes / sizeof(wchar_t);
    std::unique_ptr<wchar_t[]> names(new wchar_t[chars]());
    DWORD length = GetPrivateProfileSectionNamesW(names.get(), chars, path.c_str());
    for (const std::wstring& name : SplitNulList(names.get(), length)) {
        IdentityStore::Section section = ReadSection(path, name);
        if (!section.empty()) sections[WideToAnsi(name)] = section;
    }
    return sections;
}

}  // namespace

std::string IdentityStore::IntegrityValue(const Sections& sections)
{
    std::string text;
    for (const auto& section : sections)
        for (const auto& entry : section.second)
            if (entry.first != kIntegrityKey) text += entry.second;
    uint8_t key[16];
    BuildStoreKey(key);
    for (size_t i = 0; i < text.size(); ++i) text[i] = char(uint8_t(text[i]) ^ key[i % 16]);
    return CMD5Checksum::HexOfText(text);
}

std::string IdentityStore::Serialise(const Sections& sections)
{
    std::string text;
    for (const auto& section : sections) {
        text += "[" + section.first + "]\r\n";
        for (const auto& entry : section.second) text += entry.first + "=" + entry.second + "\r\n";
    }
    return text;
}

bool IdentityStore::Load(const std::wstring& path)
{
    sections_.clear();
    dirty_ = false;
    path_ = path;
    StoreLock lock(FileNameOf(path));
    if (!lock.Held()) return false;
    bool isFolder = false;
    if (PathExists(path, &isFolder) && !isFolder) sections_ = ReadStoreFile(path);
    CheckIntegrity();
    return true;
}

void IdentityStore::CheckIntegrity()
{
    if (!HasValues()) return;
    std::string computed = IntegrityValue(sections_);
    std::string stored = ReadValue(kIntegritySection, kIntegrityKey);
    if (stored.empty())
        WriteValue(kIntegritySection, kIntegrityKey, computed);
    else if (stored != computed)
        sections_.clear();  // altered by hand or by another key: start afresh
}

bool IdentityStore::Save()
{
    if (path_.empty()) return false;
    bool isFolder = false;
    bool fileExists = PathExists(path_, &isFolder) && !isFolder;
    if (!dirty_ && fileExists) return true;
    if (HasValues()) WriteValue(kIntegritySection, kIntegrityKey, IntegrityValue(sections_));
    StoreLock lock(FileNameOf(path_));
    if (!lock.Held()) return false;
    if (!EnsureFolder(FolderOf(path_)) || !ClearPathForFile(path_)) return false;
    // The new contents go to a side file that then replaces the store in one
    // step, so a crash never leaves the store half written or missing.
    const std::wstring sidePath = path_ + L".tmp";
    if (!ClearPathForFile(sidePath) || !WriteWholeFile(sidePath, Serialise(sections_))) return false;
    if (!MoveFileExW(sidePath.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(sidePath.c_str());
        return false;
    }
    dirty_ = false;
    return true;
}

std::string IdentityStore::ReadValue(const std::string& section, const std::string& key) const
{
    auto found = sections_.find(section);
    if (found == sections_.end()) return std::string();
    auto entry = found->second.find(key);
    return entry == found->second.end() ? std::string() : entry->second;
}

std::vector<std::string> IdentityStore::ReadList(const std::string& section) const
{
    std::vector<std::string> values;
    auto found = sections_.find(section);
    if (found != sections_.end())
        for (const auto& entry : found->second) values.push_back(entry.second);
    return values;
}

void IdentityStore::WriteValue(const std::string& section, const std::string& key, const std::string& value)
{
    sections_[section][key] = value;
    dirty_ = true;
}

void IdentityStore::WriteList(const std::string& section, const std::vector<std::string>& values)
{
    Section& entries = sections_[section];
    entries.clear();
    // Keys run "a", "b", "c", ...; the last usable key is 0xFF so the
    // sequence never wraps around to a NUL name.
    unsigned key = 'a';
    for (const std::string& value : values) {
        if (key > 0xFF) break;
        entries[std::string(1, char(key))] = value;
        ++key;
    }
    if (entries.empty()) sections_.erase(section);
    dirty_ = true;
}

bool IdentityStore::HasValues() const
{
    for (const auto& section : sections_)
        if (!section.second.empty()) return true;
    return false;
}

std::wstring DefaultIdentityStorePath()
{
    wchar_t folder[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_COMMON_DOCUMENTS, TRUE)) return std::wstring();
    return std::wstring(folder) + L"\\Nuvex\\Common\\I18N\\conf.db";
}

}  // namespace guid
