#pragma once
// Where downloads go: the temporary folder, or a folder on the best fixed
// drive when the temporary folder's drive is short of space.
#include <windows.h>

#include <cstdint>
#include <string>

// What the drive choice needs to know about the machine's drives; the system
// one asks Windows, tests hand in a table of fake drives.
class IDriveInfo {
public:
    virtual ~IDriveInfo() = default;
    virtual DWORD LogicalDrives() = 0;                              // bit 0 = A:
    virtual bool IsFixed(wchar_t letter) = 0;
    virtual bool FreeBytes(wchar_t letter, uint64_t* bytes) = 0;    // false: unreadable
    virtual bool IsWritable(wchar_t letter) = 0;
    virtual bool IsUsb(wchar_t letter) = 0;                         // false when unknown
    // Free space of the drive holding `path` in MiB; 0 when unreadable.
    virtual uint64_t FreeMiB(const std::wstring& path) = 0;
    // Creates the folder with its parents; true when it then is a real
    // folder (not a reparse point).
    virtual bool EnsureFolder(const std::wstring& folder) = 0;
};

IDriveInfo& SystemDriveInfo();

// A work folder needs more than this much free space (in MiB).
constexpr uint64_t kWorkFolderMinFreeMiB = 100;

struct BestDrive {
    wchar_t letter = 0;       // 0 when no drive qualifies
    uint64_t freeBytes = 0;
};

// The first fixed, readable, writable drive, replaced by a later one only
// when that has strictly more free bytes and is not attached by USB.
BestDrive FindBestFixedDrive(IDriveInfo& drives);

// The temporary folder when its drive has at least 100 MiB free, else
// "<best drive>:\brk_temp\" (created when missing). False when neither will do.
bool InitWorkFolder(IDriveInfo& drives, const std::wstring& tempFolder, std::wstring* workFolder);
bool InitWorkFolder(std::wstring* workFolder);

// The user's temporary folder, ending in a backslash; fetched once, created
// with its parents when missing.
const std::wstring& GetTempFolder();

// A new, empty, uniquely named file in the temporary folder ("brk" prefix);
// empty text on failure.
std::wstring MakeTempFileName();

// Whether a folder and a file can be created and written on the drive. Only
// its own test file and folder are ever deleted; a test folder that is a
// reparse point makes the drive count as not writable.
bool IsDriveWritable(wchar_t letter);
// The same test on a given test folder (the drive test's folder, or one a
// test chooses).
bool IsFolderWritable(const std::wstring& testFolder);

// Free space of the drive holding `path`, in MiB; 0 when unreadable.
uint64_t GetFreeSpaceMiB(const std::wstring& path);

// Bus type query of a drive; false when it cannot be asked.
bool IsUsbDrive(wchar_t letter);

// True when `path` exists and is a reparse point (junction, symbolic link).
bool IsReparsePoint(const std::wstring& path);
