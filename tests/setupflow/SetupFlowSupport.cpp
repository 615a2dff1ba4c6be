#include "SetupFlowSupport.h"

#include <cstdio>

#include "base/MD5Checksum.h"
#include "setup/UpdateManifest.h"

namespace {

std::string ManifestText(const ManifestFields& f, const std::string& listMd5)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
           "<update_info product=\"brisko\" md5=\"" + listMd5 + "\">\r\n"
           "  <item name=\"" + f.name + "\" version=\"" + f.version + "\" type=\"full\" mode=\"1\""
           " require_admin=\"" + f.requireAdmin + "\" parameter=\"\" size=\"" + f.size + "\" md5=\"" + f.md5 +
           "\" url=\"" + f.url + "\" thread=\"" + f.thread + "\" promotion_policy=\"\" policy_md5=\"\"/>\r\n"
           "</update_info>\r\n";
}

}  // namespace

std::string Md5Hex(const std::string& bytes) { return CMD5Checksum::HexOfBytes(bytes.data(), bytes.size()); }

std::string MakeManifest(const ManifestFields& fields)
{
    // The check copy does not depend on the md5 value itself, so one parse gives it.
    std::string draft = ManifestText(fields, "");
    UpdateManifest parsed;
    std::string checkCopy;
    std::string listMd5 = "0123456789abcdef0123456789abcdef";
    if (ParseUpdateManifest(draft, &parsed, &checkCopy) && !fields.wrongListMd5) listMd5 = Md5Hex(checkCopy);
    return ManifestText(fields, listMd5);
}

bool CRecordingRunner::Run(const std::wstring& path, const std::wstring& parameters, const wchar_t* verb,
                           DWORD* exitCodeOut, DWORD* error)
{
    calls.push_back({path, parameters, verb ? verb : L""});
    contentSeen = ReadFileBytes(path);
    HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    couldReplace = writer != INVALID_HANDLE_VALUE;
    if (couldReplace) CloseHandle(writer);
    if (!starts) {
        *error = ERROR_CANCELLED;
        return false;
    }
    *exitCodeOut = exitCode;
    return true;
}

CScratchFolder::CScratchFolder(const wchar_t* name)
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    wchar_t unique[64];
    swprintf(unique, 64, L"%s_%lu_%lu\\", name, GetCurrentProcessId(), GetTickCount());
    path_ = std::wstring(temp) + unique;
    CreateDirectoryW(path_.c_str(), nullptr);
}

CScratchFolder::~CScratchFolder() { RemoveTree(path_); }

std::string ReadFileBytes(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

std::wstring BesideThisTest(const wchar_t* name)
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    folder.erase(folder.find_last_of(L"\\/") + 1);
    return folder + name;
}
