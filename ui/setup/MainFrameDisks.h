#pragma once
// What the setup window asks about folders and drives when it picks the
// destination folder: the Program Files folder, the free space of a drive, the
// best fixed drive and whether a folder exists. The system answers by default;
// tests hand in their own drives.
#include <windows.h>

#include <cstdint>
#include <string>

#include "setup/WorkFolder.h"

// The destination folder needs at least this much free space on its drive.
constexpr uint64_t kDestinationMinFreeBytes = 0x0C800000;  // 200 MiB
// The product's folder below Program Files or a drive's root.
constexpr wchar_t kProductFolderTail[] = L"\\Nuvex Security\\Brisko";

class IFrameDisks {
public:
    virtual ~IFrameDisks() = default;
    // SHGetSpecialFolderPathW(CSIDL_PROGRAM_FILES); empty when it fails.
    virtual std::wstring ProgramFilesFolder() = 0;
    // GetDiskFreeSpaceExW: the bytes available to the caller; false when unreadable.
    virtual bool AvailableBytes(const std::wstring& root, uint64_t* bytes) = 0;
    // The fixed drive with the most free space (letter 0: none).
    virtual BestDrive BestFixedDrive() = 0;
    virtual bool IsDirectory(const std::wstring& folder) = 0;
    // SHCreateDirectoryExW on the folder followed by a backslash.
    virtual void CreateFolder(const std::wstring& folder) = 0;
};

IFrameDisks& SystemFrameDisks();

// The root a space check looks at: the folder text up to its first backslash.
std::wstring FolderRoot(const std::wstring& folder);

// True when the drive of `folder` has at least 200 MiB available.
bool HasRoomFor(IFrameDisks& disks, const std::wstring& folder);

// The destination folder chosen at start.
struct DestinationChoice {
    std::wstring folder;
    bool roomy = true;         // the space check on Program Files passed
    bool openPanel = false;    // no drive with enough room: the user must choose
};

// Program Files\Nuvex Security\Brisko when its drive has room; else the best
// fixed drive's product folder when that drive has room; else Program Files
// again, and the user is asked to choose.
DestinationChoice ChooseDestinationFolder(IFrameDisks& disks);
