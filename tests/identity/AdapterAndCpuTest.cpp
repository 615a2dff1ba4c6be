// Network adapter selection (formatting, PCI test over a registry fixture)
// and the processor texts.
#include <gtest/gtest.h>

#include <cstring>

#include "identity/CpuImpl.h"
#include "identity/MacImpl.h"
#include "tests/identity/TestFolders.h"

using namespace guid;

namespace {

AdapterRecord Adapter(const char* address, const wchar_t* name, bool wireless = false)
{
    AdapterRecord record;
    record.address = address;
    record.name = name;
    record.wireless = wireless;
    return record;
}

const wchar_t kWired[] = L"{11111111-0000-0000-0000-000000000001}";
const wchar_t kUsbWifi[] = L"{22222222-0000-0000-0000-000000000002}";
const wchar_t kVpn[] = L"{33333333-0000-0000-0000-000000000003}";
const wchar_t kPciWifi[] = L"{44444444-0000-0000-0000-000000000004}";

std::vector<AdapterRecord> MachineAdapters()
{
    return {Adapter("001122334455", kWired), Adapter("66778899AABB", kUsbWifi, true),
            Adapter("00FF00FF00FF", kVpn), Adapter("A0B0C0D0E0F0", kPciWifi, true)};
}

// A registry laid out like the machine's Network and Class keys.
class AdapterRegistry : public ::testing::Test {
protected:
    void SetUp() override
    {
        key_.SetText(std::wstring(L"Network\\") + kWired + L"\\Connection", L"PnpInstanceID",
                     L"PCI\\VEN_8086&DEV_15B8\\3&11583659&0&FE");
        key_.SetText(std::wstring(L"Network\\") + kUsbWifi + L"\\Connection", L"PnpInstanceID",
                     L"USB\\VID_0BDA&PID_8179\\00E04C0001");
        key_.SetText(std::wstring(L"Network\\") + kVpn + L"\\Connection", L"PnpInstanceID", L"ROOT\\NET\\0000");
        key_.SetText(std::wstring(L"Network\\") + kVpn + L"\\Other", L"pnpinstanceid", L"pc");
        key_.SetText(L"Class\\0001", L"NetCfgInstanceId", kWired);  // found both ways
        key_.SetText(L"Class\\0001", L"DeviceInstanceID", L"PCI\\VEN_8086&DEV_15B8\\3&11583659&0&FE");
        key_.SetText(L"Class\\0002", L"netcfginstanceid", kPciWifi);
        key_.SetText(L"Class\\0002", L"deviceinstanceid", L"pci\\VEN_168C&DEV_003E\\4&1");
        key_.SetText(L"Class\\0003", L"NetCfgInstanceId", kUsbWifi);
        key_.SetText(L"Class\\0003", L"DeviceInstanceID", L"USB\\VID_0BDA&PID_8179\\00E04C0001");
    }

    AdapterSources Sources() const
    {
        AdapterSources sources;
        sources.listAdapters = MachineAdapters;
        sources.registryRoot = HKEY_CURRENT_USER;
        sources.networkPath = key_.Path() + L"\\Network";
        sources.classPath = key_.Path() + L"\\Class";
        return sources;
    }

    ScratchRegistryKey key_;
};

}  // namespace

TEST(HardwareAddress, UpperCaseHexPairsWithoutSeparators)
{
    const uint8_t bytes[] = {0x00, 0x1a, 0x2B, 0xc3, 0x04, 0xFF};
    EXPECT_EQ("001A2BC304FF", FormatHardwareAddress(bytes, sizeof(bytes)));
    EXPECT_EQ("", FormatHardwareAddress(bytes, 0));
}

TEST(HardwareAddress, OnlyEthernetAndWirelessWithAnAddressAreListed)
{
    EXPECT_TRUE(IsListedAdapter(6, 6));
    EXPECT_TRUE(IsListedAdapter(71, 6));
    EXPECT_FALSE(IsListedAdapter(6, 0));
    EXPECT_FALSE(IsListedAdapter(24, 6));   // loopback
    EXPECT_FALSE(IsListedAdapter(131, 8));  // tunnel
}

TEST(HardwareAddress, PciInstanceNeedsThePrefixInAnyCase)
{
    EXPECT_TRUE(IsPciInstance(L"PCI\\VEN_8086"));
    EXPECT_TRUE(IsPciInstance(L"pci\\ven_8086"));
    EXPECT_TRUE(IsPciInstance(L"PCI"));
    EXPECT_FALSE(IsPciInstance(L"PC"));
    EXPECT_FALSE(IsPciInstance(L"USB\\VID_0BDA"));
    EXPECT_FALSE(IsPciInstance(L"ROOT\\PCI"));
}

TEST(HardwareAddress, AdaptersNamedByEitherListCountOnce)
{
    std::vector<std::string> addresses =
        PhysicalAdapterAddresses(MachineAdapters(), {kWired, kWired}, {kPciWifi, kWired, L"{unknown}"});
    EXPECT_EQ((std::vector<std::string>{"001122334455", "A0B0C0D0E0F0"}), addresses);
    EXPECT_TRUE(PhysicalAdapterAddresses(MachineAdapters(), {}, {}).empty());
}

TEST_F(AdapterRegistry, NetworkKeyFindsAdaptersWithAPciInstance)
{
    EXPECT_EQ(std::vector<std::wstring>{kWired}, PciAdaptersByNetworkKey(HKEY_CURRENT_USER, Sources().networkPath));
}

TEST_F(AdapterRegistry, ClassKeyFindsPciDevices)
{
    std::vector<std::wstring> found = PciAdaptersByClassKey(HKEY_CURRENT_USER, Sources().classPath);
    EXPECT_EQ((std::vector<std::wstring>{kWired, kPciWifi}), found);
}

TEST_F(AdapterRegistry, OnlyPciAdaptersContribute)
{
    MacImpl mac(Sources());
    EXPECT_EQ(0u, mac.Collect());
    std::vector<std::string> expected = {HashSourceValue("001122334455"), HashSourceValue("A0B0C0D0E0F0")};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, mac.Values());
}

TEST_F(AdapterRegistry, MissingKeysGiveNoValues)
{
    AdapterSources sources = Sources();
    sources.networkPath += L"\\missing";
    sources.classPath += L"\\missing";
    MacImpl mac(sources);
    EXPECT_EQ(0u, mac.Collect());
    EXPECT_TRUE(mac.Values().empty());
}

TEST(MacImpl, FailureIsReportedAndLeavesNoValues)
{
    AdapterSources sources;
    sources.listAdapters = []() -> std::vector<AdapterRecord> { throw std::bad_alloc(); };
    MacImpl mac(sources);
    EXPECT_EQ(MacImpl::kFailed, mac.Collect());
    EXPECT_TRUE(mac.Values().empty());
}

namespace {

void BrandRegisters(const char* text, uint32_t registers[12])
{
    char bytes[48] = {};
    std::memcpy(bytes, text, std::min<size_t>(std::strlen(text), 48));
    std::memcpy(registers, bytes, 48);
}

}  // namespace

TEST(ProcessorBrand, LeadingBlanksAreRemoved)
{
    uint32_t registers[12];
    BrandRegisters("       Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz", registers);
    EXPECT_EQ("Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz", BrandFromRegisters(registers));
    BrandRegisters("AMD Ryzen 5 3600 6-Core Processor   ", registers);
    EXPECT_EQ("AMD Ryzen 5 3600 6-Core Processor   ", BrandFromRegisters(registers));
}

TEST(ProcessorBrand, FullFortyEightBytesNeedNoTerminator)
{
    uint32_t registers[12];
    std::string full(48, 'X');
    BrandRegisters(full.c_str(), registers);
    EXPECT_EQ(full, BrandFromRegisters(registers));
    BrandRegisters("", registers);
    EXPECT_EQ("", BrandFromRegisters(registers));
}

TEST(ProcessorSerial, FormattedOnlyWhenTheFeatureIsPresent)
{
    EXPECT_EQ("", SerialFromRegisters(0x00000686, 0x0383F9FF & ~(1u << 18), 0x12345678, 0x9ABCDEF0));
    EXPECT_EQ("123456789ABCDEF000000686", SerialFromRegisters(0x00000686, 1u << 18, 0x12345678, 0x9ABCDEF0));
    EXPECT_EQ("0000000A0000000B0000000C", SerialFromRegisters(0xC, 1u << 18, 0xA, 0xB));
}

TEST(CpuImpl, ThisProcessorGivesItsBrandValue)
{
    CpuImpl cpu;
    EXPECT_EQ(0u, cpu.Collect());
    const std::string brand = ReadProcessorBrand();
    if (brand.empty()) GTEST_SKIP() << "no brand string on this processor";
    EXPECT_NE(' ', brand[0]);
    EXPECT_TRUE(std::find(cpu.Values().begin(), cpu.Values().end(), HashSourceValue(brand)) != cpu.Values().end());
    EXPECT_TRUE(std::is_sorted(cpu.Values().begin(), cpu.Values().end()));
}
