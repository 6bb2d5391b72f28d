// The installation chain: removes the installed version (if one is named),
// downloads the package, runs it. It owns the three workers, forwards every
// event they report unchanged to the owner's callback, then reacts to the
// events that end a stage by starting the next one or cleaning up.
//
// Threads: construction, Init, Start, WaitForRemoval and destruction run on
// the owner's thread. The handlers run on the workers' threads; the owner's
// callback is therefore called from several threads, synchronously, and
// must only copy the event and hand it on (texts are valid only during the
// call). The callback must not call back into this coordinator.
//
// Destruction waits for every worker: first the remover (it may still start
// the downloader), then the downloader (it may still start the package
// runner), then the package runner.
#pragma once
#include <memory>
#include <string>

#include "download/CDownloader.h"
#include "download/TransferOptions.h"

class CInstaller;
class CUnInstaller;

// Settings a test may change; the installer always uses the defaults.
struct CoordinatorOptions {
    // Where the uninstaller copy goes; empty: the per-user temporary folder
    // + "~TorvaneTemp.92482B06FB471E17/".
    std::wstring tempFolder;
    TransferOptions transfer;
};

class CDownloadInstaller {
public:
    CDownloadInstaller(ProgressCallback windowCallback, std::wstring downloadUrl, std::wstring installedUninstaller,
                       std::wstring installFolder, bool desktopShortcut, bool quickLaunch, bool adminAccount,
                       CoordinatorOptions options = {});
    ~CDownloadInstaller();
    CDownloadInstaller(const CDownloadInstaller&) = delete;
    CDownloadInstaller& operator=(const CDownloadInstaller&) = delete;

    void Init(std::wstring downloadUrl, std::wstring installedUninstaller, std::wstring installFolder,
              bool desktopShortcut, bool quickLaunch, bool adminAccount, bool adminToken, std::wstring language);

    // Begins the chain. With InsNew set and a version to remove, first waits
    // (without a time limit) until no "Brimvale.exe" runs.
    void Start();

    // Blocks until the current remover's worker has ended (at once if there
    // is none). Every removal event has been delivered when it returns.
    void WaitForRemoval();

    // The package path of a run: the install folder + "/__Package_Brimvale.exe".
    static std::wstring PackagePathFor(const std::wstring& installFolder);

private:
    void OnTerminal();
    std::wstring TempFolder() const;

    std::unique_ptr<CUnInstaller> remover_;
    std::unique_ptr<CDownloader> downloader_;
    std::unique_ptr<CInstaller> installer_;
    std::wstring downloadUrl_;
    std::wstring installedUninstaller_;
    std::wstring installFolder_;
    std::wstring packagePath_;
    std::wstring language_;
    bool desktopShortcut_;
    bool quickLaunch_;
    bool adminAccount_;
    bool adminToken_ = false;
    ProgressCallback windowCallback_;
    CoordinatorOptions options_;
};
