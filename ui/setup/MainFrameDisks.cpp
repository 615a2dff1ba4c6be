#include "ui/setup/MainFrameDisks.h"

#include <shlobj.h>

namespace {

class CSystemFrameDisks final : public IFrameDisks {
public:
    std::wstring ProgramFilesFolder() override
    {
        wchar_t path[MAX_PATH] = {};
        if (!SHGetSpecialFolderPathW(nullptr, path, CSIDL_PROGRAM_FILES, TRUE)) return std::wstring();
        return path;
    }

    bool AvailableBytes(const std::wstring& root, uint64_t* bytes) override
    {
        ULARGE_INTEGER available = {}, total = {}, totalFree = {};
        if (!GetDiskFreeSpaceExW(root.c_str(), &available, &total, &totalFree)) return false;
        *bytes = available.QuadPart;
        return true;
    }

    BestDrive BestFixedDrive() override { return FindBestFixedDrive(SystemDriveInfo()); }

    bool IsDirectory(const std::wstring& folder) override
    {
        DWORD attributes = GetFileAttributesW(folder.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }

    void CreateFolder(const std::wstring& folder) override
    {
        SHCreateDirectoryExW(nullptr, (folder + L"\\").c_str(), nullptr);
    }
};

}  // namespace

IFrameDisks& SystemFrameDisks()
{
    static CSystemFrameDisks disks;
    return disks;
}

std::wstring FolderRoot(const std::wstring& folder) { return folder.substr(0, folder.find(L'\\')); }

bool HasRoomFor(IFrameDisks& disks, const std::wstring& folder)
{
    uint64_t available = 0;
    if (!disks.AvailableBytes(FolderRoot(folder), &available)) return false;
    return available >= kDestinationMinFreeBytes;
}

DestinationChoice ChooseDestinationFolder(IFrameDisks& disks)
{
    DestinationChoice choice;
    const std::wstring programFiles = disks.ProgramFilesFolder() + kProductFolderTail;
    choice.folder = programFiles;
    if (HasRoomFor(disks, programFiles)) return choice;

    choice.roomy = false;
    const BestDrive best = disks.BestFixedDrive();
    if (best.letter != 0 && best.freeBytes >= kDestinationMinFreeBytes) {
        choice.folder = std::wstring(1, best.letter) + L":" + kProductFolderTail;
        return choice;
    }
    choice.openPanel = true;
    return choice;
}
