#include "report/Filebase.h"

#include <psapi.h>
#include <shlwapi.h>

#include <cstdlib>
#include <ctime>

#include "report/BRKBody.h"
#include "report/BRKHeader.h"
#include "report/OpenSecurity.h"
#include "report/PackageWrite.h"
#include "report/ReportFolderFile.h"
#include "report/ReportLocations.h"
#include "report/ReportQueue.h"
#include "report/ZelBody1.h"

class CSetTextTask : public CTaskBase {
public:
    CSetTextTask(Filebase* owner, uint32_t id, const wchar_t* text) : owner_(owner), id_(id), text_(text) {}
    void Run() override
    {
        if (!owner_->body_) return;
        owner_->BeforeItem(id_, &text_);
        owner_->body_->SetTextItem(id_, text_);
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
    if (file_ == INVALID_HANDLE_VALUE) {
        path_.clear();
        return false;
    }
    // Known to the queue from its creation on: a writer that ends at any
    // moment after this, even in the middle of a closing save, leaves a file
    // that the next Recover finds, never one that nothing points to.
    WriteQueueValue(TempKeyPath(), path_, uploadAddress_);
    return true;
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

bool Filebase::WriteParts(uint64_t& written)
{
    if (!BeforeWrite()) return false;
    bool complete = true;
    for (Component* part : {static_cast<Component*>(header_.get()), static_cast<Component*>(body_.get()), third_.get()}) {
        if (!part) continue;
        written += part->WriteTo(file_);
        complete = complete && part->WriteComplete();
    }
    return complete && AfterWrite();
}

int Filebase::Save(int final)
{
    if (HasChanges()) {
        if (file_ == INVALID_HANDLE_VALUE && !OpenNewFile()) return 0;
        uint64_t written = 0;
        if (!WriteParts(written)) {
            // A short write (a full disk): the file now holds a package cut
            // off mid-record. It is neither finished nor queued; it keeps its
            // ".tmp" name and Temp entry, and the items stay in memory marked
            // as changed, so the next save writes the whole package again.
            if (body_) body_->SetChanged(1);
            if (third_) third_->SetChanged(1);
            return 0;
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
    // Only our own packages are renamed; the folder stays held meanwhile.
    CReportFolderFile file(tmpPath, L".tmp", false);
    if (file.Missing()) {
        DeleteQueueValue(TempKeyPath(), tmpPath);
        return;
    }
    if (!file.Owned()) return;
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
        // The Temp key is shared: entries for files outside our report folder
        // are other programs' crash recovery and stay as they are.
        if (IsReportFolderFile(entry.first, L".tmp")) Finish(entry.first);
    }
}

void Filebase::ApplyInt(WPARAM id, LPARAM value)
{
    if (!body_) return;
    BeforeItem(uint32_t(id), nullptr);
    body_->SetIntItem(uint32_t(id), int32_t(value));
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

bool CBRKFileImpl::AfterWrite() { return FixBodyLength(File()); }

// Every package must stay uploadable: when a write would carry the package
// past the upload limit, the package so far is finished first and the write
// goes into the next one.
void CBRKFileImpl::BeforeItem(uint32_t id, const std::wstring* text)
{
    CBRKBody* body = static_cast<CBRKBody*>(Body());
    const uint64_t growth = text ? body->GrowthOfText(id, *text) : body->GrowthOfInt(id);
    if (growth == 0 || !body->HasItems()) return;
    if (uint64_t(kHeaderSize) + body->PackageSize() + growth > kFinishSize) Save(1);
}

bool FixBodyLength(HANDLE file)
{
    if (file == INVALID_HANDLE_VALUE) return false;
    // A rewrite may be shorter than the one before it.
    if (!FlushFileBuffers(file) || !SetEndOfFile(file)) return false;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file, &size)) return false;
    if (size.QuadPart < kHeaderSize) return true;
    uint32_t bodyLength = uint32_t(size.QuadPart - kHeaderSize);
    uint8_t bytes[4] = {uint8_t(bodyLength), uint8_t(bodyLength >> 8), uint8_t(bodyLength >> 16),
                        uint8_t(bodyLength >> 24)};
    LARGE_INTEGER offset = {};
    offset.QuadPart = kBodyLengthOffset;
    LARGE_INTEGER end = {};
    end.QuadPart = size.QuadPart;
    DWORD written = 0;
    bool ok = SetFilePointerEx(file, offset, nullptr, FILE_BEGIN) && WriteAllPackageBytes(file, bytes, 4, &written);
    return SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && ok;
}
