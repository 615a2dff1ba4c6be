#include "report/ReportFolderFile.h"

#include <shlwapi.h>

#include "report/ReportLocations.h"

namespace {

HANDLE ValidOrNull(HANDLE handle) { return handle == INVALID_HANDLE_VALUE ? nullptr : handle; }

void CloseIfOpen(HANDLE& handle)
{
    if (handle) CloseHandle(handle);
    handle = nullptr;
}

bool SamePath(const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) == 0; }

bool IsReparsePoint(HANDLE handle, BY_HANDLE_FILE_INFORMATION& info)
{
    if (!GetFileInformationByHandle(handle, &info)) return true;  // unknown counts as unsafe
    return (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace

std::wstring FinalPathOf(HANDLE handle)
{
    wchar_t buffer[MAX_PATH + 8] = {};
    DWORD length = GetFinalPathNameByHandleW(handle, buffer, MAX_PATH + 8, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= MAX_PATH + 8) return std::wstring();
    std::wstring path(buffer, length);
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) return L"\\\\" + path.substr(8);
    if (path.compare(0, 4, L"\\\\?\\") == 0) return path.substr(4);
    return path;
}

bool IsReportFolderFile(const std::wstring& path, const wchar_t* extension)
{
    std::wstring folder = ReportFolder();
    if (folder.empty() || path.size() >= MAX_PATH) return false;
    wchar_t full[MAX_PATH] = {};
    DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) return false;
    // The name as given must already be the plain full path: no "..", no
    // forward slashes, no device prefixes.
    if (!SamePath(full, path)) return false;
    std::wstring fullPath(full);
    if (fullPath.size() <= folder.size() + 1) return false;
    if (_wcsnicmp(fullPath.c_str(), folder.c_str(), folder.size()) != 0 || fullPath[folder.size()] != L'\\')
        return false;
    std::wstring name = fullPath.substr(folder.size() + 1);
    if (name.find_first_of(L"\\/:") != std::wstring::npos) return false;
    return _wcsicmp(PathFindExtensionW(name.c_str()), extension) == 0;
}

CReportFolderFile::CReportFolderFile(const std::wstring& path, const wchar_t* extension, bool holdForReading)
{
    state_ = Inspect(path, extension, holdForReading);
    if (state_ != State::Owned) CloseIfOpen(file_);
    if (state_ == State::NotOurs) CloseIfOpen(folder_);
}

CReportFolderFile::~CReportFolderFile()
{
    CloseIfOpen(file_);
    CloseIfOpen(folder_);
}

void CReportFolderFile::ReleaseFile() { CloseIfOpen(file_); }

CReportFolderFile::State CReportFolderFile::Inspect(const std::wstring& path, const wchar_t* extension,
                                                    bool holdForReading)
{
    if (!IsReportFolderFile(path, extension)) return State::NotOurs;
    const std::wstring folder = ReportFolder();

    // Listing access without delete sharing: nobody can rename or remove the
    // folder (and put a junction in its place) while we hold it.
    folder_ = ValidOrNull(CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!folder_ || IsReparsePoint(folder_, info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return State::NotOurs;
    // The folder must be reached by its own name: no parent is a link either.
    const std::wstring folderFinal = FinalPathOf(folder_);
    if (folderFinal.empty() || !SamePath(folderFinal, folder)) return State::NotOurs;

    const DWORD access = holdForReading ? GENERIC_READ : FILE_READ_ATTRIBUTES;
    const DWORD share = holdForReading ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    file_ = ValidOrNull(CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file_) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? State::Missing : State::NotOurs;
    }
    if (IsReparsePoint(file_, info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return State::NotOurs;
    // A second name for the same data (a hard link) may lead to a file that is not ours.
    if (info.nNumberOfLinks != 1) return State::NotOurs;
    const std::wstring name = PathFindFileNameW(path.c_str());
    if (!SamePath(FinalPathOf(file_), folderFinal + L"\\" + name)) return State::NotOurs;
    if (!holdForReading) CloseIfOpen(file_);
    return State::Owned;
}
