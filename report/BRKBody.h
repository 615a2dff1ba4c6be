#pragma once
// The item body of a report: counters, list items and value items, each kept
// ordered by id, and the channel text stored in value item 0x02000001.
#include <map>
#include <string>
#include <vector>

#include "report/Component.h"

enum class ItemClass { None, Value, List, Counter };
ItemClass ClassOfItem(uint32_t id);

constexpr uint32_t kChannelItemId = 0x02000001;
constexpr size_t kMaxTextUnits = 65535;   // a text's length field is 16 bits
constexpr size_t kMaxListValues = 65535;  // a list's count field is 16 bits

// A text as stored in a package: at most kMaxTextUnits code units.
std::wstring CutText(const std::wstring& text);

enum ItemType : uint8_t { kListTexts = 3, kListInts = 4, kValueText = 7, kValueInt = 8 };

struct ListItem {
    uint8_t type = 0;
    std::vector<std::wstring> texts;
    std::vector<int32_t> ints;
    size_t Count() const { return type == kListTexts ? texts.size() : ints.size(); }
};

struct ValueItem {
    uint8_t type = 0;
    std::wstring text;
    int32_t number = 0;
};

class CBRKBody : public Bodybase {
public:
    int Serialize(uint8_t* buffer, uint32_t* length) override;
    void Clear() override;
    int ApplyParam(const ParamBase& param) override;
    // Each returns 1 when the item changed, 0 when the write was ignored
    // (wrong id range, a text to a counter, a type other than the first one,
    // a full list).
    int SetTextItem(uint32_t id, const std::wstring& text) override;
    int SetIntItem(uint32_t id, int32_t value) override;
    int Increment(uint32_t id) override;

    // Bytes the body takes in a package, the channel record included.
    uint64_t PackageSize() const;
    // Bytes a write would add to PackageSize() (0 when it would be ignored
    // or would not make the body longer).
    uint64_t GrowthOfText(uint32_t id, const std::wstring& text) const;
    uint64_t GrowthOfInt(uint32_t id) const;
    // Whether any item besides the channel text is held.
    bool HasItems() const;

    const std::map<uint32_t, int32_t>& Counters() const { return counters_; }
    const std::map<uint32_t, ListItem>& Lists() const { return lists_; }
    const std::map<uint32_t, ValueItem>& Values() const { return values_; }

private:
    int64_t SizeChangeOfText(uint32_t id, const std::wstring& text) const;
    int64_t SizeChangeOfInt(uint32_t id) const;

    int64_t itemsSize_ = 0;  // the records of every item but the channel text
    std::map<uint32_t, int32_t> counters_;
    std::map<uint32_t, ListItem> lists_;
    std::map<uint32_t, ValueItem> values_;
    std::wstring channel_;
};
