#include "identity/MacImpl.h"

namespace guid {

uint32_t MacImpl::Collect()
{
    ClearValues();
    try {
        std::vector<AdapterRecord> adapters = sources_.listAdapters();
        std::vector<std::string> addresses = PhysicalAdapterAddresses(
            adapters, PciAdaptersByNetworkKey(sources_.registryRoot, sources_.networkPath),
            PciAdaptersByClassKey(sources_.registryRoot, sources_.classPath));
        for (const std::string& address : addresses) AddRawValue(address);
        NormaliseValues();
        return 0;
    } catch (...) {
        ClearValues();
        return kFailed;
    }
}

}  // namespace guid
