#pragma once
// One report: its parts in memory, the package file it is written to, and its
// own worker thread. Items are applied, the file saved every 60 seconds and
// the report closed on that worker only.
#include <cstdint>
#include <memory>
#include <string>

#include "report/BRKParam.h"
#include "report/Component.h"
#include "report/TaskMgr.h"

// The upload limit: a package is finished once it reaches 10 MiB and is never
// written past it.
constexpr uint32_t kFinishSize = 0xA00000;
constexpr UINT_PTR kSaveTimerId = 6789;
constexpr UINT kSaveIntervalMs = 60000;

class Filebase {
public:
    // A plain Filebase carries a text-line body only.
    Filebase();
    virtual ~Filebase();
    Filebase(const Filebase&) = delete;
    Filebase& operator=(const Filebase&) = delete;

    virtual int ApplyParam(const ParamBase& param);
    virtual void Reset();
    virtual std::wstring GetUploadAddress() const { return uploadAddress_; }
    virtual void SetUploadAddress(const std::wstring& address) { uploadAddress_ = address; }
    // Moves every finishable Temp entry of the report folder into the queue.
    virtual void Recover();
    virtual std::wstring MakeFilePath();
    // False when the finishing touches could not be written.
    virtual bool AfterWrite() { return true; }
    virtual bool BeforeWrite() { return true; }
    // On the worker, before an item write (text null for integers).
    virtual void BeforeItem(uint32_t id, const std::wstring* text) {}

    // Worker side. Returns 0 when a needed file could not be created or the
    // package could not be written whole; the items then stay for the next save.
    int Save(int final);
    // Renames a ".tmp" package to ".dat" and queues it for upload.
    void Finish(const std::wstring& tmpPath);

    // Caller side: queued to the worker, applied in order.
    void PostInt(uint32_t id, int32_t value);
    void PostText(uint32_t id, const wchar_t* text);
    // Saves on the worker after everything posted before and waits for it; on
    // the calling thread when the worker has no window any more.
    int SaveNow(int final);
    // 1 when the package was finished and queued (or there was nothing to write).
    int Close() { return SaveNow(1); }

    const std::wstring& FilePath() const { return path_; }
    Bodybase* Body() const { return body_.get(); }
    Headerbase* Header() const { return header_.get(); }
    CTaskMgrTmpl<Filebase>& Worker() { return *worker_; }

protected:
    Filebase(std::unique_ptr<Headerbase> header, std::unique_ptr<Bodybase> body);
    HANDLE File() const { return file_; }

private:
    void StartWorker();
    void OnTimer(UINT_PTR id, LPARAM);
    void ApplyInt(WPARAM id, LPARAM value);
    void SaveTask(WPARAM final, LPARAM result);
    bool HasChanges() const;
    bool WriteParts(uint64_t& written);
    bool OpenNewFile();
    void CloseFile();
    void FinishOpenFile();

    std::unique_ptr<Headerbase> header_;
    std::unique_ptr<Bodybase> body_;
    std::unique_ptr<Component> third_;  // never set by the program
    HANDLE file_ = INVALID_HANDLE_VALUE;
    std::wstring path_;
    std::wstring uploadAddress_;
    std::unique_ptr<CTaskMgrTmpl<Filebase>> worker_;

    friend class CSetTextTask;
};

// The report package file: a CBRKHeader and a CBRKBody.
class CBRKFileImpl : public Filebase {
public:
    CBRKFileImpl();
    // Tests choose the header's identity text.
    explicit CBRKFileImpl(const std::string& identity);
    bool AfterWrite() override;
    bool BeforeWrite() override;
    void BeforeItem(uint32_t id, const std::wstring* text) override;
};

// Writes the body length at offset 276 and cuts the file after the last byte
// written, so the length always equals the file size minus the header.
// False when any of it fails.
bool FixBodyLength(HANDLE file);
