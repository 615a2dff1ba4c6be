#include "report/BRKBody.h"

#include "report/BRKParam.h"
#include "report/PackageBytes.h"

ItemClass ClassOfItem(uint32_t id)
{
    switch (id >> 24) {
    case 0x02: return ItemClass::Value;
    case 0x04: return ItemClass::List;
    case 0x05: return ItemClass::Counter;
    default: return ItemClass::None;
    }
}

namespace {
bool IsHighSurrogate(wchar_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

}  // namespace

// Cut to what a 16-bit length can carry, never between the two halves of a
// surrogate pair.
size_t StoredTextLength(const std::wstring& text)
{
    if (text.size() <= kMaxTextUnits) return text.size();
    return IsHighSurrogate(text[kMaxTextUnits - 1]) ? kMaxTextUnits - 1 : kMaxTextUnits;
}

std::wstring CutText(const std::wstring& text)
{
    return text.size() <= kMaxTextUnits ? text : text.substr(0, StoredTextLength(text));
}

namespace {

void AppendText(PackageBytes& bytes, const std::wstring& text)
{
    bytes.U16(uint16_t(text.size()));
    bytes.Text(text.c_str(), text.size());
    bytes.U16(0);
}

void AppendList(PackageBytes& bytes, uint32_t id, const ListItem& item)
{
    uint32_t payload = 0;
    if (item.type == kListTexts) {
        for (const std::wstring& text : item.texts) payload += uint32_t(2 * text.size() + 4);
    } else {
        payload = uint32_t(4 * item.ints.size());
    }
    bytes.U32(id);
    bytes.U8(item.type);
    bytes.U32(2 + payload);
    bytes.U16(uint16_t(item.Count()));
    if (item.type == kListTexts) {
        for (const std::wstring& text : item.texts) AppendText(bytes, text);
    } else {
        for (int32_t number : item.ints) bytes.U32(uint32_t(number));
    }
}

void AppendValue(PackageBytes& bytes, uint32_t id, const ValueItem& item)
{
    bytes.U32(id);
    bytes.U8(item.type);
    if (item.type == kValueInt)
        bytes.U32(uint32_t(item.number));
    else
        AppendText(bytes, item.text);
}
}  // namespace

int CBRKBody::Serialize(uint8_t* buffer, uint32_t* length)
{
    ValueItem& channel = values_[kChannelItemId];
    channel.type = kValueText;
    channel.text = CutText(channel_);

    PackageBytes bytes;
    for (const auto& counter : counters_) {
        bytes.U32(counter.first);
        bytes.U32(uint32_t(counter.second));
    }
    for (const auto& list : lists_) AppendList(bytes, list.first, list.second);
    for (const auto& value : values_) AppendValue(bytes, value.first, value.second);
    return CopySerialized(bytes.Bytes(), buffer, length);
}

void CBRKBody::Clear()
{
    itemsSize_ = 0;
    counters_.clear();
    lists_.clear();
    values_.clear();
}

int CBRKBody::ApplyParam(const ParamBase& param)
{
    const CBRKParam* brk = dynamic_cast<const CBRKParam*>(&param);
    if (!brk) return 0;
    channel_ = brk->channel;
    return 1;
}

// Record sizes: a value record is 5 bytes of id and type, then 4 bytes of
// integer or 2 + 2n + 2 bytes of text; a list record is 11 bytes before its
// entries of 4 bytes (integers) or 2n + 4 bytes (texts); a counter is 8 bytes.
int64_t CBRKBody::SizeChangeOfText(uint32_t id, const std::wstring& text) const
{
    const int64_t units = int64_t(StoredTextLength(text));
    switch (ClassOfItem(id)) {
    case ItemClass::Value: {
        if (id == kChannelItemId) return 0;  // the channel record is always there
        auto found = values_.find(id);
        if (found == values_.end()) return 9 + 2 * units;
        if (found->second.type != kValueText) return 0;
        return 2 * (units - int64_t(found->second.text.size()));
    }
    case ItemClass::List: {
        auto found = lists_.find(id);
        if (found == lists_.end()) return 11 + 2 * units + 4;
        if (found->second.type != kListTexts || found->second.Count() >= kMaxListValues) return 0;
        return 2 * units + 4;
    }
    default: return 0;
    }
}

int64_t CBRKBody::SizeChangeOfInt(uint32_t id) const
{
    switch (ClassOfItem(id)) {
    case ItemClass::Value: {
        if (id == kChannelItemId) return 0;
        return values_.count(id) ? 0 : 9;
    }
    case ItemClass::List: {
        auto found = lists_.find(id);
        if (found == lists_.end()) return 11 + 4;
        if (found->second.type != kListInts || found->second.Count() >= kMaxListValues) return 0;
        return 4;
    }
    case ItemClass::Counter: return counters_.count(id) ? 0 : 8;
    default: return 0;
    }
}

uint64_t CBRKBody::PackageSize() const
{
    return uint64_t(itemsSize_) + 9 + 2 * StoredTextLength(channel_);
}

uint64_t CBRKBody::GrowthOfText(uint32_t id, const std::wstring& text) const
{
    int64_t change = SizeChangeOfText(id, text);
    return change > 0 ? uint64_t(change) : 0;
}

uint64_t CBRKBody::GrowthOfInt(uint32_t id) const
{
    int64_t change = SizeChangeOfInt(id);
    return change > 0 ? uint64_t(change) : 0;
}

bool CBRKBody::HasItems() const
{
    return !counters_.empty() || !lists_.empty() || values_.size() > values_.count(kChannelItemId);
}

int CBRKBody::SetTextItem(uint32_t id, const std::wstring& text)
{
    const int64_t change = SizeChangeOfText(id, text);
    switch (ClassOfItem(id)) {
    case ItemClass::Value: {
        auto found = values_.find(id);
        if (found != values_.end() && found->second.type != kValueText) return 0;
        ValueItem& item = values_[id];
        item.type = kValueText;
        item.text = CutText(text);
        break;
    }
    case ItemClass::List: {
        auto found = lists_.find(id);
        if (found != lists_.end() && (found->second.type != kListTexts || found->second.Count() >= kMaxListValues))
            return 0;
        ListItem& item = lists_[id];
        item.type = kListTexts;
        item.texts.push_back(CutText(text));
        break;
    }
    default: return 0;
    }
    itemsSize_ += change;
    SetChanged(1);
    return 1;
}

int CBRKBody::SetIntItem(uint32_t id, int32_t value)
{
    const int64_t change = SizeChangeOfInt(id);
    switch (ClassOfItem(id)) {
    case ItemClass::Value: {
        auto found = values_.find(id);
        if (found != values_.end() && found->second.type != kValueInt) return 0;
        ValueItem& item = values_[id];
        item.type = kValueInt;
        item.number = value;
        break;
    }
    case ItemClass::List: {
        auto found = lists_.find(id);
        if (found != lists_.end() && (found->second.type != kListInts || found->second.Count() >= kMaxListValues))
            return 0;
        ListItem& item = lists_[id];
        item.type = kListInts;
        item.ints.push_back(value);
        break;
    }
    case ItemClass::Counter: {
        // Wraps like the 32-bit sum it is, without signed overflow.
        int32_t& sum = counters_[id];
        sum = int32_t(uint32_t(sum) + uint32_t(value));
        break;
    }
    default: return 0;
    }
    itemsSize_ += change;
    SetChanged(1);
    return 1;
}

int CBRKBody::Increment(uint32_t id)
{
    if (ClassOfItem(id) != ItemClass::Counter) return 0;
    return SetIntItem(id, 1);
}
