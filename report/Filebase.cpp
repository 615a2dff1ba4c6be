#include "report/Filebase.h"

#include <psapi.h>
#include <shlwapi.h>

#include <cstdlib>
#include <ctime>

#include "report/BRKBody.h"
#include "report/BRKHeader.h"
#include "report/OpenSecurity.h"
#include "report/ReportLocations.h"
#include "report/ReportQueue.h"
#include "report/ZelBody1.h"

class CSetTextTask : public CTaskBase {
public:
    CSetTextTask(Filebase* owner, uint32_t id, const wchar_t* text) : owner_(owner), id_(id), text_(text) {}
    void Run() override
    {
        if (owner_->body_) owner_->body_->SetTextItem(id_, text_);
    }

private:
    Filebase* owner_;
    uint32_t id_;
    std::wstring text_;
};

Filebase::Filebase() : Filebase(nullptr, std::make_unique<CZelBody1>()) {}

Filebase::Filebase(std::unique_ptr<Headerbase> header, std::unique_ptr<Bodybase> body)
    : header_(std::move(header)), body_(std::move(body))
{
    StartWorker();
}

Filebase::~Filebase()
{
    worker_->Stop();
    CloseFile();  // an open ".tmp" keeps its Temp entry and is recovered later
    header_.reset();
    body_.reset();
    third_.reset();
    path_.clear();
    uploadAddress_.clear();
    worker_.reset();
}

void Filebase::StartWorker()
{
    worker_ = std::make_unique<CTaskMgrTmpl<Filebase>>(this);
    worker_->SetCallback(&Filebase::OnTimer);
    if (worker_->Start(false)) worker_->SetTimer(kSaveTimerId, kSaveIntervalMs);
}

int Filebase::ApplyParam(const ParamBase& param)
{
    if (header_) header_->ApplyParam(param);
    if (body_) body_->ApplyParam(param);
    if (third_) third_->ApplyParam(param);
    uploadAddress_ = param.uploadUrl;
    return 1;
}

void Filebase::Reset()
{
    if (header_) header_->Clear();
    if (body_) body_->Clear();
    if (third_) third_->Clear();
    path_.clear();
    file_ = INVALID_HANDLE_VALUE;
}

std::wstring Filebase::MakeFilePath()
{
    EnsureReportFolder();
    wchar_t module[MAX_PATH] = {};
    GetModuleBaseNameW(GetCurrentProcess(), nullptr, module, MAX_PATH);
    PathRemoveExtensionW(module);
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    srand(unsigned(time(nullptr)));
    wchar_t name[MAX_PATH + 64] = {};
    swprintf(name, sizeof(name) / sizeof(name[0]), L"\\rpFile-%ls-%04d-%02d-%02d %02d-%02d-%02d-%04d-[%04d].tmp",
             module, now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds,
             rand());
    return ReportFolder() + name;
}

void Filebase::OnTimer(UINT_PTR id, LPARAM)
{
    if (id == kSaveTimerId) Save(0);
}

bool Filebase::HasChanges() const
{
    return (body_ && body_->IsChanged()) || (third_ && third_->IsChanged());
}

bool Filebase::OpenNewFile()
{
    path_ = MakeFilePath();
    COpenSecurity security;
    file_ = CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, security.Attributes(), CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file_ != INVALID_HANDLE_VALUE) return true;
    path_.clear();
    return false;
}

void Filebase::CloseFile()
{
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
}

void Filebase::FinishOpenFile()
{
    CloseFile();
    if (!path_.empty()) Finish(path_);
    Reset();
}

int Filebase::Save(int final)
{
    if (HasChanges()) {
        if (file_ == INVALID_HANDLE_VALUE && !OpenNewFile()) return 0;
        uint64_t written = 0;
        if (BeforeWrite()) {
            if (header_) written += header_->WriteTo(file_);
            if (body_) written += body_->WriteTo(file_);
            if (third_) written += third_->WriteTo(file_);
            AfterWrite();
        }
        if (written >= kFinishSize || final) {
            FinishOpenFile();
            return 1;
        }
        WriteQueueValue(TempKeyPath(), path_, uploadAddress_);
    }
    if (final) FinishOpenFile();
    return 1;
}

void Filebase::Finish(const std::wstring& tmpPath)
{
    wchar_t datPath[MAX_PATH + 8] = {};
    if (tmpPath.size() >= MAX_PATH) return;
    wcscpy(datPath, tmpPath.c_str());
    PathRenameExtensionW(datPath, L".dat");
    if (MoveFileW(tmpPath.c_str(), datPath)) {
        std::wstring address = ReadQueueValue(TempKeyPath(), tmpPath, 2000);
        if (address.empty()) address = uploadAddress_;
        DeleteQueueValue(TempKeyPath(), tmpPath);
        WriteQueueValue(ProcessingKeyPath(), datPath, address);
    } else if (GetLastError() == ERROR_FILE_NOT_FOUND) {
        DeleteQueueValue(TempKeyPath(), tmpPath);
    }
}

void Filebase::Recover()
{
    for (const QueueEntry& entry : ListQueueValues(TempKeyPath(), 1000, 2000)) {
        // The Temp key is writable by every user: only our own packages are
        // ever renamed; anything else is dropped from the key and left alone.
        if (IsReportFolderFile(entry.first, L".tmp"))
            Finish(entry.first);
        else
            DeleteQueueValue(TempKeyPath(), entry.first);
    }
}

void Filebase::ApplyInt(WPARAM id, LPARAM value)
{
    if (body_) body_->SetIntItem(uint32_t(id), int32_t(value));
}

void Filebase::PostInt(uint32_t id, int32_t value) { worker_->Post(&Filebase::ApplyInt, id, LPARAM(value)); }

void Filebase::PostText(uint32_t id, const wchar_t* text)
{
    worker_->PostTask(new CSetTextTask(this, id, text ? text : L""));
}

void Filebase::SaveTask(WPARAM final, LPARAM result) { *reinterpret_cast<int*>(result) = Save(int(final)); }

int Filebase::SaveNow(int final)
{
    int result = 1;
    if (worker_->Send(&Filebase::SaveTask, WPARAM(final), reinterpret_cast<LPARAM>(&result))) return result;
    if (GetLastError() == ERROR_INVALID_WINDOW_HANDLE) return Save(final);
    return 0;
}

CBRKFileImpl::CBRKFileImpl() : Filebase(std::make_unique<CBRKHeader>(), std::make_unique<CBRKBody>()) {}

CBRKFileImpl::CBRKFileImpl(const std::string& identity)
    : Filebase(std::make_unique<CBRKHeader>(identity), std::make_unique<CBRKBody>())
{
}

bool CBRKFileImpl::BeforeWrite()
{
    if (File() == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER zero = {};
    return SetFilePointerEx(File(), zero, nullptr, FILE_BEGIN) != 0;
}

void CBRKFileImpl::AfterWrite() { FixBodyLength(File()); }

void FixBodyLength(HANDLE file)
{
    if (file == INVALID_HANDLE_VALUE) return;
    FlushFileBuffers(file);
    // A rewrite may be shorter than the one before it.
    SetEndOfFile(file);
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file, &size) || size.QuadPart < kHeaderSize) return;
    uint32_t bodyLength = uint32_t(size.QuadPart - kHeaderSize);
    uint8_t bytes[4] = {uint8_t(bodyLength), uint8_t(bodyLength >> 8), uint8_t(bodyLength >> 16),
                        uint8_t(bodyLength >> 24)};
    LARGE_INTEGER offset = {};
    offset.QuadPart = kBodyLengthOffset;
    LARGE_INTEGER end = {};
    end.QuadPart = size.QuadPart;
    DWORD written = 0;
    if (SetFilePointerEx(file, offset, nullptr, FILE_BEGIN)) WriteFile(file, bytes, 4, &written, nullptr);
    SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
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
    if (_wcsicmp(full, path.c_str()) != 0) return false;
    std::wstring fullPath(full);
    if (fullPath.size() <= folder.size() + 1) return false;
    if (_wcsnicmp(fullPath.c_str(), folder.c_str(), folder.size()) != 0 || fullPath[folder.size()] != L'\\')
        return false;
    std::wstring name = fullPath.substr(folder.size() + 1);
    if (name.find(L'\\') != std::wstring::npos || name.find(L':') != std::wstring::npos) return false;
    return _wcsicmp(PathFindExtensionW(name.c_str()), extension) == 0;
}
