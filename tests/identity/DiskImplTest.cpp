// The disk readers' walk over the devices, with made-up device answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <stdexcept>

#include "identity/DiskImpl.h"

using namespace guid;

namespace {

Bytes IdentifyData(const std::string& serial, const std::string& model)
{
    Bytes data(kIdentifyDataSize, 0);
    auto put = [&](size_t firstWord, size_t words, std::string text) {
        text.resize(words * 2, ' ');
        for (size_t i = 0; i < text.size(); i += 2) {
            data[firstWord * 2 + i] = uint8_t(text[i + 1]);
            data[firstWord * 2 + i + 1] = uint8_t(text[i]);
        }
    };
    put(kSerialFirstWord, kSerialWordCount, serial);
    if (!model.empty()) put(kModelFirstWord, kModelWordCount, model);
    return data;
}

Bytes SmartAnswer(const std::string& serial, uint32_t bufferSize = 512)
{
    Bytes answer(kSendCmdOutSize, 0);
    answer[0] = uint8_t(bufferSize);
    answer[1] = uint8_t(bufferSize >> 8);
    Bytes data = IdentifyData(serial, "MODEL");
    std::copy(data.begin(), data.end(), answer.begin() + kSendCmdOutDataOffset);
    return answer;
}

Bytes MiniportAnswer(const std::string& serial, const std::string& model)
{
    Bytes answer(557, 0);
    Bytes data = IdentifyData(serial, model);
    std::copy(data.begin(), data.end(), answer.begin() + kMiniportIdentifyOffset);
    return answer;
}

Bytes StorageAnswer(const std::string& serial)
{
    Bytes answer(2048, 0);
    answer[kStorageSerialOffsetField] = 64;
    std::copy(serial.begin(), serial.end(), answer.begin() + 64);
    return answer;
}

class FakeDevices : public IDiskDevices {
public:
    std::map<int, uint8_t> ideMaps;
    std::map<int, Bytes> smart, storage;
    std::map<std::pair<int, int>, Bytes> miniport;
    std::set<int> smartSilent;
    std::map<int, uint8_t> smartCommands;  // command asked of each drive
    std::vector<std::pair<int, int>> miniportAsked;
    bool throwOnSmart = false;

    bool SmartIdeDeviceMap(int drive, uint8_t& map) override
    {
        if (throwOnSmart) throw std::runtime_error("device failure");
        auto found = ideMaps.find(drive);
        if (found == ideMaps.end()) return false;
        map = found->second;
        return true;
    }
    // A drive in `smart` fills the caller's block with its answer; one in
    // `smartSilent` succeeds without writing a byte; any other fails.
    bool SmartReceiveDriveData(int drive, const Bytes& request, Bytes& answer) override
    {
        smartCommands[drive] = request[10];
        if (smartSilent.count(drive)) return true;
        auto found = smart.find(drive);
        if (found == smart.end()) return false;
        std::copy(found->second.begin(), found->second.begin() + std::min(found->second.size(), answer.size()),
                  answer.begin());
        return true;
    }
    Bytes StorageDeviceDescriptor(int drive, size_t) override
    {
        auto found = storage.find(drive);
        return found == storage.end() ? Bytes() : found->second;
    }
    Bytes MiniportIdentify(int controller, int drive, uint32_t, size_t) override
    {
        miniportAsked.emplace_back(controller, drive);
        auto found = miniport.find({controller, drive});
        return found == miniport.end() ? Bytes() : found->second;
    }
};

std::vector<std::string> Hashes(std::vector<std::string> raws)
{
    std::vector<std::string> hashes;
    for (const std::string& raw : raws) hashes.push_back(HashSourceValue(raw));
    std::sort(hashes.begin(), hashes.end());
    return hashes;
}

}  // namespace

TEST(DiskImpl, EachMethodAddsTheSerialOfItsFirstAnsweringDevice)
{
    FakeDevices devices;
    devices.ideMaps = {{0, 0x00}, {1, 0x02}, {2, 0x04}};  // drive 0 has no IDE device
    devices.smart = {{0, SmartAnswer("IGNORED0")}, {1, SmartAnswer("SMART-ONE")}, {2, SmartAnswer("SMART-TWO")}};
    devices.storage = {{0, StorageAnswer("----")}, {3, StorageAnswer("2020202031534e5a454e4741")}};
    devices.miniport = {{{2, 1}, MiniportAnswer("MINIPORT-2", "ST1000")}};
    DiskImpl disk(devices);
    EXPECT_EQ(0u, disk.Collect());
    EXPECT_EQ(Hashes({"SMART-ONE", "S1ZNNEAG", "MINIPORT-2"}), disk.Values());
    EXPECT_EQ(0u, devices.smartCommands.count(0));
}

TEST(DiskImpl, AtapiDriveIsAskedWithThePacketCommand)
{
    FakeDevices devices;
    devices.ideMaps = {{1, 0x20}};
    devices.smart = {{1, SmartAnswer("CDROM")}};
    DiskImpl disk(devices);
    disk.Collect();
    EXPECT_EQ(kIdentifyPacketDevice, devices.smartCommands[1]);
}

TEST(DiskImpl, SmartAnswerWithSmallBufferSizeDoesNotCount)
{
    FakeDevices devices;
    devices.ideMaps = {{0, 0x01}, {1, 0x02}};
    devices.smart = {{0, SmartAnswer("TINY", 46)}, {1, SmartAnswer("REAL")}};
    DiskImpl disk(devices);
    disk.Collect();
    EXPECT_EQ(Hashes({"REAL"}), disk.Values());
}

TEST(DiskImpl, DriverThatSucceedsWithoutFillingTheBlockDoesNotCount)
{
    FakeDevices devices;
    devices.ideMaps = {{0, 0x01}, {1, 0x02}};
    devices.smartSilent = {0};
    devices.smart = {{1, SmartAnswer("FILLED")}};
    DiskImpl disk(devices);
    disk.Collect();
    EXPECT_EQ(1u, devices.smartCommands.count(1)) << "the walk must move on to the next drive";
    EXPECT_EQ(Hashes({"FILLED"}), disk.Values());
}

TEST(FirstDiskSerial, SilentDriverGivesNoSerialAndTheNextMethodIsAsked)
{
    FakeDevices devices;
    devices.smartSilent = {0};
    devices.storage = {{0, StorageAnswer("RESTOGA")}};
    EXPECT_EQ("ERTSGOA", ReadFirstDiskSerial(devices));
}

TEST(DiskImpl, SecondDriveOfAControllerWinsAndTheControllerLoopStops)
{
    FakeDevices devices;
    devices.miniport = {{{1, 0}, MiniportAnswer("FIRST", "M")},
                        {{1, 1}, MiniportAnswer("SECOND", "M")},
                        {{2, 0}, MiniportAnswer("LATER", "M")},
                        {{0, 0}, MiniportAnswer("NO-MODEL", "")}};
    DiskImpl disk(devices);
    disk.Collect();
    EXPECT_EQ(Hashes({"SECOND"}), disk.Values());
    EXPECT_EQ(std::make_pair(1, 1), devices.miniportAsked.back());
}

TEST(DiskImpl, SameSerialByTwoMethodsCountsOnceAndHexBlanksAreCleaned)
{
    FakeDevices devices;
    devices.ideMaps = {{0, 0x01}};
    devices.smart = {{0, SmartAnswer("ABC2020")}};
    devices.storage = {{0, StorageAnswer("BA")}};  // swapped to "AB"... then "ABC" differs
    devices.miniport = {{{0, 0}, MiniportAnswer("ABC", "M")}};
    DiskImpl disk(devices);
    disk.Collect();
    EXPECT_EQ(Hashes({"ABC", "AB"}), disk.Values());
}

TEST(DiskImpl, FailingMethodReportsItsCodeAndTheOthersStillCount)
{
    FakeDevices devices;
    devices.throwOnSmart = true;
    devices.storage = {{0, StorageAnswer("1S")}};
    DiskImpl disk(devices);
    EXPECT_EQ(DiskImpl::kSmartFailed, disk.Collect());
    EXPECT_EQ(Hashes({"S1"}), disk.Values());
}

TEST(DiskImpl, NoDevicesGiveNoValues)
{
    FakeDevices devices;
    DiskImpl disk(devices);
    EXPECT_EQ(0u, disk.Collect());
    EXPECT_TRUE(disk.Values().empty());
}

TEST(FirstDiskSerial, MethodsAreTriedInOrderPerDrive)
{
    FakeDevices devices;
    devices.smart = {{1, SmartAnswer("   SMART1   ")}};
    devices.miniport = {{{0, 0}, MiniportAnswer("", "M")}};  // drive 0: empty serial
    EXPECT_EQ("SMART1", ReadFirstDiskSerial(devices));
}

TEST(FirstDiskSerial, MiniportUsesControllerAndDriveOfTheDriveNumber)
{
    FakeDevices devices;
    devices.miniport = {{{1, 1}, MiniportAnswer("  DRIVE3", "M")}};
    EXPECT_EQ("DRIVE3", ReadFirstDiskSerial(devices));
}

TEST(FirstDiskSerial, StorageSerialIsCutTo19Characters)
{
    FakeDevices devices;
    devices.storage = {{0, StorageAnswer("BADCFEHGJILKNMPORQTSVU")}};
    EXPECT_EQ("ABCDEFGHIJKLMNOPQRS", ReadFirstDiskSerial(devices));
}

TEST(FirstDiskSerial, ZerosMeanNoSerial)
{
    FakeDevices devices;
    devices.smart = {{0, SmartAnswer("00000000")}};
    devices.storage = {{1, StorageAnswer("EROLAR")}};
    EXPECT_EQ("", ReadFirstDiskSerial(devices));
}

TEST(FirstDiskSerial, NothingAnswersGivesEmpty)
{
    FakeDevices devices;
    EXPECT_EQ("", ReadFirstDiskSerial(devices));
}
