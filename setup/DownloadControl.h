#pragma once
// The download control: once the user has chosen to install, it fetches the
// manifest and the package, checks the package and starts the installer. It
// talks to the window only through posted messages.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "setup/UpdateManifest.h"

class IDownloadEngineFactory;
class IInstallerRunner;
class CVersionSubfolder;
class CDownloadChain;

// Cookies the engine hands back with every event.
constexpr int kInstallPackageCookie = 1;
constexpr int kXMLCookie = 2;

// What the control uses from outside; every field left empty takes the
// program's own (the gnet engine, ShellExecuteExW, the process-wide version
// subfolder, the program's own file, this computer's hardware id).
struct DownloadControlSeams {
    IDownloadEngineFactory* engines = nullptr;
    IInstallerRunner* runner = nullptr;
    CVersionSubfolder* subfolder = nullptr;
    std::wstring ownImagePath;
    std::wstring hardwareId;
};

class CDownloadControl {
public:
    CDownloadControl();
    explicit CDownloadControl(const DownloadControlSeams& seams);
    // Waits up to five minutes for the worker thread, then releases the engines.
    ~CDownloadControl();
    CDownloadControl(const CDownloadControl&) = delete;
    CDownloadControl& operator=(const CDownloadControl&) = delete;

    // Keeps the channel name and starts the download engine.
    void SetClientInfo(const std::wstring& channelName, const std::wstring& exeVersion);
    const std::wstring& ChannelName() const;
    const std::wstring& ExeVersion() const;

    // Chooses the folder downloads go to; false when no drive will do.
    bool InitWorkFolder();
    void SetWorkFolder(const std::wstring& folder);  // must end in a backslash
    std::wstring WorkFolder() const;

    // The "/bHelpUs=" value handed to the installer.
    void SetHelpUs(int helpUs);

    // Starts the chain anew for the window. False (and nothing changed) while
    // the worker thread of an earlier start still runs.
    bool BeginDownloads(HWND window, WORD langId, const std::wstring& installFolder);

    // What the chain has seen so far.
    UpdateManifest Manifest() const;
    std::wstring PackageInstallFolder() const;
    std::wstring PackagePath() const;
    uint32_t InstallerExitCode() const;
    bool WorkerRunning() const;
    // Waits for the worker thread; true when it has ended.
    bool WaitForWorker(DWORD milliseconds) const;

private:
    std::shared_ptr<CDownloadChain> chain_;
};
