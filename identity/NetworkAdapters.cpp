#include "identity/NetworkAdapters.h"

#include <winsock2.h>
#include <iphlpapi.h>

#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <memory>
#include <utility>

#include "base/RegKey.h"

namespace guid {

const wchar_t kNetworkKeyPath[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}";
const wchar_t kNetworkClassKeyPath[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E972-E325-11CE-BFC1-08002BE10318}";

namespace {

constexpr DWORD kNameChars = 260;
constexpr DWORD kDataChars = 1024;

std::vector<std::wstring> SubkeyNames(HKEY key)
{
    std::vector<std::wstring> names;
    if (!key) return names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[kNameChars + 1];
        DWORD length = kNameChars;
        LONG status = RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status == ERROR_SUCCESS) names.emplace_back(name, length);
    }
    return names;
}

// The REG_SZ values of a key with more than 3 bytes of data.
std::vector<std::pair<std::wstring, std::wstring>> TextValues(HKEY key)
{
    std::vector<std::pair<std::wstring, std::wstring>> values;
    if (!key) return values;
    for (DWORD index = 0;; ++index) {
        wchar_t name[kNameChars + 1];
        wchar_t data[kDataChars + 1] = {};
        DWORD nameLength = kNameChars, type = 0, dataBytes = kDataChars * sizeof(wchar_t);
        LONG status = RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                                    reinterpret_cast<BYTE*>(data), &dataBytes);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS || type != REG_SZ || dataBytes <= 3) continue;
        data[std::min<DWORD>(dataBytes / sizeof(wchar_t), kDataChars)] = 0;
        values.emplace_back(std::wstring(name, nameLength), std::wstring(data));
    }
    return values;
}

bool SameNameIgnoringCase(const std::wstring& a, const wchar_t* b) { return _wcsicmp(a.c_str(), b) == 0; }

bool HasPciInstanceValue(HKEY key)
{
    for (const auto& value : TextValues(key))
        if (SameNameIgnoringCase(value.first, L"PnpInstanceID") && IsPciInstance(value.second)) return true;
    return false;
}

std::wstring Widen(const char* text)
{
    std::wstring wide;
    for (; text && *text; ++text) wide.push_back(wchar_t(static_cast<unsigned char>(*text)));
    return wide;
}

}  // namespace

std::string FormatHardwareAddress(const uint8_t* bytes, size_t length)
{
    std::string text;
    for (size_t i = 0; i < length; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof(pair), "%02X", unsigned(bytes[i]));
        text += pair;
    }
    return text;
}

bool IsListedAdapter(uint32_t interfaceType, size_t addressLength)
{
    return addressLength != 0 && (interfaceType == kIfTypeEthernet || interfaceType == kIfTypeIeee80211);
}

std::vector<AdapterRecord> ListNetworkAdapters()
{
    std::vector<AdapterRecord> adapters;
    ULONG size = 0;
    if (GetAdaptersAddresses(AF_INET, 0, nullptr, nullptr, &size) != ERROR_BUFFER_OVERFLOW || size == 0)
        return adapters;
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[size]);
    auto* list = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.get());
    if (GetAdaptersAddresses(AF_INET, 0, nullptr, list, &size) != 0) return adapters;
    for (const IP_ADAPTER_ADDRESSES* adapter = list; adapter; adapter = adapter->Next) {
        size_t length = std::min<size_t>(adapter->PhysicalAddressLength, MAX_ADAPTER_ADDRESS_LENGTH);
        if (!IsListedAdapter(adapter->IfType, length)) continue;
        AdapterRecord record;
        record.wireless = adapter->IfType == kIfTypeIeee80211;
        record.address = FormatHardwareAddress(adapter->PhysicalAddress, length);
        record.name = Widen(adapter->AdapterName);
        adapters.push_back(record);
    }
    return adapters;
}

bool IsPciInstance(const std::wstring& instance)
{
    return instance.size() >= 3 && _wcsnicmp(instance.c_str(), L"PCI", 3) == 0;
}

std::vector<std::wstring> PciAdaptersByNetworkKey(HKEY root, const std::wstring& networkPath)
{
    std::vector<std::wstring> physical;
    CRegKey network(root, networkPath, KEY_ENUMERATE_SUB_KEYS);
    for (const std::wstring& adapterName : SubkeyNames(network.Get())) {
        CRegKey adapter(network.Get(), adapterName, KEY_ENUMERATE_SUB_KEYS);
        for (const std::wstring& subkeyName : SubkeyNames(adapter.Get())) {
            CRegKey subkey(root, networkPath + L"\\" + adapterName + L"\\" + subkeyName, KEY_QUERY_VALUE);
            if (HasPciInstanceValue(subkey.Get())) {
                physical.push_back(adapterName);
                break;
            }
        }
    }
    return physical;
}

std::vector<std::wstring> PciAdaptersByClassKey(HKEY root, const std::wstring& classPath)
{
    std::vector<std::wstring> physical;
    CRegKey classKey(root, classPath, KEY_ENUMERATE_SUB_KEYS);
    for (const std::wstring& deviceName : SubkeyNames(classKey.Get())) {
        CRegKey device(classKey.Get(), deviceName, KEY_QUERY_VALUE);
        std::wstring instanceId, deviceInstance;
        for (const auto& value : TextValues(device.Get())) {
            if (SameNameIgnoringCase(value.first, L"NetCfgInstanceId")) instanceId = value.second;
            if (SameNameIgnoringCase(value.first, L"DeviceInstanceID")) deviceInstance = value.second;
        }
        if (!instanceId.empty() && IsPciInstance(deviceInstance)) physical.push_back(instanceId);
    }
    return physical;
}

std::vector<std::string> PhysicalAdapterAddresses(const std::vector<AdapterRecord>& adapters,
                                                  const std::vector<std::wstring>& byNetworkKey,
                                                  const std::vector<std::wstring>& byClassKey)
{
    std::vector<std::string> addresses;
    for (const std::vector<std::wstring>* names : {&byNetworkKey, &byClassKey})
        for (const std::wstring& name : *names)
            for (const AdapterRecord& adapter : adapters)
                if (adapter.name == name) addresses.push_back(adapter.address);
    std::sort(addresses.begin(), addresses.end());
    addresses.erase(std::unique(addresses.begin(), addresses.end()), addresses.end());
    return addresses;
}

}  // namespace guid
