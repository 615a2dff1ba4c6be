#include "app/LaunchOrigin.h"

#include <windows.h>
#include <psapi.h>

#include <cwchar>
#include <vector>

#include "app/Privilege.h"
#include "base/FileVersion.h"

namespace {

constexpr LONG kStatusInfoLengthMismatch = LONG(0xC0000004);
constexpr ULONG kSystemProcessInformation = 5;
constexpr ULONG kProcessBasicInformation = 0;

// Layouts of the two ntdll records as the 32-bit system returns them; only the
// leading fields are used.
struct BasicInformation {
    LONG exitStatus;
    void* pebBaseAddress;
    ULONG_PTR affinityMask;
    LONG basePriority;
    ULONG_PTR uniqueProcessId;
    ULONG_PTR inheritedFromUniqueProcessId;
};

struct UnicodeText {
    USHORT length;
    USHORT maximumLength;
    wchar_t* buffer;
};

struct SystemProcessRecord {
    ULONG nextEntryOffset;
    ULONG numberOfThreads;
    LARGE_INTEGER reserved[3];
    LARGE_INTEGER createTime;
    LARGE_INTEGER userTime;
    LARGE_INTEGER kernelTime;
    UnicodeText imageName;
    LONG basePriority;
    HANDLE uniqueProcessId;
    HANDLE inheritedFromUniqueProcessId;
};

using QueryInformationProcess = LONG(WINAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);
using QuerySystemInformation = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);

std::wstring OrNull(const std::wstring& text) { return text.empty() ? std::wstring(L"null") : text; }

std::vector<std::pair<std::wstring, std::wstring>> DriveDevices()
{
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    wchar_t drives[512] = {};
    DWORD length = GetLogicalDriveStringsW(_countof(drives) - 1, drives);
    if (length == 0 || length >= _countof(drives)) return pairs;
    for (const wchar_t* drive = drives; *drive; drive += wcslen(drive) + 1) {
        std::wstring letter(drive, 2);  // "C:"
        wchar_t device[MAX_PATH] = {};
        if (QueryDosDeviceW(letter.c_str(), device, MAX_PATH)) pairs.emplace_back(letter, device);
    }
    return pairs;
}

std::wstring FileNamePart(const std::wstring& path)
{
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool FindParent(ParentProcessInfo* info, DWORD* parentId)
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (!ntdll) return false;
    auto queryProcess =
        reinterpret_cast<QueryInformationProcess>(GetProcAddress(ntdll, "NtQueryInformationProcess"));
    auto querySystem = reinterpret_cast<QuerySystemInformation>(GetProcAddress(ntdll, "NtQuerySystemInformation"));
    if (!queryProcess || !querySystem) return false;
    BasicInformation basic = {};
    if (queryProcess(GetCurrentProcess(), kProcessBasicInformation, &basic, sizeof(basic), nullptr) < 0)
        return false;
    *parentId = DWORD(basic.inheritedFromUniqueProcessId);

    TryEnablePrivilege(L"SeDebugPrivilege");
    std::vector<BYTE> buffer(64 * 1024);
    LONG status = kStatusInfoLengthMismatch;
    for (int attempt = 0; attempt < 16 && status == kStatusInfoLengthMismatch; ++attempt) {
        ULONG needed = 0;
        status = querySystem(kSystemProcessInformation, buffer.data(), ULONG(buffer.size()), &needed);
        if (status == kStatusInfoLengthMismatch) buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
    }
    if (status < 0) return false;
    info->queried = true;
    size_t offset = 0;
    for (;;) {
        if (offset + sizeof(SystemProcessRecord) > buffer.size()) break;
        auto* record = reinterpret_cast<SystemProcessRecord*>(buffer.data() + offset);
        if (DWORD(reinterpret_cast<ULONG_PTR>(record->uniqueProcessId)) == *parentId) {
            info->found = true;
            if (record->imageName.buffer && record->imageName.length)
                info->imageName.assign(record->imageName.buffer, record->imageName.length / sizeof(wchar_t));
            break;
        }
        if (record->nextEntryOffset == 0) break;
        offset += record->nextEntryOffset;
    }
    return true;
}

}  // namespace

std::wstring DevicePathToDrivePath(const std::wstring& devicePath,
                                   const std::vector<std::pair<std::wstring, std::wstring>>& driveDevices)
{
    for (const auto& pair : driveDevices) {
        const std::wstring& prefix = pair.second;
        if (prefix.empty() || devicePath.size() < prefix.size()) continue;
        if (_wcsnicmp(devicePath.c_str(), prefix.c_str(), prefix.size()) != 0) continue;
        // "\Device\HarddiskVolume1" is no prefix of "\Device\HarddiskVolume10\x.exe".
        if (devicePath.size() > prefix.size() && devicePath[prefix.size()] != L'\\') continue;
        return pair.first + devicePath.substr(prefix.size());
    }
    return devicePath;
}

std::wstring FormatLaunchOrigin(const std::wstring& channelName, const ParentProcessInfo& parent,
                                const std::wstring& fileInfoRecord)
{
    if (!parent.queried) return std::wstring();
    if (parent.opened)
        return OrNull(channelName) + L"|" + parent.imageName + L"|" + fileInfoRecord;
    return OrNull(channelName) + L"|" + OrNull(parent.imageName) + L"|null|null|null|null|null|null";
}

std::wstring LaunchOriginFallback(const std::wstring& channelName)
{
    return OrNull(channelName) + L"|null|null|null|null|null|null|null";
}

std::wstring BuildLaunchOriginRecord(const std::wstring& channelName)
{
    ParentProcessInfo parent;
    DWORD parentId = 0;
    if (!FindParent(&parent, &parentId)) return std::wstring();
    if (parent.found) {
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, parentId);
        if (process) {
            wchar_t devicePath[MAX_PATH] = {};
            if (GetProcessImageFileNameW(process, devicePath, MAX_PATH)) {
                parent.opened = true;
                parent.imagePath = DevicePathToDrivePath(devicePath, DriveDevices());
                if (parent.imageName.empty()) parent.imageName = FileNamePart(parent.imagePath);
            }
            CloseHandle(process);
        }
    }
    return FormatLaunchOrigin(channelName, parent, parent.opened ? GetFileInfoRecord(parent.imagePath) : L"");
}
