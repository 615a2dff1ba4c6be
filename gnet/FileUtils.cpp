#include "gnet/FileUtils.h"

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cwctype>
#include <vector>

#include "gnet/Lock.h"

namespace gnet {
namespace {

const wchar_t kIllegalChars[] = L"\\/:*?\"<>|";
const int kMaxUniqueCounter = 1024;
const int64_t kMaxWholeFileRead = 1073741824;

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

std::wstring WithTrailingSeparator(const std::wstring& folder) {
    if (!folder.empty() && IsSeparator(folder.back())) return folder;
    return folder + L"\\";
}

std::wstring DriveRoot(const std::wstring& path) {
    int drive = PathGetDriveNumberW(path.c_str());
    if (drive < 0) return std::wstring();
    std::wstring root = L"A:\\";
    root[0] = static_cast<wchar_t>(L'A' + drive);
    return root;
}

}  // namespace

bool PathExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsDirectory(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool NamesNoFile(const std::wstring& path) {
    if (path.empty() || path.back() == L'\\' || path.back() == L'/') return true;
    return IsDirectory(path);
}

bool IsPathLegal(const std::wstring& path) {
    if (path.size() <= 3) return false;
    if (path[1] != L':' || !IsSeparator(path[2])) return false;
    if (!IsDirectory(path.substr(0, 3))) return false;
    std::wstring rest = path.substr(3);
    // Components are split at separators, so only the other reserved
    // characters can still be found inside one.
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find_first_of(L"\\/", start);
        if (end == std::wstring::npos) end = rest.size();
        std::wstring component = rest.substr(start, end - start);
        if (component.find_first_of(kIllegalChars) != std::wstring::npos) return false;
        start = end + 1;
    }
    return true;
}

bool CreateDirectoryRecursive(const std::wstring& folderIn) {
    if (folderIn.size() <= 2 || folderIn[1] != L':') return false;
    std::wstring folder = WithTrailingSeparator(folderIn);
    for (size_t i = 0; i < folder.size(); ++i) {
        if (!IsSeparator(folder[i])) continue;
        std::wstring prefix = folder.substr(0, i);
        if (prefix.size() <= 2 || IsDirectory(prefix)) continue;
        if (!CreateDirectoryW(prefix.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
    return true;
}

bool DeleteDirectory(const std::wstring& folder, bool contentsOnly) {
    std::wstring target = contentsOnly ? WithTrailingSeparator(folder) + L"*" : folder;
    std::vector<wchar_t> doubleZero(target.begin(), target.end());
    doubleZero.push_back(L'\0');
    doubleZero.push_back(L'\0');
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = doubleZero.data();
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
    return SHFileOperationW(&operation) == 0;
}

bool IsPathWritable(const std::wstring& folder) {
    if (folder.size() < 3) return false;
    std::wstring testFolder = WithTrailingSeparator(folder) + L"test4822FBB5_0309_420f_9DA2_FA5B8B854946";
    std::wstring testFile = testFolder + L"\\test4822FBB5_0309_420f_9DA2_FA5B8B854947.txt";
    DeleteFileW(testFile.c_str());
    RemoveDirectoryW(testFolder.c_str());
    if (!CreateDirectoryRecursive(testFolder)) return false;
    bool written = false;
    {
        CScopedHandle file(CreateFileW(testFile.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.Valid()) {
            const wchar_t text[] = L"test_write";
            DWORD done = 0;
            written = WriteFile(file.Get(), text, 10, &done, nullptr) && done == 10;
        }
    }
    DeleteFileW(testFile.c_str());
    DeleteDirectory(testFolder, false);
    RemoveDirectoryW(testFolder.c_str());
    return written;
}

bool IsNtfsVolume(const std::wstring& path) {
    std::wstring root = DriveRoot(path);
    if (root.empty()) return false;
    wchar_t fileSystem[MAX_PATH + 1] = {0};
    if (!GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, fileSystem, MAX_PATH))
        return false;
    return lstrcmpiW(fileSystem, L"NTFS") == 0;
}

uint64_t GetFreeSpaceMB(const std::wstring& path) {
    std::wstring root = DriveRoot(path);
    if (root.empty()) return 0;
    if (!GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, nullptr, 0)) return 0;
    ULARGE_INTEGER freeToCaller, total, totalFree;
    if (!GetDiskFreeSpaceExW(root.c_str(), &freeToCaller, &total, &totalFree)) return 0;
    return totalFree.QuadPart / 1048576;
}

int64_t GetFileSizeByName(const std::wstring& path) {
    CScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return 0;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.Get(), &size)) return 0;
    return size.QuadPart;
}

bool MakeUniqueFileName(const std::wstring& path, std::wstring& out) {
    if (!PathExists(path)) {
        out = path;
        return true;
    }
    const wchar_t* extensionStart = PathFindExtensionW(path.c_str());
    std::wstring extension = extensionStart;
    std::wstring stem = path.substr(0, path.size() - extension.size());
    std::wstring candidate = path;
    int counter = 1;
    do {
        // An empty file (or one that cannot be opened but can be deleted) is taken over.
        if (GetFileSizeByName(candidate) == 0 && DeleteFileW(candidate.c_str())) {
            out = candidate;
            return true;
        }
        wchar_t number[16];
        swprintf(number, 16, L"(%d)", counter);
        candidate = stem + number + extension;
        ++counter;
        if (counter > kMaxUniqueCounter) {
            out.clear();
            return false;
        }
    } while (PathExists(candidate));
    out = candidate;
    return true;
}

std::wstring GetParentPath(const std::wstring& path) {
    size_t last = path.find_last_of(L"\\/");
    if (last == std::wstring::npos) return std::wstring();
    return path.substr(0, last);
}

bool ReadWholeFile(const std::wstring& path, std::string& out) {
    CScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart > kMaxWholeFileRead) return false;
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD done = 0;
    if (!bytes.empty() && (!ReadFile(file.Get(), &bytes[0], static_cast<DWORD>(bytes.size()), &done, nullptr) ||
                           done != bytes.size()))
        return false;
    out.swap(bytes);
    return true;
}

bool WriteFileAtomically(const std::wstring& path, const std::string& bytes) {
    std::wstring temporary = path + L".tmp";
    {
        CScopedHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.Valid()) return false;
        DWORD done = 0;
        if (!WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) ||
            done != bytes.size())
            return false;
        FlushFileBuffers(file.Get());
    }
    return MoveFileExW(temporary.c_str(), path.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace gnet
