#include "tests/support/http/ChildProgram.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <sstream>
#include <thread>

extern char** environ;

namespace testsupport {

std::string FindProgram(const std::string& name) {
    std::string folders = std::getenv("PATH") ? std::getenv("PATH") : "";
    folders += ":/usr/sbin:/sbin:/usr/bin:/bin";
    std::stringstream list(folders);
    std::string folder;
    while (std::getline(list, folder, ':')) {
        if (folder.empty()) continue;
        const std::string candidate = folder + "/" + name;
        struct stat info {};
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

pid_t StartProgram(const std::vector<std::string>& argv, const std::string& outputFile,
                   const std::string& errorFile) {
    if (argv.empty()) return -1;
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (errorFile.empty()) {
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                         0644);
    }
    pid_t pid = -1;
    const int result = ::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return result == 0 ? pid : -1;
}

int WaitProgram(pid_t pid, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (done < 0 && errno != EINTR) return 255;  // not our child (any more)
        if (std::chrono::steady_clock::now() >= end) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

int RunProgram(const std::vector<std::string>& argv, const std::string& outputFile, std::chrono::milliseconds limit,
               const std::string& errorFile) {
    const pid_t pid = StartProgram(argv, outputFile, errorFile);
    if (pid < 0) return -1;
    const int status = WaitProgram(pid, limit);
    if (status >= 0) return status;
    StopProgram(pid, std::chrono::milliseconds(0));
    return -1;
}

void StopProgram(pid_t pid, std::chrono::milliseconds grace) {
    ::kill(pid, SIGTERM);
    if (WaitProgram(pid, grace) >= 0) return;
    ::kill(pid, SIGKILL);
    WaitProgram(pid, std::chrono::seconds(10));
}

}  // namespace testsupport
