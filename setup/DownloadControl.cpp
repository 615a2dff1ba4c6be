#include "setup/DownloadControl.h"

#include <winsock2.h>

#include <atomic>
#include <cwchar>

#include "base/AppSettings.h"
#include "base/DebugLog.h"
#include "base/TextConvert.h"
#include "identity/HardwareId.h"
#include "report/Report.h"
#include "setup/BuiltInPackage.h"
#include "setup/EngineFactory.h"
#include "setup/InstallerLaunch.h"
#include "setup/PackageCheck.h"
#include "setup/SetupReport.h"
#include "setup/SetupRequest.h"
#include "setup/WindowContract.h"
#include "setup/WorkFolder.h"

namespace {

constexpr int kReportKind = 0;
constexpr DWORD kWorkerExitWaitMs = 300000;
constexpr int kEngineMaxRetry = 40;
constexpr int64_t kPackageBlockSize = 1048576;
// Present on a test machine: the package comes over ten channels without a speed limit.
constexpr wchar_t kFastDownloadMarker[] = L"C:\\{5B1E7C94-2F3A-4D6B-9E08-7A4C3D2F1E65}.brk";

bool IsEngineSuccess(int result) { return result == gnet::kDownRetSuccess || result == 30001; }

int FailureCode(int result) { return result == gnet::kDownRetNoNetwork ? kResultNoNetwork : kResultDownloadFailed; }

std::wstring OwnModulePath()
{
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(path, length) : std::wstring();
}

CVersionSubfolder& ProcessVersionSubfolder()
{
    static CVersionSubfolder subfolder;
    return subfolder;
}

// The package host is reported once per process; only a successful lookup counts.
std::atomic<bool> g_packageHostReported{false};

std::wstring HostOfUrl(const std::wstring& url)
{
    size_t scheme = url.find(L"://");
    if (scheme == std::wstring::npos) return std::wstring();
    size_t start = scheme + 3;
    size_t end = url.find(L'/', start);
    std::wstring host = url.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    // An address may name a port or a user; the lookup wants the bare host.
    size_t at = host.rfind(L'@');
    if (at != std::wstring::npos) host.erase(0, at + 1);
    size_t colon = host.find(L':');
    if (colon != std::wstring::npos) host.erase(colon);
    return host;
}

void ReportPackageHostOnce(const std::wstring& url)
{
    if (g_packageHostReported.load()) return;
    std::string host = WideToAnsi(HostOfUrl(url));
    if (host.empty()) return;
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return;
    const hostent* entry = gethostbyname(host.c_str());
    if (entry && entry->h_addrtype == AF_INET && entry->h_addr_list && entry->h_addr_list[0]) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(entry->h_addr_list[0]);
        wchar_t dotted[16];
        swprintf(dotted, 16, L"%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
        if (!g_packageHostReported.exchange(true)) ReportSetText(setup_items::kPackageHost, dotted, kReportKind);
    }
    WSACleanup();
}

}  // namespace

// One download: its addresses, the engine that runs it and, for the package,
// where the installer goes.
struct DownloadSlot {
    std::wstring url;
    std::wstring path;
    std::wstring finalPath;
    HWND window = nullptr;
    gnet::IDownloadFile* engine = nullptr;
    uint16_t flag = 1;  // 1 until the download's end has been handled
    WORD langId = 0;
    std::wstring installFolder;
};

// The state of the control, shared with its worker thread so that a worker
// that outlives the control's wait never sees it freed.
class CDownloadChain : public gnet::IDownloadFileCallback {
public:
    explicit CDownloadChain(const DownloadControlSeams& seams);
    ~CDownloadChain() override;

    void SetClientInfo(const std::wstring& channelName, const std::wstring& exeVersion);
    bool BeginDownloads(const std::shared_ptr<CDownloadChain>& self, HWND window, WORD langId,
                        const std::wstring& installFolder);
    bool WorkerRunning() const;
    bool WaitForWorker(DWORD milliseconds) const;
    void CloseWorker();
    void ResetSlots();

    void DownloadStart(int cookie) override;
    void DownloadOver(int cookie) override;
    void DownloadBits(int cookie) override;

    std::wstring channelName;
    std::wstring exeVersion;
    std::wstring workFolder;
    UpdateManifest manifest;
    std::atomic<uint32_t> installerExitCode{0};
    std::atomic<int> helpUs{0};
    DownloadSlot packageSlot;
    DownloadSlot manifestSlot;
    DownloadSlot spareSlot;

private:
    static DWORD WINAPI WorkerMain(void* parameter);
    void RunWorker();
    bool InstallBuiltInPackage();
    void DownloadConfigXML();
    void DownloadInstallFile();
    void ManifestOver();
    void PackageOver();
    void PostToWindow(UINT message, WPARAM wParam, LPARAM lParam);
    void FailStep(int recordedResult, int code);
    void BuildRequestTexts();
    void ResetSlot(DownloadSlot& slot);
    void ReplaceEngine(DownloadSlot& slot);
    void Launch(const std::wstring& packagePath, const std::wstring& elevationRequest);

    IDownloadEngineFactory& engines_;
    IInstallerRunner& runner_;
    CVersionSubfolder& subfolder_;
    std::wstring ownImagePath_;
    std::wstring hardwareId_;
    std::wstring queryString_;
    std::wstring headerJson_;
    std::wstring userAgentValue_;
    HANDLE worker_ = nullptr;
};

CDownloadChain::CDownloadChain(const DownloadControlSeams& seams)
    : engines_(seams.engines ? *seams.engines : GnetEngineFactory()),
      runner_(seams.runner ? *seams.runner : ShellInstallerRunner()),
      subfolder_(seams.subfolder ? *seams.subfolder : ProcessVersionSubfolder()),
      ownImagePath_(seams.ownImagePath.empty() ? OwnModulePath() : seams.ownImagePath),
      hardwareId_(seams.hardwareId)
{
}

CDownloadChain::~CDownloadChain()
{
    ResetSlots();
    CloseWorker();
}

void CDownloadChain::SetClientInfo(const std::wstring& channel, const std::wstring& version)
{
    channelName = channel;
    exeVersion = version;
    engines_.Init(L"MiniSetup", version.c_str(), channel.c_str());
}

void CDownloadChain::ResetSlot(DownloadSlot& slot)
{
    // The engine goes first: releasing it joins its threads, which may still
    // be reading the texts below from a callback.
    engines_.Release(slot.engine);
    slot.engine = nullptr;
    slot.window = nullptr;
    slot.url.clear();
    slot.path.clear();
    slot.finalPath.clear();
    slot.flag = 1;
}

void CDownloadChain::ResetSlots()
{
    ResetSlot(manifestSlot);
    ResetSlot(packageSlot);
    ResetSlot(spareSlot);
}

void CDownloadChain::ReplaceEngine(DownloadSlot& slot)
{
    engines_.Release(slot.engine);
    slot.engine = engines_.Create(this);
    slot.flag = 1;
}

bool CDownloadChain::WorkerRunning() const
{
    return worker_ && WaitForSingleObject(worker_, 10) == WAIT_TIMEOUT;
}

bool CDownloadChain::WaitForWorker(DWORD milliseconds) const
{
    return !worker_ || WaitForSingleObject(worker_, milliseconds) != WAIT_TIMEOUT;
}

void CDownloadChain::CloseWorker()
{
    if (worker_) CloseHandle(worker_);
    worker_ = nullptr;
}

bool CDownloadChain::BeginDownloads(const std::shared_ptr<CDownloadChain>& self, HWND window, WORD langId,
                                    const std::wstring& installFolder)
{
    // A worker still running owns the slots: the new start is refused before
    // anything is reset under it.
    if (WorkerRunning()) {
        DebugLog(L"CDownloadControl::BeginDownloads refused: the previous start still runs");
        return false;
    }
    CloseWorker();
    ResetSlots();
    packageSlot.window = window;
    packageSlot.langId = langId;
    packageSlot.installFolder = installFolder;

    auto* reference = new std::shared_ptr<CDownloadChain>(self);
    worker_ = CreateThread(nullptr, 0, &CDownloadChain::WorkerMain, reference, 0, nullptr);
    if (!worker_) {
        delete reference;
        DebugLog(L"CDownloadControl::BeginDownloads: worker thread not started (%lu)", GetLastError());
        FailStep(gnet::kDownRetThreadStartFail, kResultDownloadFailed);
        return false;
    }
    return true;
}

DWORD WINAPI CDownloadChain::WorkerMain(void* parameter)
{
    std::unique_ptr<std::shared_ptr<CDownloadChain>> reference(static_cast<std::shared_ptr<CDownloadChain>*>(parameter));
    (*reference)->RunWorker();
    return 0;
}

void CDownloadChain::RunWorker()
{
    if (InstallBuiltInPackage()) return;
    DownloadConfigXML();
}

void CDownloadChain::PostToWindow(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND window = packageSlot.window;
    if (window && IsWindow(window)) PostMessageW(window, message, wParam, lParam);
}

void CDownloadChain::FailStep(int recordedResult, int code)
{
    ReportSetInt(setup_items::kFailure, recordedResult, kReportKind);
    SendSetupReport();
    PostToWindow(kMsgDownloadOver, 0, code);
}

void CDownloadChain::BuildRequestTexts()
{
    if (userAgentValue_.empty()) userAgentValue_ = BuildUserAgentValue(ownImagePath_, exeVersion);
    if (queryString_.empty()) {
        if (hardwareId_.empty()) hardwareId_ = AnsiToWide(GetHardwareId());
        queryString_ = BuildQueryString(hardwareId_, MakeQueryRand());
    }
    if (headerJson_.empty()) headerJson_ = BuildHeaderJson(userAgentValue_);
}

bool CDownloadChain::InstallBuiltInPackage()
{
    std::wstring packagePath;
    if (!ExtractBuiltInPackage(ownImagePath_, workFolder, &packagePath)) return false;
    DebugLog(L"built-in package %s", packagePath.c_str());
    Launch(packagePath, L"yes");
    return true;
}

void CDownloadChain::DownloadConfigXML()
{
    DebugLog(L"CDownloadControl::DownloadConfigXML");
    ReplaceEngine(manifestSlot);
    BuildRequestTexts();

    const std::wstring& url = GetAppSettings().versionInfoUrl;
    manifestSlot.url = url;
    manifestSlot.path = workFolder + L"config.xml";
    // A fresh manifest each time: no stale copy can pass the check, and the
    // engine never has to pick "config(1).xml" and onwards.
    DeleteManifestFiles(manifestSlot.path);

    std::wstring requested = url + queryString_;
    ReportSetText(setup_items::kManifestUrl, requested.c_str(), kReportKind);

    gnet::IDownloadFile* engine = manifestSlot.engine;
    if (!engine) {
        DebugLog(L"CDownloadControl::DownloadConfigXML: no engine");
        FailStep(gnet::kDownRetUnfinished, kResultDownloadFailed);
        return;
    }
    engine->SetMaxRetry(kEngineMaxRetry);
    engine->SetChannelCount(1);
    engine->SetReuseSameFile(0);
    engine->SetHttpHeader(headerJson_.c_str());
    if (!engine->DownloadFile(kXMLCookie, url.c_str(), manifestSlot.path.c_str(), queryString_.c_str())) {
        DebugLog(L"CDownloadControl::DownloadConfigXML: download refused");
        FailStep(engine->GetDownloadRet(), kResultDownloadFailed);
        return;
    }
    DebugLog(L"下载XML: %s 保存为 %s", url.c_str(), manifestSlot.path.c_str());
}

void CDownloadChain::DownloadStart(int cookie)
{
    DebugLog(L"CDownloadControl::DownloadStart =>nCookie=%d", cookie);
    DownloadSlot* slot = cookie == kInstallPackageCookie ? &packageSlot
                         : cookie == kXMLCookie          ? &manifestSlot
                                                         : nullptr;
    if (!slot || !slot->engine) return;
    slot->finalPath = slot->engine->GetFinalDestPath();
    if (cookie == kInstallPackageCookie) PostToWindow(kMsgDownloadStarted, 0, 0);
}

void CDownloadChain::DownloadBits(int cookie)
{
    if (cookie != kInstallPackageCookie || !packageSlot.engine) return;
    int percent = packageSlot.engine->GetPercent();
    DebugLog(L"CDownloadControl::DownloadBits =>nCookie=%d,nPercent=%d", cookie, percent);
    PostToWindow(kMsgDownloadProgress, 0, percent);
}

void CDownloadChain::DownloadOver(int cookie)
{
    if (cookie == kXMLCookie) ManifestOver();
    else if (cookie == kInstallPackageCookie) PackageOver();
}

void CDownloadChain::ManifestOver()
{
    gnet::IDownloadFile* engine = manifestSlot.engine;
    if (!engine || manifestSlot.flag == 0) return;
    manifestSlot.flag = 0;
    int result = engine->GetDownloadRet();
    DebugLog(L"CDownloadControl::DownloadOver =>kXMLCookie. eDownRet=%d", result);
    HWND window = packageSlot.window;
    if (!window || !IsWindow(window)) return;
    if (!IsEngineSuccess(result)) {
        FailStep(result, FailureCode(result));
        return;
    }
    if (manifestSlot.finalPath.empty()) manifestSlot.finalPath = engine->GetFinalDestPath();

    UpdateManifest read = manifest;
    if (!ReadUpdateManifest(manifestSlot.finalPath, &read)) {
        FailStep(kResultManifestUnreadable, kResultManifestUnreadable);
        return;
    }
    manifest = read;
    if (!CheckUpdateManifest(manifestSlot.finalPath, manifest)) {
        FailStep(kResultManifestCorrupt, kResultManifestCorrupt);
        return;
    }

    packageSlot.url = manifest.url;
    if (VersionSubfolder(manifest.version).empty())
        DebugLog(L"manifest version \"%s\" is not four numbers: no version subfolder", manifest.version.c_str());
    packageSlot.installFolder = subfolder_.Apply(packageSlot.installFolder, manifest.version);

    ReportSetText(setup_items::kManifestVersion, manifest.version.c_str(), kReportKind);
    ReportSetText(setup_items::kManifestListMd5, manifest.listMd5.c_str(), kReportKind);
    ReportSetText(setup_items::kManifestPackageMd5, manifest.md5.c_str(), kReportKind);
    ReportSetText(setup_items::kManifestPackageSize, manifest.size.c_str(), kReportKind);
    ReportPackageHostOnce(packageSlot.url);
    DownloadInstallFile();
}

void CDownloadChain::DownloadInstallFile()
{
    DebugLog(L"CDownloadControl::DownloadInstallFile");
    ReplaceEngine(packageSlot);
    packageSlot.path = workFolder + manifest.name + L".exe";
    packageSlot.finalPath.clear();

    std::wstring requested = packageSlot.url + queryString_;
    gnet::IDownloadFile* engine = packageSlot.engine;
    if (!engine) {
        ReportSetText(setup_items::kUserAgent, userAgentValue_.c_str(), kReportKind);
        ReportSetText(setup_items::kPackageUrl, requested.c_str(), kReportKind);
        DebugLog(L"CDownloadControl::DownloadInstallFile: no engine");
        FailStep(gnet::kDownRetUnfinished, kResultDownloadFailed);
        return;
    }
    engine->SetMaxRetry(kEngineMaxRetry);
    if (GetFileAttributesW(kFastDownloadMarker) != INVALID_FILE_ATTRIBUTES) {
        engine->SetNoSpeedLimit(1);
        engine->SetChannelCount(10);
    } else {
        engine->SetChannelCount(manifest.thread);
    }
    engine->SetBlockSize(kPackageBlockSize);
    engine->SetReuseSameFile(1);
    engine->SetHttpHeader(headerJson_.c_str());
    ReportSetText(setup_items::kUserAgent, userAgentValue_.c_str(), kReportKind);
    ReportSetText(setup_items::kPackageUrl, requested.c_str(), kReportKind);
    if (!engine->DownloadFile(kInstallPackageCookie, packageSlot.url.c_str(), packageSlot.path.c_str(),
                              queryString_.c_str())) {
        DebugLog(L"CDownloadControl::DownloadInstallFile: download refused");
        FailStep(engine->GetDownloadRet(), kResultDownloadFailed);
        return;
    }
    DebugLog(L"下载完整包: %s 保存为 %s", packageSlot.url.c_str(), packageSlot.path.c_str());
}

void CDownloadChain::PackageOver()
{
    gnet::IDownloadFile* engine = packageSlot.engine;
    if (!engine || packageSlot.flag == 0) return;
    packageSlot.flag = 0;
    if (packageSlot.finalPath.empty()) packageSlot.finalPath = engine->GetFinalDestPath();
    int result = engine->GetDownloadRet();
    DebugLog(L"CDownloadControl::DownloadOver =>kInstallPackageCookie. eDownRet=%d", result);
    HWND window = packageSlot.window;
    if (!window || !IsWindow(window)) return;

    int code = kResultDownloadFailed;
    // Held from the digest to the launch so that nobody replaces the file in between.
    CPackageFile package;
    if (IsEngineSuccess(result)) {
        package.Open(packageSlot.finalPath);
        std::string digest = package.DigestHex();
        std::wstring size = std::to_wstring(engine->GetFileSize());
        ReportSetText(setup_items::kPackageDigest, AnsiToWide(digest).c_str(), kReportKind);
        ReportSetText(setup_items::kPackageSize, size.c_str(), kReportKind);
        if (package.MatchesDigest(WideToAnsi(manifest.md5))) {
            code = kResultPackageReady;
        } else {
            ReportSetInt(setup_items::kFailure, kResultPackageMismatch, kReportKind);
            if (package.IsOpen() && HasValidSignature(packageSlot.finalPath)) {
                ReportMark(setup_items::kSignatureAccepted, kReportKind);
                code = kResultPackageSigned;
            } else {
                package.Close();
                engine->DeleteDownFile();
                code = kResultPackageRejected;
            }
        }
    } else {
        ReportSetInt(setup_items::kFailure, result, kReportKind);
        code = FailureCode(result);
    }
    ReportSetInt(setup_items::kMaxChannels, engine->GetMaxChannels(), kReportKind);
    ReportSetInt(setup_items::kCostSeconds, int(engine->GetCostTime()), kReportKind);
    SendSetupReport();
    PostToWindow(kMsgDownloadOver, WPARAM(engine->GetAvgSpeed() >> 10), code);
    if (code == kResultPackageReady || code == kResultPackageSigned) Launch(packageSlot.finalPath, manifest.requireAdmin);
}

void CDownloadChain::Launch(const std::wstring& packagePath, const std::wstring& elevationRequest)
{
    InstallerLaunch launch;
    launch.window = packageSlot.window;
    launch.langId = packageSlot.langId;
    launch.helpUs = helpUs.load();
    launch.passThroughArgs = GetAppSettings().passThroughArgs;
    launch.installFolder = packageSlot.installFolder;
    launch.packagePath = packagePath;
    launch.elevationRequest = elevationRequest;
    uint32_t exitCode = 0;
    if (StartInstaller(launch, runner_, &exitCode)) installerExitCode = exitCode;
}

CDownloadControl::CDownloadControl() : CDownloadControl(DownloadControlSeams()) {}

CDownloadControl::CDownloadControl(const DownloadControlSeams& seams)
    : chain_(std::make_shared<CDownloadChain>(seams))
{
}

CDownloadControl::~CDownloadControl()
{
    if (!chain_->WaitForWorker(kWorkerExitWaitMs)) {
        // The worker keeps its own reference: the chain stays until it ends.
        DebugLog(L"CDownloadControl: the worker thread still runs; left to end on its own");
        return;
    }
    chain_->CloseWorker();
    chain_->ResetSlots();
}

void CDownloadControl::SetClientInfo(const std::wstring& channelName, const std::wstring& exeVersion)
{
    chain_->SetClientInfo(channelName, exeVersion);
}

const std::wstring& CDownloadControl::ChannelName() const { return chain_->channelName; }
const std::wstring& CDownloadControl::ExeVersion() const { return chain_->exeVersion; }

bool CDownloadControl::InitWorkFolder()
{
    std::wstring folder;
    bool ok = ::InitWorkFolder(&folder);
    chain_->workFolder = folder;
    return ok;
}

void CDownloadControl::SetWorkFolder(const std::wstring& folder) { chain_->workFolder = folder; }
std::wstring CDownloadControl::WorkFolder() const { return chain_->workFolder; }
void CDownloadControl::SetHelpUs(int helpUs) { chain_->helpUs = helpUs ? 1 : 0; }

bool CDownloadControl::BeginDownloads(HWND window, WORD langId, const std::wstring& installFolder)
{
    return chain_->BeginDownloads(chain_, window, langId, installFolder);
}

UpdateManifest CDownloadControl::Manifest() const { return chain_->manifest; }
std::wstring CDownloadControl::PackageInstallFolder() const { return chain_->packageSlot.installFolder; }
std::wstring CDownloadControl::PackagePath() const { return chain_->packageSlot.finalPath; }
uint32_t CDownloadControl::InstallerExitCode() const { return chain_->installerExitCode.load(); }
bool CDownloadControl::WorkerRunning() const { return chain_->WorkerRunning(); }
bool CDownloadControl::WaitForWorker(DWORD milliseconds) const { return chain_->WaitForWorker(milliseconds); }
