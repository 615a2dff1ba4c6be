#include "identity/DiskDevice.h"

#include <windows.h>

#include <cstdio>

#include "base/ScopedHandle.h"

namespace guid {

namespace {

HANDLE OpenDevice(const char* format, int number, DWORD access)
{
    char name[64];
    std::snprintf(name, sizeof(name), format, number);
    return CreateFileA(name, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
}

// One DeviceIoControl call; the answer trimmed to the bytes returned, or
// empty when the call fails.
Bytes Control(HANDLE device, uint32_t code, const Bytes& input, size_t answerSize, bool keepFullAnswer)
{
    Bytes answer(answerSize, 0);
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(device, code, const_cast<uint8_t*>(input.data()), DWORD(input.size()),
                              answer.data(), DWORD(answer.size()), &returned, nullptr);
    if (!ok) return Bytes();
    if (!keepFullAnswer && returned < answer.size()) answer.resize(returned);
    return answer;
}

class SystemDevices : public IDiskDevices {
public:
    bool SmartIdeDeviceMap(int driveNumber, uint8_t& ideDeviceMap) override;
    bool SmartReceiveDriveData(int driveNumber, const Bytes& request, Bytes& answer) override;
    Bytes StorageDeviceDescriptor(int driveNumber, size_t answerSize) override;
    Bytes MiniportIdentify(int controller, int driveOnController, uint32_t length, size_t answerSize) override;
};

}  // namespace

IDiskDevices& SystemDiskDevices()
{
    static SystemDevices devices;
    return devices;
}

bool SystemDevices::SmartIdeDeviceMap(int driveNumber, uint8_t& ideDeviceMap)
{
    CScopedHandle device(OpenDevice("\\\\.\\PhysicalDrive%d", driveNumber, GENERIC_READ | GENERIC_WRITE));
    if (!device.Valid()) return false;
    Bytes answer = Control(device.Get(), kSmartGetVersion, Bytes(), kGetVersionSize, true);
    if (answer.size() < kGetVersionSize) return false;
    ideDeviceMap = answer[3];
    return true;
}

bool SystemDevices::SmartReceiveDriveData(int driveNumber, const Bytes& request, Bytes& answer)
{
    CScopedHandle device(OpenDevice("\\\\.\\PhysicalDrive%d", driveNumber, GENERIC_READ | GENERIC_WRITE));
    if (!device.Valid() || answer.empty()) return false;
    DWORD returned = 0;
    return DeviceIoControl(device.Get(), kSmartRcvDriveData, const_cast<uint8_t*>(request.data()),
                           DWORD(request.size()), answer.data(), DWORD(answer.size()), &returned, nullptr) != FALSE;
}

Bytes SystemDevices::StorageDeviceDescriptor(int driveNumber, size_t answerSize)
{
    CScopedHandle device(OpenDevice("\\\\.\\PhysicalDrive%d", driveNumber, 0));
    if (!device.Valid()) return Bytes();
    Bytes query(12, 0);  // StorageDeviceProperty, PropertyStandardQuery
    return Control(device.Get(), kStorageQueryProperty, query, answerSize, false);
}

Bytes SystemDevices::MiniportIdentify(int controller, int driveOnController, uint32_t length, size_t answerSize)
{
    CScopedHandle device(OpenDevice("\\\\.\\Scsi%d:", controller, GENERIC_READ | GENERIC_WRITE));
    if (!device.Valid()) return Bytes();
    Bytes buffer = BuildMiniportIdentifyRequest(driveOnController, length);
    buffer.resize(answerSize, 0);
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(device.Get(), kScsiMiniport, buffer.data(), DWORD(kMiniportRequestSize),
                              buffer.data(), DWORD(buffer.size()), &returned, nullptr);
    return ok ? buffer : Bytes();
}

}  // namespace guid
