#include "FakeEngine.h"

#include "base/TextConvert.h"

namespace {

class CFakeEngine : public gnet::IDownloadFile {
public:
    CFakeEngine(CFakeEngineFactory& factory, gnet::IDownloadFileCallback* callback)
        : factory_(factory), callback_(callback)
    {
    }
    ~CFakeEngine() override
    {
        if (thread_) {
            WaitForSingleObject(thread_, INFINITE);
            CloseHandle(thread_);
        }
        factory_.Store(record_);
    }

    int SetHttpHeader(const wchar_t* json) override { return Idle([&] { record_.headerJson += json; }); }
    int SetUserPwd(const wchar_t*, const wchar_t*) override { return 1; }
    int SetReferer(const wchar_t*) override { return 1; }
    int SetMaxRetry(int value) override { return Idle([&] { record_.maxRetry = value; }); }
    int SetBlockSize(int64_t value) override { return Idle([&] { record_.blockSize = value; }); }
    int SetUseIEProxy(int) override { return 1; }
    int SetProxy(const wchar_t*) override { return 1; }
    int SetSpeedLimit(int64_t) override { return 1; }
    int SetNoSpeedLimit(int value) override { return Idle([&] { record_.noSpeedLimit = value; }); }
    int SetChannelCount(int value) override
    {
        if (value <= 0) return 0;
        return Idle([&] { record_.channels = value; });
    }
    int SetReuseSameFile(int value) override { return Idle([&] { record_.reuse = value; }); }

    int DownloadFile(int cookie, const wchar_t* url, const wchar_t* path, const wchar_t* suffix) override
    {
        if (started_) return 0;
        record_.cookie = cookie;
        record_.url = url ? url : L"";
        record_.path = path ? path : L"";
        record_.suffix = suffix ? suffix : L"";
        auto found = factory_.scripts.find(cookie);
        script_ = found == factory_.scripts.end() ? FakeDownloadScript() : found->second;
        if (script_.refuse) return 0;
        started_ = true;
        thread_ = CreateThread(nullptr, 0, &CFakeEngine::Work, this, 0, nullptr);
        return thread_ ? 1 : 0;
    }
    int StopDownload() override { return 1; }
    int DeleteDownFile() override
    {
        record_.deleted = true;
        DeleteFileW(record_.path.c_str());
        return 1;
    }
    int GetMaxChannels() override { return record_.channels > 0 ? record_.channels : 1; }
    int GetRunningChannels() override { return 0; }
    int64_t GetDownloadedSize() override { return int64_t(script_.content.size()); }
    int64_t GetFileSize() override { return int64_t(script_.content.size()); }
    int GetPercent() override { return percent_.load(); }
    int GetDownloadRet() override { return result_.load(); }
    const wchar_t* GetFinalDestPath() override { return finalPath_.c_str(); }
    double GetCostTime() override { return 2.75; }
    int64_t GetAvgSpeed() override { return script_.averageSpeed; }
    int64_t GetCurSpeed() override { return script_.averageSpeed; }
    int GetRetryTimes() override { return 0; }
    int DeleteConfigFile() override { return 1; }
    int SetForceName(int) override { return 1; }

private:
    template <typename Set>
    int Idle(Set set)
    {
        if (started_) return 0;
        set();
        return 1;
    }

    static DWORD WINAPI Work(void* self)
    {
        static_cast<CFakeEngine*>(self)->Run();
        return 0;
    }

    void Run()
    {
        finalPath_ = record_.path;
        const int cookie = record_.cookie;
        if (script_.result == gnet::kDownRetSuccess || script_.result == 30001) WriteContent();
        if (script_.startFirst && !script_.overBeforeStart && callback_) callback_->DownloadStart(cookie);
        for (int step = 1; step <= script_.progressSteps && !script_.overBeforeStart && callback_; ++step) {
            percent_ = step * 10000 / (script_.progressSteps + 1);
            callback_->DownloadBits(cookie);
        }
        if (script_.gateBeforeOver) WaitForSingleObject(script_.gateBeforeOver, 30000);
        result_ = script_.result;
        if (result_ == gnet::kDownRetSuccess) percent_ = 10000;
        if (callback_) callback_->DownloadOver(cookie);
        if (script_.overTwice && callback_) callback_->DownloadOver(cookie);
        if (script_.overBeforeStart && callback_) {
            callback_->DownloadStart(cookie);
            callback_->DownloadBits(cookie);
            callback_->DownloadOver(7);
            callback_->DownloadBits(7);
        }
    }

    void WriteContent()
    {
        HANDLE file = CreateFileW(record_.path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return;
        DWORD written = 0;
        if (!script_.content.empty())
            WriteFile(file, script_.content.data(), DWORD(script_.content.size()), &written, nullptr);
        CloseHandle(file);
    }

    CFakeEngineFactory& factory_;
    gnet::IDownloadFileCallback* callback_;
    FakeDownloadScript script_;
    FakeDownloadRecord record_;
    std::wstring finalPath_;
    bool started_ = false;
    HANDLE thread_ = nullptr;
    std::atomic<int> percent_{0};
    std::atomic<int> result_{gnet::kDownRetUnfinished};
};

}  // namespace

CFakeEngineFactory::CFakeEngineFactory() { InitializeCriticalSection(&lock_); }
CFakeEngineFactory::~CFakeEngineFactory() { DeleteCriticalSection(&lock_); }

void CFakeEngineFactory::Init(const wchar_t* productName, const wchar_t*, const wchar_t*)
{
    initProduct = productName ? productName : L"";
}

gnet::IDownloadFile* CFakeEngineFactory::Create(gnet::IDownloadFileCallback* callback)
{
    if (createEntered) SetEvent(createEntered);
    if (gateBeforeCreate) WaitForSingleObject(gateBeforeCreate, 30000);
    if (createFails) return nullptr;
    ++created_;
    ++live_;
    return new CFakeEngine(*this, callback);
}

void CFakeEngineFactory::Release(gnet::IDownloadFile* engine)
{
    if (!engine) return;
    delete engine;
    --live_;
}

void CFakeEngineFactory::Store(const FakeDownloadRecord& record)
{
    EnterCriticalSection(&lock_);
    records_.push_back(record);
    LeaveCriticalSection(&lock_);
}

std::vector<FakeDownloadRecord> CFakeEngineFactory::Records()
{
    EnterCriticalSection(&lock_);
    std::vector<FakeDownloadRecord> copy = records_;
    LeaveCriticalSection(&lock_);
    return copy;
}
