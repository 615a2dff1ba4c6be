#pragma once
// Reconciles the current hardware values with what the identity store
// remembers and decides whether the stored hardware id still holds.
#include <functional>
#include <string>
#include <vector>

#include "identity/IdentityStore.h"

namespace guid {

struct ComponentState {
    std::string value;  // the component value used for the id (may be empty)
    bool isNew = false; // true when none of the current values was seen before
};

// One source: `current` is its sorted value list; the stored list lives in
// `listSection`, the stored component value under ("config4", componentKey).
ComponentState ReconcileSource(IdentityStore& store, const std::vector<std::string>& current,
                               const std::string& listSection, const std::string& componentKey);

struct SourceValues {
    std::vector<std::string> cpu, disk, mac;
};

// Makes the 32-character text of a new GUID.
using GuidMaker = std::function<std::string()>;
std::string NewGuidId();
// "%08X%04X%04x%02X..." of the GUID's fields.
std::string FormatGuidId(unsigned long data1, unsigned short data2, unsigned short data3,
                         const unsigned char data4[8]);

// Reconciles all three sources in `store`, writes a new id when the rule asks
// for one and returns the hardware id. Does not load or save the store.
std::string DecideHardwareId(IdentityStore& store, const SourceValues& values, const GuidMaker& newGuid);

// Called between the load and the save of the store (tests use it to change
// what another program would see at that moment).
using StoreStep = std::function<void()>;

// Load, decide, save: the whole computation over the store at `storePath`.
// The store is saved only when it was loaded: a store whose lock could not
// be had holds nothing of the file, and writing it would replace the shared
// file with an id made from scratch.
std::string ComputeHardwareId(const std::wstring& storePath, const SourceValues& values,
                              const GuidMaker& newGuid = NewGuidId, const StoreStep& afterLoad = StoreStep());

// The values of the machine's own processor, disks and adapters.
SourceValues CollectSourceValues();

}  // namespace guid
