#include "setup/WorkFolder.h"

#include <shlobj.h>
#include <winioctl.h>

#include <cstring>

namespace {

constexpr uint64_t kBytesPerMiB = 1024 * 1024;
constexpr wchar_t kTestFolderName[] = L":\\test4822FBB5_0309_420f_9DA2_FA5B8B854946";
constexpr wchar_t kTestFileName[] = L"\\test4822FBB5_0309_420f_9DA2_FA5B8B854947.txt";
constexpr wchar_t kWorkFolderName[] = L":\\brk_temp\\";
constexpr char kTestText[] = "test_write";

std::wstring DriveRoot(wchar_t letter)
{
    return std::wstring(1, letter) + L":\\";
}

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Creates the folder with its parents; true when it is a real folder then.
bool EnsureRealFolder(const std::wstring& folder)
{
    if (!IsFolder(folder))
        SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    return IsFolder(folder) && !IsReparsePoint(folder);
}

bool DriveFreeBytes(const std::wstring& root, uint64_t* bytes)
{
    ULARGE_INTEGER available, total, totalFree;
    if (!GetDiskFreeSpaceExW(root.c_str(), &available, &total, &totalFree))
        return false;
    *bytes = totalFree.QuadPart;
    return true;
}

class CSystemDriveInfo : public IDriveInfo {
public:
    DWORD LogicalDrives() override { return GetLogicalDrives(); }
    bool IsFixed(wchar_t letter) override { return GetDriveTypeW(DriveRoot(letter).c_str()) == DRIVE_FIXED; }
    bool FreeBytes(wchar_t letter, uint64_t* bytes) override { return DriveFreeBytes(DriveRoot(letter), bytes); }
    bool IsWritable(wchar_t letter) override { return IsDriveWritable(letter); }
    bool IsUsb(wchar_t letter) override { return IsUsbDrive(letter); }
    uint64_t FreeMiB(const std::wstring& path) override { return GetFreeSpaceMiB(path); }
    bool EnsureFolder(const std::wstring& folder) override { return EnsureRealFolder(folder); }
};

}  // namespace

IDriveInfo& SystemDriveInfo()
{
    static CSystemDriveInfo info;
    return info;
}

BestDrive FindBestFixedDrive(IDriveInfo& drives)
{
    BestDrive best;
    const DWORD mask = drives.LogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if ((mask & (1u << i)) == 0)
            continue;
        const wchar_t letter = static_cast<wchar_t>(L'A' + i);
        uint64_t freeBytes = 0;
        if (!drives.IsFixed(letter) || !drives.FreeBytes(letter, &freeBytes))
            continue;
        // A later drive only counts when it would replace the candidate, so
        // cheaper tests go before the writable test.
        if (best.letter != 0 && (freeBytes <= best.freeBytes || drives.IsUsb(letter)))
            continue;
        if (!drives.IsWritable(letter))
            continue;
        best.letter = letter;
        best.freeBytes = freeBytes;
    }
    return best;
}

bool InitWorkFolder(IDriveInfo& drives, const std::wstring& tempFolder, std::wstring* workFolder)
{
    *workFolder = tempFolder;
    if (drives.FreeMiB(tempFolder) >= kWorkFolderMinFreeMiB)
        return true;
    const BestDrive best = FindBestFixedDrive(drives);
    if (best.letter == 0 || best.freeBytes <= kWorkFolderMinFreeMiB * kBytesPerMiB)
        return false;
    const std::wstring folder = std::wstring(1, best.letter) + kWorkFolderName;
    if (!drives.EnsureFolder(folder))
        return false;
    *workFolder = folder;
    return true;
}

bool InitWorkFolder(std::wstring* workFolder)
{
    return InitWorkFolder(SystemDriveInfo(), GetTempFolder(), workFolder);
}

const std::wstring& GetTempFolder()
{
    static const std::wstring folder = [] {
        wchar_t path[MAX_PATH + 1] = {};
        const DWORD length = GetTempPathW(MAX_PATH + 1, path);
        std::wstring text = length > 0 && length <= MAX_PATH ? std::wstring(path, length) : std::wstring();
        if (!text.empty() && text.back() != L'\\')
            text += L'\\';
        if (!text.empty() && !IsFolder(text))
            SHCreateDirectoryExW(nullptr, text.c_str(), nullptr);
        return text;
    }();
    return folder;
}

std::wstring MakeTempFileName()
{
    wchar_t name[MAX_PATH] = {};
    if (GetTempFolder().empty() || GetTempFileNameW(GetTempFolder().c_str(), L"brk_mini_setup", 0, name) == 0)
        return std::wstring();
    return name;
}

bool IsReparsePoint(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool IsFolderWritable(const std::wstring& testFolder)
{
    // A link in place of the test folder would send the test, and its
    // clean-up, somewhere else.
    if (IsReparsePoint(testFolder))
        return false;
    const std::wstring testFile = testFolder + kTestFileName;
    DeleteFileW(testFile.c_str());
    RemoveDirectoryW(testFolder.c_str());
    if (SHCreateDirectoryExW(nullptr, testFolder.c_str(), nullptr) != ERROR_SUCCESS)
        return false;

    bool written = false;
    HANDLE file = CreateFileW(testFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD count = 0;
        const DWORD length = static_cast<DWORD>(std::strlen(kTestText));
        written = WriteFile(file, kTestText, length, &count, nullptr) && count == length;
        CloseHandle(file);
        DeleteFileW(testFile.c_str());
    }
    RemoveDirectoryW(testFolder.c_str());
    return written;
}

bool IsDriveWritable(wchar_t letter)
{
    return IsFolderWritable(std::wstring(1, letter) + kTestFolderName);
}

uint64_t GetFreeSpaceMiB(const std::wstring& path)
{
    wchar_t root[MAX_PATH + 1] = {};
    if (!GetVolumePathNameW(path.c_str(), root, MAX_PATH + 1))
        return 0;
    if (!GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, nullptr, nullptr, 0))
        return 0;
    uint64_t bytes = 0;
    return DriveFreeBytes(root, &bytes) ? bytes / kBytesPerMiB : 0;
}

bool IsUsbDrive(wchar_t letter)
{
    const std::wstring volume = std::wstring(L"\\\\?\\") + letter + L":";
    HANDLE device = CreateFileW(volume.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE)
        return false;
    STORAGE_PROPERTY_QUERY query = {};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    alignas(STORAGE_DEVICE_DESCRIPTOR) unsigned char buffer[1024] = {};
    DWORD returned = 0;
    const BOOL asked = DeviceIoControl(device, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, buffer,
                                       sizeof buffer, &returned, nullptr);
    CloseHandle(device);
    const auto* descriptor = reinterpret_cast<const STORAGE_DEVICE_DESCRIPTOR*>(buffer);
    return asked && returned >= offsetof(STORAGE_DEVICE_DESCRIPTOR, BusType) + sizeof descriptor->BusType &&
           descriptor->BusType == BusTypeUsb;
}
