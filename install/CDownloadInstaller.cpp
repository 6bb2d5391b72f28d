#include "install/CDownloadInstaller.h"

#include <chrono>
#include <mutex>
#include <thread>

#include "app/InstallerSettings.h"
#include "download/DownloadEvents.h"
#include "download/DownloaderFactory.h"
#include "install/CInstaller.h"
#include "install/CUnInstaller.h"
#include "install/InstallEvents.h"
#include "platform/FileCopy.h"
#include "platform/FileSystem.h"
#include "platform/PrivateFolder.h"
#include "platform/TextCodec.h"
#include "utils/CreateDirectories.h"
#include "utils/FindProcess.h"
#include "utils/Log.h"

namespace {

constexpr const wchar_t* kTempFolderName = L"~TorvaneTemp.92482B06FB471E17";
constexpr const wchar_t* kUninstallerCopyName = L"Brimvale_un_asa.exe";
constexpr const wchar_t* kProductExecutable = L"Brimvale.exe";

// The package path that the last terminal clean-up deleted, shared by every
// coordinator of the process.
std::mutex g_lastPackageLock;
std::wstring g_lastRemovedPackage;

}  // namespace

CDownloadInstaller::CDownloadInstaller(ProgressCallback windowCallback, std::wstring downloadUrl,
                                       std::wstring installedUninstaller, std::wstring installFolder,
                                       bool desktopShortcut, bool quickLaunch, bool adminAccount,
                                       CoordinatorOptions options)
    : downloadUrl_(std::move(downloadUrl)),
      installedUninstaller_(std::move(installedUninstaller)),
      installFolder_(std::move(installFolder)),
      desktopShortcut_(desktopShortcut),
      quickLaunch_(quickLaunch),
      adminAccount_(adminAccount),
      windowCallback_(std::move(windowCallback)),
      options_(std::move(options)) {}

CDownloadInstaller::~CDownloadInstaller() {
    // The remover may start the downloader and the downloader the package
    // runner, so they go in the order of the chain.
    remover_.reset();
    downloader_.reset();
    installer_.reset();
}

void CDownloadInstaller::Init(std::wstring downloadUrl, std::wstring installedUninstaller, std::wstring installFolder,
                              bool desktopShortcut, bool quickLaunch, bool adminAccount, bool adminToken,
                              std::wstring language) {
    downloadUrl_ = std::move(downloadUrl);
    installedUninstaller_ = std::move(installedUninstaller);
    installFolder_ = std::move(installFolder);
    desktopShortcut_ = desktopShortcut;
    quickLaunch_ = quickLaunch;
    adminAccount_ = adminAccount;
    adminToken_ = adminToken;
    language_ = std::move(language);
}

std::wstring CDownloadInstaller::PackagePathFor(const std::wstring& installFolder) {
    return installFolder + platform::kPathSeparator + L"__Package_" + kProductId + L".exe";
}

std::wstring CDownloadInstaller::TempFolder() const {
    if (!options_.tempFolder.empty()) return options_.tempFolder;
    const std::wstring base = platform::UserTempFolder();
    if (base.empty()) return {};
    const std::wstring folder = base + kTempFolderName;
    return platform::EnsurePrivateFolder(platform::ToNative(folder)) ? folder + platform::kPathSeparator
                                                                       : std::wstring();
}

void CDownloadInstaller::OnTerminal() {
    platform::DeleteFile(packagePath_);
    std::lock_guard<std::mutex> lock(g_lastPackageLock);
    if (!g_lastRemovedPackage.empty()) platform::DeleteFile(g_lastRemovedPackage);
    g_lastRemovedPackage = packagePath_;
}

void CDownloadInstaller::Start() {
    // The handlers are local classes, so that their log lines name them
    // inside Start.
    struct DownloadEventHandler {
        static void OnEvent(CDownloadInstaller* self, int code, double value, const wchar_t* text) {
            self->windowCallback_(code, value, text);
            switch (code) {
                case DL_CODE_START:
                    LOG_DEBUG(L"DL_CODE_START\r\n");
                    Utils::CreateDirectories(self->installFolder_);
                    break;
                case DL_CODE_PROGRESS:
                    LOG_DEBUG(L"DL_CODE_PROGRESS\r\n");
                    break;
                case DL_CODE_SUCCESS:
                    LOG_DEBUG(L"DOWNLOAD_SUCCESS\r\n");
                    self->installer_->Start();
                    LOG_DEBUG(L"DL_CODE_SUCCESS\r\n");
                    break;
                case DL_CODE_FAIL:
                    self->OnTerminal();
                    LOG_DEBUG(L"DL_CODE_FAIL\r\n");
                    break;
                case DL_CODE_RETRY:
                    LOG_DEBUG(L"DL_CODE_RETRY\r\n");
                    self->downloader_->Start();
                    break;
                default:
                    break;
            }
        }
    };
    struct RemovalEventHandler {
        static void OnEvent(CDownloadInstaller* self, int code, double value, const wchar_t* text) {
            self->windowCallback_(code, value, text);
            switch (code) {
                case UNIST_CODE_PROGRESS:
                    LOG_DEBUG(L"UNIST_CODE_PROGRESS\r\n");
                    break;
                case UNIST_CODE_SUCCESS:
                    LOG_DEBUG(L"UNIST_CODE_SUCCESS\r\n");
                    if (self->installer_) self->downloader_->Start();
                    break;
                case UNIST_CODE_FAIL:
                    LOG_DEBUG(L"UNIST_CODE_FAIL\r\n");
                    break;
                case UNIST_CODE_ERROR:
                    LOG_DEBUG(L"UNIST_CODE_ERROR\r\n");
                    break;
                default:
                    break;
            }
        }
    };
    struct InstallEventHandler {
        static void OnEvent(CDownloadInstaller* self, int code, double value, const wchar_t* text) {
            self->windowCallback_(code, value, text);
            switch (code) {
                case IST_CODE_START:
                    LOG_DEBUG(L"IST_CODE_START\r\n");
                    break;
                case IST_CODE_PROGRESS:
                    LOG_DEBUG(L"IST_CODE_PROGRESS\r\n");
                    break;
                case IST_CODE_SUCCESS:
                    self->OnTerminal();
                    LOG_DEBUG(L"INSTALL_SUCCESS\r\n");
                    break;
                case IST_CODE_FAIL:
                    self->OnTerminal();
                    LOG_DEBUG(L"IST_CODE_FAIL\r\n");
                    break;
                default:
                    break;
            }
        }
    };

    const InstallerSettings& settings = GlobalInstallerSettings();
    LOG_DEBUG(L"DL_TYPE=%d\r\n", settings.DownloadType);

    if (!downloader_) {
        // The downloader and the package runner keep the path they are given
        // first, so the clean-up deletes that one. Later Starts leave it be:
        // a terminal handler of the previous run may still be reading it.
        packagePath_ = PackagePathFor(installFolder_);
        downloader_ = CreateDownloader(
            settings.DownloadType,
            [this](int code, double value, const wchar_t* text) { DownloadEventHandler::OnEvent(this, code, value, text); },
            downloadUrl_, packagePath_, options_.transfer);
    }
    if (!installer_) {
        installer_ = std::make_unique<CInstaller>(
            [this](int code, double value, const wchar_t* text) { InstallEventHandler::OnEvent(this, code, value, text); },
            L"\"" + packagePath_ + L"\"", installFolder_, desktopShortcut_, quickLaunch_, adminAccount_);
    }
    installer_->SetInstallFolder(installFolder_);
    installer_->SetDesktopShortcut(desktopShortcut_);
    installer_->SetQuickLaunch(quickLaunch_);
    installer_->SetAdminAccount(adminAccount_);
    installer_->SetAdminToken(adminToken_);
    installer_->SetLanguage(language_);

    if (!platform::PathExists(installedUninstaller_)) {
        downloader_->Start();
        return;
    }
    const std::wstring temp = TempFolder();
    const std::wstring copy = temp.empty() ? std::wstring() : temp + kUninstallerCopyName;
    // A failed copy leaves no file behind: the remover then reports it.
    if (!copy.empty()) platform::CopyFileReplacing(installedUninstaller_, copy);
    // The earlier remover (if any) has ended or is waited for here.
    remover_.reset();
    remover_ = std::make_unique<CUnInstaller>(
        [this](int code, double value, const wchar_t* text) { RemovalEventHandler::OnEvent(this, code, value, text); },
        copy, platform::ParentFolder(installedUninstaller_));
    if (settings.InsNew) {
        bool running = true;
        while (running) {
            running = Utils::FindProcess(kProductExecutable) != 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    remover_->Start();
}

void CDownloadInstaller::WaitForRemoval() {
    if (remover_) remover_->Wait();
}
