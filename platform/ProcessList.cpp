#include "platform/ProcessList.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>

#include "platform/TextCodec.h"

namespace platform {

namespace {

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The state letter from /proc/PID/stat ("pid (comm) S ..."; comm may hold
// blanks and parentheses, so look after the last ')').
char ProcessState(const std::string& dir) {
    const std::string stat = ReadWhole(dir + "/stat");
    const size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size()) return '?';
    return stat[close + 2];
}

std::string ExecutableBaseName(const std::string& dir) {
    char target[4096];
    const ssize_t n = ::readlink((dir + "/exe").c_str(), target, sizeof(target) - 1);
    if (n <= 0) return {};
    std::string path(target, static_cast<size_t>(n));
    constexpr std::string_view kDeleted = " (deleted)";
    if (path.size() > kDeleted.size() && path.compare(path.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0)
        path.resize(path.size() - kDeleted.size());
    return BaseName(path);
}

std::string FirstArgumentBaseName(const std::string& dir) {
    const std::string cmdline = ReadWhole(dir + "/cmdline");
    return BaseName(cmdline.substr(0, cmdline.find('\0')));
}

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

}  // namespace

ProcessId FindProcessByName(const std::wstring& executableName) {
    const std::string name = ToNative(executableName);
    if (name.empty()) return 0;
    std::unique_ptr<DIR, DirCloser> proc(::opendir("/proc"));
    if (!proc) return 0;
    while (const dirent* entry = ::readdir(proc.get())) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0') continue;
        const std::string dir = std::string("/proc/") + entry->d_name;
        if (ExecutableBaseName(dir) != name && FirstArgumentBaseName(dir) != name) continue;
        const char state = ProcessState(dir);
        if (state == 'Z' || state == 'X' || state == '?') continue;
        return static_cast<ProcessId>(pid);
    }
    return 0;
}

}  // namespace platform
