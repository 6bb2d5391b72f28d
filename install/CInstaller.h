// The package runner: runs the downloaded installation package as a hidden
// child with the user's choices on its command line, reads the Key=value
// lines it prints and turns them into install events (2001-2004) and
// information events (3000-3009) for its owner.
//
// Threads: the owner (the coordinator) constructs it, sets the choices and
// calls Start on its own thread. Each Start runs one installation on a new
// "ABDEF" worker thread, owned here; a Start while an earlier run's worker
// exists first waits for it, and the destructor waits for the current one.
// The setters must not be called while a run is going on. Every event is
// sent synchronously on the worker thread; its text is valid only during
// the call, and the callback must not destroy or restart this runner.
//
// A run sends 2001, 2002 (0.0), then any progress and information events,
// and ends with exactly one of: 2003 (0.0) or 2004 (0.0) for a state line,
// 2004 (1000.0) for an error line, 2003 (1.0) when the package ended
// without a final line, 2004 (2.0) when it couldn't be started, 2004 (1.0)
// when there is no package path. The package's exit code decides nothing.
#pragma once
#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "app/InstallerSettings.h"
#include "install/InstallEvents.h"
#include "utils/Thread.h"

class CInstaller {
public:
    // `quotedPackagePath` is the package's full path in double quotes.
    // `settings` supplies the extra package text (InstCmd) read at each
    // Start; it must outlive the runner.
    CInstaller(ProgressCallback callback, std::wstring quotedPackagePath, std::wstring installFolder,
               bool desktopShortcut, bool quickLaunch, bool adminAccount,
               const InstallerSettings& settings = GlobalInstallerSettings());
    ~CInstaller();
    CInstaller(const CInstaller&) = delete;
    CInstaller& operator=(const CInstaller&) = delete;

    void SetInstallFolder(std::wstring folder) { installFolder_ = std::move(folder); }
    void SetDesktopShortcut(bool on) { desktopShortcut_ = on; }
    void SetQuickLaunch(bool on) { quickLaunch_ = on; }
    void SetAdminAccount(bool on) { adminAccount_ = on; }
    void SetAdminToken(bool on) { adminToken_ = on; }
    void SetLanguage(std::wstring language) { language_ = std::move(language); }

    // Builds the command line and starts the run; returns once the new
    // worker runs (after waiting for an earlier one).
    void Start();

    // The last "InstallVersion=" numbers (major, minor, patch); read it only
    // while no run is going on.
    const std::array<int, 3>& ReportedVersion() const { return version_; }

private:
    std::wstring BuildCommandLine() const;
    void Run();
    // One output line; 0, 1 (success state) or 1000 (failure state or error).
    int Parse(std::wstring_view line);
    void Send(int code, double value, const std::wstring& text = {}) const;

    ProgressCallback callback_;
    const std::wstring packagePath_;
    std::wstring installFolder_;
    std::wstring commandLine_;
    bool quickLaunch_;
    bool desktopShortcut_;
    int codePage_ = 0;  // carries over from one run to the next
    std::array<int, 3> version_{};
    bool adminAccount_;
    bool adminToken_ = true;
    std::wstring language_;
    const InstallerSettings& settings_;
    std::unique_ptr<Utils::Thread> worker_;
};
