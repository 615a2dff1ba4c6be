#include "identity/DiskImpl.h"

namespace guid {

namespace {

constexpr int kDriveCount = 16;
constexpr int kControllerCount = 16;
constexpr int kFirstDiskDriveCount = 4;
constexpr size_t kStorageAnswerSize = 2048;
constexpr size_t kFirstDiskStorageAnswerSize = 10000;
constexpr size_t kFirstDiskSerialLimit = 19;
constexpr uint32_t kMiniportLength = 529, kFirstDiskMiniportLength = 528;
constexpr size_t kMiniportAnswerSize = 557, kFirstDiskMiniportAnswerSize = 556;
constexpr uint32_t kMinimumSmartAnswer = 46;

bool MiniportAnswered(const Bytes& answer)
{
    return answer.size() > kMiniportIdentifyOffset + kModelByteOffset &&
           answer[kMiniportIdentifyOffset + kModelByteOffset] != 0;
}

std::string MiniportSerial(const Bytes& answer, bool trimLeading)
{
    return IdentifyText(answer.data() + kMiniportIdentifyOffset, answer.size() - kMiniportIdentifyOffset,
                        kSerialFirstWord, kSerialWordCount, trimLeading);
}

std::string SmartAnswerSerial(const Bytes& answer, bool trimLeading)
{
    if (answer.size() < kSendCmdOutDataOffset) return std::string();
    return IdentifyText(answer.data() + kSendCmdOutDataOffset, answer.size() - kSendCmdOutDataOffset,
                        kSerialFirstWord, kSerialWordCount, trimLeading);
}

std::wstring Widen(const std::string& text)
{
    std::wstring wide;
    for (char c : text) wide.push_back(wchar_t(static_cast<unsigned char>(c)));
    return wide;
}

}  // namespace

uint32_t DiskImpl::Collect()
{
    ClearValues();
    uint32_t result = 0;
    TryRead([this] { AddSerial(SerialBySmart()); }, kSmartFailed, &result);
    TryRead([this] { AddSerial(SerialByStorageQuery()); }, kStorageQueryFailed, &result);
    TryRead([this] { AddSerial(SerialByMiniport()); }, kMiniportFailed, &result);
    NormaliseValues();
    return result;
}

void DiskImpl::AddSerial(const std::string& serial)
{
    AddRawValue(StripTrailingHexBlanks(serial));
}

std::string DiskImpl::SerialBySmart()
{
    for (int drive = 0; drive < kDriveCount; ++drive) {
        uint8_t map = 0;
        if (!devices_.SmartIdeDeviceMap(drive, map) || map == 0) continue;
        uint8_t command = IdentifyCommandForDrive(map, drive);
        // The answer's cBufferSize starts at 0, so only a driver that really
        // filled the block passes the size check.
        Bytes answer(kSendCmdOutSize, 0);
        if (!devices_.SmartReceiveDriveData(drive, BuildSmartIdentifyRequest(drive, command), answer) ||
            answer.size() < kSendCmdOutDataOffset || ReadLe32(answer.data()) <= kMinimumSmartAnswer)
            continue;
        return SmartAnswerSerial(answer, false);
    }
    return std::string();
}

std::string DiskImpl::SerialByStorageQuery()
{
    for (int drive = 0; drive < kDriveCount; ++drive) {
        Bytes answer = devices_.StorageDeviceDescriptor(drive, kStorageAnswerSize);
        std::string serial = DecodeStorageSerial(StorageDescriptorSerialText(answer.data(), answer.size()));
        if (IsPlausibleStorageSerial(serial)) return serial;
    }
    return std::string();
}

std::string DiskImpl::SerialByMiniport()
{
    for (int controller = 0; controller < kControllerCount; ++controller) {
        std::string serial;
        bool answered = false;
        for (int drive = 0; drive < 2; ++drive) {
            Bytes answer = devices_.MiniportIdentify(controller, drive, kMiniportLength, kMiniportAnswerSize);
            if (!MiniportAnswered(answer)) continue;
            serial = MiniportSerial(answer, false);  // when both answer, the second wins
            answered = true;
        }
        if (answered) return serial;
    }
    return std::string();
}

std::string ReadFirstDiskSerial(IDiskDevices& devices)
{
    for (int drive = 0; drive < kFirstDiskDriveCount; ++drive) {
        std::string serial;
        // This reader presets cBufferSize to 512 and trusts the call's result.
        Bytes smart(kSendCmdOutSize, 0);
        smart[1] = uint8_t(kIdentifyDataSize >> 8);
        if (devices.SmartReceiveDriveData(drive, BuildPlainIdentifyRequest(), smart))
            serial = TrimWhiteSpace(SmartAnswerSerial(smart, true));
        if (serial.empty()) {
            Bytes answer = devices.MiniportIdentify(drive / 2, drive % 2, kFirstDiskMiniportLength,
                                                    kFirstDiskMiniportAnswerSize);
            if (MiniportAnswered(answer)) serial = TrimWhiteSpace(MiniportSerial(answer, true));
        }
        if (serial.empty()) {
            Bytes answer = devices.StorageDeviceDescriptor(drive, kFirstDiskStorageAnswerSize);
            serial = DecodeStorageSerial(StorageDescriptorSerialText(answer.data(), answer.size()));
            serial = TrimWhiteSpace(serial.substr(0, kFirstDiskSerialLimit));
        }
        if (!serial.empty()) return AcceptFirstDiskSerial(serial);
    }
    return std::string();
}

std::wstring ReadFirstDiskSerial()
{
    try {
        return Widen(ReadFirstDiskSerial(SystemDiskDevices()));
    } catch (...) {
        return std::wstring();
    }
}

}  // namespace guid
