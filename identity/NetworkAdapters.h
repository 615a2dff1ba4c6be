#pragma once
// Network adapters as the system lists them, and the registry test that tells
// the physical (PCI bus) ones from virtual, USB, tunnel and VPN adapters.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace guid {

struct AdapterRecord {
    bool wireless = false;
    std::string address;  // upper-case hex pairs without separators
    std::wstring name;    // the adapter's GUID text
};

constexpr uint32_t kIfTypeEthernet = 6;
constexpr uint32_t kIfTypeIeee80211 = 71;

std::string FormatHardwareAddress(const uint8_t* bytes, size_t length);
// Ethernet and IEEE 802.11 adapters with a hardware address are listed.
bool IsListedAdapter(uint32_t interfaceType, size_t addressLength);
// The adapters of GetAdaptersAddresses (IPv4), in the system's order.
std::vector<AdapterRecord> ListNetworkAdapters();

// Whether a device instance path names a PCI device ("PCI" prefix, any case).
bool IsPciInstance(const std::wstring& instance);

extern const wchar_t kNetworkKeyPath[];
extern const wchar_t kNetworkClassKeyPath[];

// Adapter key names below the Network key that have a subkey whose
// "PnpInstanceID" names a PCI device.
std::vector<std::wstring> PciAdaptersByNetworkKey(HKEY root, const std::wstring& networkPath);
// "NetCfgInstanceId" of the Class key's devices whose "DeviceInstanceID"
// names a PCI device.
std::vector<std::wstring> PciAdaptersByClassKey(HKEY root, const std::wstring& classPath);

// The addresses of the adapters named in either list, sorted, each once.
std::vector<std::string> PhysicalAdapterAddresses(const std::vector<AdapterRecord>& adapters,
                                                  const std::vector<std::wstring>& byNetworkKey,
                                                  const std::vector<std::wstring>& byClassKey);

}  // namespace guid
