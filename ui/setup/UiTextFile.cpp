#include "ui/setup/UiTextFile.h"

#include <shlobj.h>

namespace {

constexpr wchar_t kTempPrefix[] = L"brk_mini_setup";

// The user's temporary folder, created with its parents when it is missing.
std::wstring TemporaryFolder()
{
    wchar_t folder[MAX_PATH + 1] = {};
    DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH) return std::wstring();
    if (GetFileAttributesW(folder) == INVALID_FILE_ATTRIBUTES) SHCreateDirectoryExW(nullptr, folder, nullptr);
    return folder;
}

// A new, empty, uniquely named file in the temporary folder.
std::wstring NewTemporaryFile()
{
    std::wstring folder = TemporaryFolder();
    if (folder.empty()) return std::wstring();
    wchar_t name[MAX_PATH] = {};
    if (!GetTempFileNameW(folder.c_str(), kTempPrefix, 0, name)) return std::wstring();
    return name;
}

bool WriteWholeFile(const std::wstring& path, const void* data, DWORD size)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(file, data, size, &written, nullptr) && written == size;
    ok = FlushFileBuffers(file) && ok;
    CloseHandle(file);
    return ok;
}

}  // namespace

const void* FindUiTextResource(HMODULE module, DWORD* size)
{
    *size = 0;
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(kUiTextResourceId), kUiTextResourceType);
    if (!info) return nullptr;
    HGLOBAL loaded = LoadResource(module, info);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return nullptr;
    *size = SizeofResource(module, info);
    return data;
}

CUiTextFile::CUiTextFile(HMODULE module)
{
    DWORD size = 0;
    const void* data = FindUiTextResource(module, &size);
    if (!data || size == 0) return;
    std::wstring path = NewTemporaryFile();
    if (path.empty()) return;
    // A half-written file would give half the texts: better none at all.
    if (!WriteWholeFile(path, data, size)) {
        DeleteFileW(path.c_str());
        return;
    }
    path_ = path;
}

CUiTextFile::~CUiTextFile()
{
    if (path_.empty()) return;
    HANDLE file = CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    CloseHandle(file);
    DeleteFileW(path_.c_str());
}
