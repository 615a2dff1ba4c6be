#pragma once
// Raw device I/O for the disk identity: each call opens one device, sends one
// control and returns the answer bytes (empty on any failure). The readers use
// the interface so their walk over the devices can be checked with fixtures.
#include "identity/DiskDecoders.h"

namespace guid {

class IDiskDevices {
public:
    virtual ~IDiskDevices() = default;
    // SMART_GET_VERSION on "\\.\PhysicalDrive<n>"; false when it fails.
    virtual bool SmartIdeDeviceMap(int driveNumber, uint8_t& ideDeviceMap) = 0;
    // SMART_RCV_DRIVE_DATA with the request into `answer`, which the caller
    // sizes and presets: a driver may succeed without filling any of it.
    // Returns the call's result.
    virtual bool SmartReceiveDriveData(int driveNumber, const Bytes& request, Bytes& answer) = 0;
    // IOCTL_STORAGE_QUERY_PROPERTY opened with access 0; the answer or empty.
    virtual Bytes StorageDeviceDescriptor(int driveNumber, size_t answerSize) = 0;
    // IOCTL_SCSI_MINIPORT identify on "\\.\Scsi<c>:"; the whole answer or empty.
    virtual Bytes MiniportIdentify(int controller, int driveOnController, uint32_t length,
                                   size_t answerSize) = 0;
};

// The machine's own devices.
IDiskDevices& SystemDiskDevices();

}  // namespace guid
