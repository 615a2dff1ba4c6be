#include "report/Upload.h"

#include <windows.h>
#include <shlwapi.h>

#include <map>
#include <vector>

#include "base/ScopedHandle.h"
#include "report/Filebase.h"
#include "report/OpenSecurity.h"
#include "report/ReportFolderFile.h"
#include "report/ReportLocations.h"
#include "report/ReportQueue.h"
#include "report/http/HttpClient.h"

namespace {
constexpr DWORD kConnectTimeoutMs = 10000;
constexpr uint64_t kMaxPackageSize = 0xA00000;

enum class PostOutcome { Delivered, Refused, Failed };

constexpr DWORD kRequestTimeout = 408;
constexpr DWORD kTooManyRequests = 429;

// A 4xx answer refuses the package for good, except a server timeout or rate
// limiting, which say "not now" like a 5xx.
PostOutcome OutcomeOfStatus(DWORD status)
{
    if (status >= 200 && status < 300) return PostOutcome::Delivered;
    if (status == kRequestTimeout || status == kTooManyRequests) return PostOutcome::Failed;
    if (status >= 400 && status < 500) return PostOutcome::Refused;
    return PostOutcome::Failed;
}

PostOutcome PostPackageOnce(const std::wstring& path, const std::wstring& address)
{
    try {
        Vardo::CHttpClient client;
        client.AddParam(L"ufile01", path.c_str(), Vardo::kParamFile);
        client.BeginUpload(address, kConnectTimeoutMs);
        std::unique_ptr<Vardo::CHttpClient::Response> response;
        while (!(response = client.Proceed(1024))) {
        }
        return OutcomeOfStatus(response->GetStatus());
    } catch (const Vardo::httpclientexceptionW&) {
        return PostOutcome::Failed;
    }
}

bool EndsWithNoCase(const std::wstring& text, const wchar_t* suffix)
{
    size_t length = wcslen(suffix);
    return text.size() >= length && _wcsicmp(text.c_str() + text.size() - length, suffix) == 0;
}

long DayNumber(int year, int month, int day)
{
    // Days since 0000-03-01 of the proleptic Gregorian calendar.
    if (month <= 2) {
        year -= 1;
        month += 12;
    }
    return 365L * year + year / 4 - year / 100 + year / 400 + (153 * (month - 3) + 2) / 5 + day - 1;
}
}  // namespace

long DaysBetween(int year1, int month1, int day1, int year2, int month2, int day2)
{
    return DayNumber(year2, month2, day2) - DayNumber(year1, month1, day1);
}

int UploadPackage(const std::wstring& path, const std::wstring& address)
{
    if (!PathFileExistsW(path.c_str())) return kRemoveEntry;
    COpenSecurity security;
    std::wstring mutexName = std::wstring(L"Global\\Mutex_Name_") + PathFindFileNameW(path.c_str());
    CScopedHandle mutex(CreateMutexW(security.Attributes(), FALSE, mutexName.c_str()));
    if (!mutex.Valid() || GetLastError() == ERROR_ALREADY_EXISTS) return kKeepEntry;  // another pass has it

    // Held for reading until the post is done: the file cannot be swapped
    // for a link to someone else's data while it is read.
    CReportFolderFile file(path, L".dat", true);
    if (file.Missing()) return kRemoveEntry;
    if (!file.Owned()) return kKeepEntry;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.File(), &size) || size.QuadPart == 0 || uint64_t(size.QuadPart) > kMaxPackageSize) {
        file.ReleaseFile();
        DeleteFileW(path.c_str());
        return kRemoveEntry;
    }

    for (int attempt = 0; attempt < 2; ++attempt) {
        switch (PostPackageOnce(path, address)) {
        case PostOutcome::Delivered:
        case PostOutcome::Refused:
            file.ReleaseFile();
            DeleteFileW(path.c_str());
            return kRemoveEntry;
        case PostOutcome::Failed:
            break;
        }
    }
    return kKeepEntry;
}

int UploadRaw(const std::wstring& path, const std::wstring& address, long maxAgeDays)
{
    CScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.Valid()) return 1;
    FILETIME created = {};
    if (!GetFileTime(file.Get(), &created, nullptr, nullptr)) return 0;
    SYSTEMTIME createdDate = {}, today = {};
    FileTimeToSystemTime(&created, &createdDate);
    GetSystemTime(&today);
    long age = DaysBetween(createdDate.wYear, createdDate.wMonth, createdDate.wDay, today.wYear, today.wMonth,
                           today.wDay);
    if (maxAgeDays < age) return 1;

    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart > 0x7FFFFFFF) return 1;
    std::vector<char> bytes;
    try {
        bytes.resize(size_t(size.QuadPart));
    } catch (const std::bad_alloc&) {
        return 1;
    }
    DWORD read = 0;
    if (!bytes.empty() && (!ReadFile(file.Get(), bytes.data(), DWORD(bytes.size()), &read, nullptr) ||
                           read != bytes.size()))
        return 1;
    file.Reset();
    for (int attempt = 0; attempt < 4; ++attempt) {
        try {
            Vardo::CHttpClient client;
            auto response = client.RequestPost(address, bytes.data(), DWORD(bytes.size()), kConnectTimeoutMs);
            if (response->GetStatus() == 200) return 1;
        } catch (const Vardo::httpclientexceptionW&) {
        }
    }
    return 0;
}

bool ParseRawEntry(const std::wstring& name, RawEntry& entry)
{
    size_t br = name.find(L"<br=");
    size_t firstClose = name.find(L'>');
    if (br == std::wstring::npos || firstClose == std::wstring::npos || firstClose < br) return false;
    std::wstring path = name.substr(0, br);
    std::wstring tail = name.substr(br);
    size_t rt = tail.find(L"<rt=");
    size_t comma = tail.rfind(L',');
    size_t inv = tail.find(L"inv=");
    size_t lastClose = tail.rfind(L'>');
    if (rt == std::wstring::npos || rt == 0 || comma == std::wstring::npos || inv == std::wstring::npos ||
        lastClose == std::wstring::npos)
        return false;
    if (!(rt < comma && comma < inv && inv < lastClose)) return false;
    entry.path = path;
    entry.flag = tail.substr(rt + 4, comma - rt - 4);
    entry.maxAgeDays = wcstol(tail.substr(inv + 4, lastClose - inv - 4).c_str(), nullptr, 10);
    return true;
}

int ProcessEntry(const std::wstring& name, const std::wstring& address)
{
    // The queue key is writable by every user and shared with other programs
    // of the product: only files of our own report folder are ever sent or
    // deleted. Every other entry stays in the queue untouched.
    if (name.find_first_of(L"<>") == std::wstring::npos) {
        if (!IsReportFolderFile(name, L".dat")) return kKeepEntry;
        return UploadPackage(name, address);
    }
    RawEntry raw;
    if (!ParseRawEntry(name, raw) || !EndsWithNoCase(raw.path, L".raw")) return kKeepEntry;
    CReportFolderFile file(raw.path, L".raw", true);
    if (!file.Owned()) return kKeepEntry;
    if (UploadRaw(raw.path, address, raw.maxAgeDays) != 1) return kKeepEntry;
    file.ReleaseFile();
    return DeleteFileW(raw.path.c_str()) ? kRemoveEntry : kKeepEntry;
}

void UploadPass()
{
    try {
        std::map<std::wstring, std::wstring> entries;
        for (const QueueEntry& entry : ListQueueValues(ProcessingKeyPath(), 1024, 2048)) {
            if (!entry.second.empty()) entries[entry.first] = entry.second;
        }
        for (const auto& entry : entries) {
            if (ProcessEntry(entry.first, entry.second) == kRemoveEntry)
                DeleteQueueValue(ProcessingKeyPath(), entry.first);
        }
    } catch (...) {
        // A pass never lets anything escape; the next send tries again.
    }
}
