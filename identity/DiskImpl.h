#pragma once
// Disk serial numbers: the disk source of the machine identity and the
// first-disk serial of the installation identity.
#include <string>

#include "identity/DiskDevice.h"
#include "identity/HardwareManagerBase.h"

namespace guid {

class DiskImpl : public HardwareManagerBase {
public:
    enum : uint32_t { kSmartFailed = 1, kStorageQueryFailed = 2, kMiniportFailed = 3 };

    explicit DiskImpl(IDiskDevices& devices = SystemDiskDevices()) : devices_(devices) {}
    // Asks SMART IDENTIFY, the storage property query and the SCSI miniport in
    // turn; each adds at most one value.
    uint32_t Collect() override;

private:
    std::string SerialBySmart();
    std::string SerialByStorageQuery();
    std::string SerialByMiniport();
    void AddSerial(const std::string& serial);

    IDiskDevices& devices_;
};

// The serial of the first disk that gives one (drives 0 to 3), or empty;
// a serial containing "00000000" counts as none.
std::string ReadFirstDiskSerial(IDiskDevices& devices);
std::wstring ReadFirstDiskSerial();

}  // namespace guid
