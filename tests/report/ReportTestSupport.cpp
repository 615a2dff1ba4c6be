#include "ReportTestSupport.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <winhttp.h>

#include <json/json.h>

#include <atomic>
#include <stdexcept>

#include "report/ReportFolderFile.h"

namespace {
std::atomic<int> placeCounter{0};

void RemoveFolder(const std::wstring& folder)
{
    for (const std::wstring& name : FilesIn(folder, L"*")) DeleteFileW((folder + L"\\" + name).c_str());
    RemoveDirectoryW(folder.c_str());
}
}  // namespace

TempReportPlace::TempReportPlace() : previous_(GetReportLocations())
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    int serial = ++placeCounter;
    wchar_t suffix[64] = {};
    swprintf(suffix, 64, L"%lu-%d-%lu", GetCurrentProcessId(), serial, GetTickCount());
    folder_ = std::wstring(temp) + L"rptest-" + suffix + L"\\RpData";
    keyBase_ = std::wstring(L"Software\\MiniSetupTests\\") + suffix + L"\\DRP";
    ReportLocations locations;
    locations.root = HKEY_CURRENT_USER;
    locations.keyBase = keyBase_;
    locations.folder = folder_;
    SetReportLocations(locations);
    SHCreateDirectoryExW(nullptr, folder_.c_str(), nullptr);
}

TempReportPlace::~TempReportPlace()
{
    SetReportLocations(previous_);
    RemoveFolder(folder_);
    RemoveDirectoryW(folder_.substr(0, folder_.rfind(L'\\')).c_str());
    std::wstring parent = keyBase_.substr(0, keyBase_.rfind(L'\\'));
    SHDeleteKeyW(HKEY_CURRENT_USER, parent.c_str());
}

std::vector<uint8_t> ReadBytes(const std::wstring& path)
{
    std::vector<uint8_t> bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    LARGE_INTEGER size = {};
    GetFileSizeEx(file, &size);
    bytes.resize(size_t(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty()) ReadFile(file, bytes.data(), DWORD(bytes.size()), &read, nullptr);
    bytes.resize(read);
    CloseHandle(file);
    return bytes;
}

void WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create " + Narrow(path));
    DWORD written = 0;
    if (!bytes.empty()) WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::vector<std::wstring> FilesIn(const std::wstring& folder, const wchar_t* pattern)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data = {};
    HANDLE find = FindFirstFileW((folder + L"\\" + pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::wstring> QueueNames(const std::wstring& keyPath)
{
    std::vector<std::wstring> names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(GetReportLocations().root, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[2048] = {};
        DWORD chars = 2048;
        if (RegEnumValueW(key, index, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.push_back(name);
    }
    RegCloseKey(key);
    return names;
}

rp::Package DecodePackage(const std::wstring& path)
{
    rp::Package package;
    std::string error;
    if (!rp::ReadPackage(ReadBytes(path), package, error))
        throw std::runtime_error("malformed package " + Narrow(path) + ": " + error);
    return package;
}

std::string Narrow(const std::wstring& text)
{
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), &out[0], bytes, nullptr, nullptr);
    return out;
}

std::wstring Widen(const std::string& text)
{
    int units = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0);
    std::wstring out(size_t(units > 0 ? units : 0), L'\0');
    if (units > 0) MultiByteToWideChar(CP_UTF8, 0, text.c_str(), int(text.size()), &out[0], units);
    return out;
}

StatsServer::StatsServer()
{
    const char* address = getenv("MINISETUP_STATS_SERVER");
    if (!address) return;
    std::string text(address);
    size_t colon = text.rfind(':');
    if (colon == std::string::npos) return;
    host_ = Widen(text.substr(0, colon));
    port_ = (unsigned short)(atoi(text.c_str() + colon + 1));
}

std::wstring StatsServer::Address(const std::wstring& path) const
{
    return L"http://" + host_ + L":" + std::to_wstring(port_) + path;
}

std::vector<uint8_t> StatsServer::Get(const std::wstring& path)
{
    std::vector<uint8_t> body;
    HINTERNET session = WinHttpOpen(L"report-tests", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                    WINHTTP_NO_PROXY_BYPASS, 0);
    HINTERNET connection = session ? WinHttpConnect(session, host_.c_str(), port_, 0) : nullptr;
    HINTERNET request = connection ? WinHttpOpenRequest(connection, L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                                        WINHTTP_DEFAULT_ACCEPT_TYPES, 0)
                                   : nullptr;
    bool ok = request && WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
              WinHttpReceiveResponse(request, nullptr);
    while (ok) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request, &available) || available == 0) break;
        size_t at = body.size();
        body.resize(at + available);
        DWORD read = 0;
        if (!WinHttpReadData(request, body.data() + at, available, &read)) break;
        body.resize(at + read);
    }
    if (request) WinHttpCloseHandle(request);
    if (connection) WinHttpCloseHandle(connection);
    if (session) WinHttpCloseHandle(session);
    if (!ok) throw std::runtime_error("statistics server did not answer " + Narrow(path));
    return body;
}

void StatsServer::SetAnswer(const std::wstring& answer, double delaySeconds)
{
    Get(L"/_control?answer=" + answer + L"&delay=" + std::to_wstring(delaySeconds));
}

void StatsServer::GoDown(double seconds) { Get(L"/_control?answer=down&down_for=" + std::to_wstring(seconds)); }

void StatsServer::Reset() { Get(L"/_reset"); }

std::vector<ReceivedUpload> StatsServer::Received()
{
    std::vector<uint8_t> body = Get(L"/_received");
    Json::Value list;
    Json::Reader reader;
    if (!reader.parse(std::string(body.begin(), body.end()), list) || !list.isArray())
        throw std::runtime_error("statistics server listing is not JSON");
    std::vector<ReceivedUpload> uploads;
    for (const Json::Value& item : list) {
        ReceivedUpload upload;
        upload.kind = item["kind"].asString();
        upload.filename = item["filename"].isString() ? item["filename"].asString() : "";
        upload.ok = item["ok"].asBool();
        upload.error = item["error"].isString() ? item["error"].asString() : "";
        upload.answer = item["answer"].asString();
        upload.size = size_t(item["size"].asUInt());
        uploads.push_back(upload);
    }
    return uploads;
}

TlsCounts StatsServer::Tls()
{
    std::vector<uint8_t> body = Get(L"/_tls");
    Json::Value counts;
    Json::Reader reader;
    if (!reader.parse(std::string(body.begin(), body.end()), counts) || !counts.isObject())
        throw std::runtime_error("statistics server has no TLS listener: " + std::string(body.begin(), body.end()));
    TlsCounts tls;
    tls.port = counts["port"].asUInt();
    tls.connections = counts["connections"].asInt();
    tls.handshakes = counts["handshakes"].asInt();
    tls.requests = counts["requests"].asInt();
    return tls;
}

std::vector<uint8_t> StatsServer::ReceivedBytes(size_t index) { return Get(L"/_received/" + std::to_wstring(index)); }

namespace {
using UnixNameOf = char*(CDECL*)(const wchar_t*);

std::string HostPath(UnixNameOf unixNameOf, const std::wstring& path)
{
    char* name = unixNameOf(path.c_str());
    if (!name) return std::string();
    std::string text = name;
    HeapFree(GetProcessHeap(), 0, name);
    return text;
}

bool RunAndWaitQuietly(std::wstring commandLine)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    DWORD code = 1;
    if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
    else TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code == 0;
}
}  // namespace

bool MakeSymbolicLink(const std::wstring& link, const std::wstring& target, bool folder)
{
    auto unixNameOf = reinterpret_cast<UnixNameOf>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (unixNameOf) {
        // Wine accepts CreateSymbolicLinkW without making a link, so the host's ln makes it.
        std::string hostLink = HostPath(unixNameOf, link), hostTarget = HostPath(unixNameOf, target);
        if (hostLink.empty() || hostTarget.empty()) return false;
        RunAndWaitQuietly(L"Z:\\bin\\ln -s \"" + Widen(hostTarget) + L"\" \"" + Widen(hostLink) + L"\"");
    } else {
        const DWORD kUnprivileged = 0x2;  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
        CreateSymbolicLinkW(link.c_str(), target.c_str(), (folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) | kUnprivileged);
    }
    // Made when the name now leads somewhere else (Wine marks only folder
    // links as reparse points). Wine does not follow a host program to its
    // end, so the link may appear a moment after ln was started.
    for (int attempt = 0; attempt < 100; ++attempt) {
        HANDLE opened = CreateFileW(link.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (opened != INVALID_HANDLE_VALUE) {
            const std::wstring final = FinalPathOf(opened);
            CloseHandle(opened);
            if (!final.empty() && _wcsicmp(final.c_str(), link.c_str()) != 0) return true;
        }
        Sleep(50);
    }
    return false;
}
