#pragma once
// The network adapter source of the machine identity: hardware addresses of
// the adapters on the PCI bus, wired or wireless.
#include <functional>
#include <string>
#include <vector>

#include "identity/HardwareManagerBase.h"
#include "identity/NetworkAdapters.h"

namespace guid {

// Where the adapter list and the two registry paths come from; the defaults
// are the machine's own.
struct AdapterSources {
    std::function<std::vector<AdapterRecord>()> listAdapters = ListNetworkAdapters;
    HKEY registryRoot = HKEY_LOCAL_MACHINE;
    std::wstring networkPath = kNetworkKeyPath;
    std::wstring classPath = kNetworkClassKeyPath;
};

class MacImpl : public HardwareManagerBase {
public:
    enum : uint32_t { kFailed = 7 };
    explicit MacImpl(AdapterSources sources = AdapterSources()) : sources_(std::move(sources)) {}
    uint32_t Collect() override;

private:
    AdapterSources sources_;
};

}  // namespace guid
