// The uninstaller runner: runs the installed version's uninstaller (a copy
// in the temporary folder) silently as a hidden child, tells it the
// installed folder, reads the Key=value lines it prints and turns them into
// removal events (5002-5005) for its owner.
//
// Threads: the owner (the coordinator) constructs it and calls Start on its
// own thread; Start asks the two administrator questions there (the console
// user's lookup may take up to about a second) and runs the removal on an
// "UnInstaller" worker thread, owned here. A Start while an earlier run's
// worker exists first waits for it; the destructor waits for the worker.
// Every event is sent synchronously on the worker thread; its text is valid
// only during the call, and the callback must not destroy or restart this
// runner.
//
// A run sends 5004 (1.0, "可执行卸载文件不存在") when the program is missing,
// else 5002 (0.0) and then: 5004 (2.0) when it can't be started, or every
// event its output gives (every line is parsed, also after a final line),
// followed by 5003 (1.0) when it printed neither a final state nor an error.
#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "install/InstallEvents.h"
#include "utils/Thread.h"

class CUnInstaller {
public:
    CUnInstaller(ProgressCallback callback, std::wstring program, std::wstring installedFolder);
    ~CUnInstaller();
    CUnInstaller(const CUnInstaller&) = delete;
    CUnInstaller& operator=(const CUnInstaller&) = delete;

    void Start();
    // Blocks until the current run's worker has ended (at once without one);
    // every event of the run has been delivered when it returns.
    void Wait();

private:
    std::wstring BuildCommandLine() const;
    void Run();
    // One output line; 0, 1 (success state) or 1000 (failure state or error).
    int Parse(std::wstring_view line);
    void Send(int code, double value, const std::wstring& text = {}) const;

    ProgressCallback callback_;
    std::wstring commandLine_;
    const std::wstring program_;
    const std::wstring installedFolder_;
    int codePage_ = 0;
    std::unique_ptr<Utils::Thread> worker_;
};
