#pragma once
// A read-only INI text with the lookup rules of the Windows profile functions:
// section and key names compare case-insensitively, the first matching section
// and the first matching key in it win, values run to the end of the line, and
// every read is limited by the caller's buffer size in characters (the last
// character of a buffer is its terminating zero).
#include <string>
#include <vector>

class CIniText {
public:
    CIniText() = default;
    explicit CIniText(const std::wstring& text);
    // UTF-16LE with a byte-order mark, else the ANSI code page. A missing or
    // unreadable file gives an empty text.
    static CIniText FromFile(const std::wstring& path);
    static CIniText FromBytes(const std::string& bytes);

    std::wstring GetString(const std::wstring& section, const std::wstring& key, size_t bufferChars) const;
    int GetInt(const std::wstring& section, const std::wstring& key, int defaultValue) const;
    // The entries of a section as "key=value" lines in file order, cut where a
    // double-zero-terminated list of that many characters would end.
    std::vector<std::wstring> GetSection(const std::wstring& section, size_t bufferChars) const;

private:
    struct Entry {
        std::wstring key;    // empty for a line without '='
        std::wstring value;  // the whole line when there is no '='
        bool hasEquals;
    };
    struct Section {
        std::wstring name;
        std::vector<Entry> entries;
    };
    const Section* FindSection(const std::wstring& name) const;
    std::vector<Section> sections_;
};
