#include "platform/ChildSpawn.h"

#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/TextCodec.h"

extern char** environ;

namespace platform {

namespace {

int CodeFromStatus(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

// Owns the spawn attributes and file actions for one start.
class SpawnSetup {
public:
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions_);
        posix_spawnattr_init(&attr_);
    }
    ~SpawnSetup() {
        posix_spawnattr_destroy(&attr_);
        posix_spawn_file_actions_destroy(&actions_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    bool Prepare(Descriptor input, Descriptor output, Descriptor error) {
        sigset_t all;
        sigset_t none;
        sigfillset(&all);
        sigemptyset(&none);
        return posix_spawn_file_actions_adddup2(&actions_, input, STDIN_FILENO) == 0 &&
               posix_spawn_file_actions_adddup2(&actions_, output, STDOUT_FILENO) == 0 &&
               posix_spawn_file_actions_adddup2(&actions_, error, STDERR_FILENO) == 0 &&
               posix_spawn_file_actions_addclosefrom_np(&actions_, STDERR_FILENO + 1) == 0 &&
               posix_spawnattr_setpgroup(&attr_, 0) == 0 && posix_spawnattr_setsigdefault(&attr_, &all) == 0 &&
               posix_spawnattr_setsigmask(&attr_, &none) == 0 &&
               posix_spawnattr_setflags(&attr_, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF |
                                                    POSIX_SPAWN_SETSIGMASK) == 0;
    }

    const posix_spawn_file_actions_t* actions() const { return &actions_; }
    const posix_spawnattr_t* attr() const { return &attr_; }

private:
    posix_spawn_file_actions_t actions_;
    posix_spawnattr_t attr_;
};

}  // namespace

ProcessId SpawnChild(const std::vector<std::wstring>& args, Descriptor input, Descriptor output, Descriptor error) {
    if (args.empty() || args[0].empty()) return 0;
    std::vector<std::string> native;
    native.reserve(args.size());
    for (const std::wstring& a : args) native.push_back(ToNative(a));
    std::vector<char*> argv;
    for (std::string& a : native) argv.push_back(a.data());
    argv.push_back(nullptr);

    SpawnSetup setup;
    if (!setup.Prepare(input, output, error)) return 0;
    pid_t pid = 0;
    const bool hasSlash = native[0].find('/') != std::string::npos;
    const int rc = hasSlash ? posix_spawn(&pid, argv[0], setup.actions(), setup.attr(), argv.data(), environ)
                            : posix_spawnp(&pid, argv[0], setup.actions(), setup.attr(), argv.data(), environ);
    return rc == 0 ? pid : 0;
}

bool TryReapChild(ProcessId pid, int& exitCode) {
    int status = 0;
    for (;;) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            exitCode = CodeFromStatus(status);
            return true;
        }
        if (r == 0) return false;
        if (errno == EINTR) continue;
        exitCode = -1;
        return true;
    }
}

Descriptor OpenExitNotifier(ProcessId pid) {
    // Called through syscall: this C library's header lacks C linkage for it.
    const int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));  // always close-on-exec
    return fd >= 0 ? fd : kNoDescriptor;
}

int ReapChild(ProcessId pid) {
    int status = 0;
    for (;;) {
        const pid_t r = ::waitpid(pid, &status, 0);
        if (r == pid) return CodeFromStatus(status);
        if (r < 0 && errno == EINTR) continue;
        return -1;
    }
}

}  // namespace platform
