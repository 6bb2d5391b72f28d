// fake_child: a stand-in for the package and the uninstaller in tests.
//
// It runs a list of commands, one per line of the file "<argv[0]>.script"
// when that file exists (so it can be started under any command line the
// runners build), otherwise one per argument. Commands:
//   out TEXT              write TEXT to stdout in one write; escapes \n \r \t \\ \xHH
//   err TEXT              the same on stderr
//   sleep MS              pause
//   fill-out BYTES [LINE] write at least BYTES bytes to stdout as whole
//                         repeated "LINE\n" (default "Noise=...") in writes
//                         of up to 4 KiB
//   fill-err BYTES [LINE] the same on stderr
//   record PATH           write to PATH: "pid N", "pgid N", "cwd DIR",
//                         "sigpipe default|other", one "fd N" per open
//                         descriptor and one "arg A" per argv entry
//   read-stdin            read stdin to its end; after 10 s without an end
//                         it prints "Error=stdin still open" instead
//   grandchild MS PATH    fork a grandchild that keeps stdout and stderr,
//                         writes its pid to PATH and sleeps MS
//   exit CODE             exit now with CODE
//   signal N              kill itself with signal N
// After the last command it exits with 0.
#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

void WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) std::_Exit(3);  // the reader went away
        done += static_cast<size_t>(n);
    }
}

std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out.push_back(text[i]);
            continue;
        }
        const char c = text[++i];
        if (c == 'n') out.push_back('\n');
        else if (c == 'r') out.push_back('\r');
        else if (c == 't') out.push_back('\t');
        else if (c == 'x' && i + 2 < text.size()) {
            out.push_back(static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else out.push_back(c);
    }
    return out;
}

// Whole lines, at least `bytes` bytes in all.
void Fill(int fd, size_t bytes, const std::string& line) {
    std::string piece;
    while (piece.size() < 4096) piece += line + "\n";
    const size_t perLine = line.size() + 1;
    size_t left = (bytes + perLine - 1) / perLine * perLine;
    while (left > 0) {
        const size_t n = left < piece.size() ? left : piece.size();
        WriteAll(fd, piece.substr(0, n));
        left -= n;
    }
}

void Record(const std::string& path, int argc, char** argv) {
    std::ofstream out(path, std::ios::trunc);
    char cwd[4096];
    out << "pid " << ::getpid() << "\n";
    out << "pgid " << ::getpgrp() << "\n";
    out << "cwd " << (::getcwd(cwd, sizeof(cwd)) ? cwd : "?") << "\n";
    struct sigaction action {};
    ::sigaction(SIGPIPE, nullptr, &action);
    out << "sigpipe " << (action.sa_handler == SIG_DFL ? "default" : "other") << "\n";
    // The record file itself and the listing's own descriptor are ours.
    out.flush();
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (const dirent* e = ::readdir(dir)) {
            if (e->d_name[0] == '.') continue;
            const int fd = std::atoi(e->d_name);
            char target[4096] = {};
            const std::string link = "/proc/self/fd/" + std::to_string(fd);
            const bool isRecord = ::readlink(link.c_str(), target, sizeof(target) - 1) > 0 && path == target;
            if (fd != ::dirfd(dir) && !isRecord) out << "fd " << fd << "\n";
        }
        ::closedir(dir);
    }
    for (int i = 0; i < argc; ++i) out << "arg " << argv[i] << "\n";
}

void ReadStdin() {
    char buffer[256];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p{STDIN_FILENO, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            WriteAll(STDOUT_FILENO, "Error=stdin still open\n");
            return;
        }
        if (::read(STDIN_FILENO, buffer, sizeof(buffer)) <= 0) return;
    }
}

void Grandchild(int ms, const std::string& pidPath) {
    const pid_t pid = ::fork();
    if (pid != 0) return;
    std::ofstream(pidPath, std::ios::trunc) << ::getpid() << "\n";
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    std::_Exit(0);
}

void Run(const std::string& command, int argc, char** argv) {
    const size_t blank = command.find(' ');
    const std::string name = command.substr(0, blank);
    const std::string rest = blank == std::string::npos ? "" : command.substr(blank + 1);
    std::istringstream words(rest);
    if (name == "out") WriteAll(STDOUT_FILENO, Unescape(rest));
    else if (name == "err") WriteAll(STDERR_FILENO, Unescape(rest));
    else if (name == "sleep") std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(rest)));
    else if (name == "fill-out" || name == "fill-err") {
        size_t bytes = 0;
        std::string line;
        words >> bytes;
        std::getline(words >> std::ws, line);
        Fill(name == "fill-out" ? STDOUT_FILENO : STDERR_FILENO, bytes, line.empty() ? "Noise=" + std::string(90, 'x') : line);
    } else if (name == "record") Record(rest, argc, argv);
    else if (name == "read-stdin") ReadStdin();
    else if (name == "grandchild") {
        int ms = 0;
        std::string path;
        words >> ms >> path;
        Grandchild(ms, path);
    } else if (name == "exit") std::exit(std::stoi(rest));
    else if (name == "signal") {
        const int sig = std::stoi(rest);
        ::signal(sig, SIG_DFL);
        ::kill(::getpid(), sig);
        std::this_thread::sleep_for(std::chrono::seconds(5));
    } else if (!name.empty()) {
        std::fprintf(stderr, "fake_child: unknown command '%s'\n", name.c_str());
        std::exit(100);
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> commands;
    const std::string scriptPath = argv[0] + std::string(".script");
    std::ifstream script(scriptPath);
    if (script) {
        for (std::string line; std::getline(script, line);) commands.push_back(line);
    } else {
        for (int i = 1; i < argc; ++i) commands.emplace_back(argv[i]);
    }
    for (const std::string& c : commands) Run(c, argc, argv);
    return 0;
}
