#include "identity/IdentityComposer.h"

#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "identity/CpuImpl.h"
#include "identity/DiskImpl.h"
#include "identity/MacImpl.h"
#include "base/MD5Checksum.h"

namespace guid {

namespace {

const char kComponentSection[] = "config4";
const char kIdKey[] = "config11";
const char kMacKey[] = "config12";
const char kCpuKey[] = "config13";
const char kDiskKey[] = "config14";
const char kCompositionSalt[] = "RTS.DTR";

std::vector<std::string> SortedUnique(std::vector<std::string> values)
{
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    return values;
}

// The stored component value, or the first stored value written back when
// the component value is missing.
std::string StoredComponent(IdentityStore& store, const std::vector<std::string>& stored,
                            const std::string& componentKey)
{
    std::string value = store.ReadValue(kComponentSection, componentKey);
    if (value.empty()) {
        value = stored.front();
        store.WriteValue(kComponentSection, componentKey, value);
    }
    return value;
}

}  // namespace

ComponentState ReconcileSource(IdentityStore& store, const std::vector<std::string>& currentValues,
                               const std::string& listSection, const std::string& componentKey)
{
    const std::vector<std::string> current = SortedUnique(currentValues);
    const std::vector<std::string> stored = SortedUnique(store.ReadList(listSection));
    ComponentState state;
    if (current.empty() && stored.empty()) {
        state.isNew = true;
        return state;
    }
    if (stored.empty()) {
        state.value = current.front();
        state.isNew = true;
        store.WriteList(listSection, current);
        store.WriteValue(kComponentSection, componentKey, state.value);
        return state;
    }
    if (current.empty()) {
        bool hadComponent = !store.ReadValue(kComponentSection, componentKey).empty();
        state.value = StoredComponent(store, stored, componentKey);
        if (!hadComponent) store.WriteList(listSection, stored);
        return state;
    }
    std::vector<std::string> all;
    std::set_union(stored.begin(), stored.end(), current.begin(), current.end(), std::back_inserter(all));
    if (all.size() < stored.size() + current.size()) {
        state.value = StoredComponent(store, stored, componentKey);
    } else {
        state.value = current.front();
        state.isNew = true;
        store.WriteValue(kComponentSection, componentKey, state.value);
    }
    if (all != stored) {
        store.WriteList(listSection, all);
        store.WriteValue(kComponentSection, componentKey, state.value);
    }
    return state;
}

std::string FormatGuidId(unsigned long data1, unsigned short data2, unsigned short data3,
                         const unsigned char data4[8])
{
    char text[40];
    std::snprintf(text, sizeof(text), "%08lX%04X%04x%02X%02X%02X%02X%02X%02X%02X%02X", data1, unsigned(data2),
                  unsigned(data3), data4[0], data4[1], data4[2], data4[3], data4[4], data4[5], data4[6],
                  data4[7]);
    return text;
}

std::string NewGuidId()
{
    GUID guid = {};
    if (FAILED(CoCreateGuid(&guid))) return std::string();
    return FormatGuidId(guid.Data1, guid.Data2, guid.Data3, guid.Data4);
}

std::string DecideHardwareId(IdentityStore& store, const SourceValues& values, const GuidMaker& newGuid)
{
    const std::string storedId = store.ReadValue(kComponentSection, kIdKey);
    ComponentState cpu = ReconcileSource(store, values.cpu, "config1", kCpuKey);
    ComponentState disk = ReconcileSource(store, values.disk, "config2", kDiskKey);
    ComponentState mac = ReconcileSource(store, values.mac, "config3", kMacKey);

    if (!disk.isNew && !(cpu.isNew && mac.isNew) && !storedId.empty()) return storedId;

    std::string id;
    if (!disk.value.empty() || !mac.value.empty())
        id = CMD5Checksum::HexOfText(cpu.value + disk.value + mac.value + kCompositionSalt);
    else
        id = storedId.empty() ? newGuid() : storedId;
    if (id.size() == IdentityStore::kValueLength) store.WriteValue(kComponentSection, kIdKey, id);
    return id;
}

std::string ComputeHardwareId(const std::wstring& storePath, const SourceValues& values, const GuidMaker& newGuid,
                              const StoreStep& afterLoad)
{
    IdentityStore store;
    const bool loaded = store.Load(storePath);
    if (afterLoad) afterLoad();
    std::string id = DecideHardwareId(store, values, newGuid);
    if (loaded) store.Save();
    return id;
}

SourceValues CollectSourceValues()
{
    SourceValues values;
    CpuImpl cpu;
    cpu.Collect();
    values.cpu = cpu.Values();
    DiskImpl disk;
    disk.Collect();
    values.disk = disk.Values();
    MacImpl mac;
    mac.Collect();
    values.mac = mac.Values();
    return values;
}

}  // namespace guid
