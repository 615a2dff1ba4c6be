#pragma once
// The identity store shared by the maker's programs: an INI file of sections
// and keys whose values are all 32 characters, protected by an integrity value
// so that an edited file is discarded instead of trusted.
#include <map>
#include <string>
#include <vector>

namespace guid {

class IdentityStore {
public:
    using Section = std::map<std::string, std::string>;
    using Sections = std::map<std::string, Section>;

    // Reads the file at `path` (a missing file is an empty store). False when
    // the store lock could not be taken; the store is then empty.
    bool Load(const std::wstring& path);
    // Writes the store back when it changed or its file is missing.
    bool Save();

    std::string ReadValue(const std::string& section, const std::string& key) const;
    // The values of a section in key order.
    std::vector<std::string> ReadList(const std::string& section) const;
    void WriteValue(const std::string& section, const std::string& key, const std::string& value);
    // Replaces the section with the values under the keys "a", "b", "c", ...
    void WriteList(const std::string& section, const std::vector<std::string>& values);

    bool HasValues() const;
    bool IsDirty() const { return dirty_; }
    const Sections& Contents() const { return sections_; }
    const std::wstring& Path() const { return path_; }

    // MD5 of the values (all but the integrity value itself) in section and
    // key order, XORed with the store key.
    static std::string IntegrityValue(const Sections& sections);
    // The INI text written to the file.
    static std::string Serialise(const Sections& sections);

    static const char kIntegritySection[];
    static const char kIntegrityKey[];
    static constexpr size_t kValueLength = 32;

private:
    void CheckIntegrity();

    Sections sections_;
    bool dirty_ = false;
    std::wstring path_;
};

// "<common documents>\Nuvex\Common\I18N\conf.db"; empty when the folder is unknown.
std::wstring DefaultIdentityStorePath();

}  // namespace guid
