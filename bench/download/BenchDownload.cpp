// Driver of the download benchmark (bench/download/run.sh). Every mode
// prints one line of key=value pairs:
//
//   bench-download fetch TYPE URL PATH   one downloader (1 single stream,
//       2 system, 3 multi-part) from Start to its final event, in this
//       process; DL_CODE_RETRY is answered with Start as the installer does.
//       ok wall cpu rss_kb, and the phases read from the diagnostic log:
//       transfer (until the file is complete), join (multi-part only) and
//       digest (MD5 check, when the URL carries one).
//   bench-download md5 PATH              GetFileMd5: ok wall cpu rss_kb md5
//   bench-download exec PROGRAM ARGS...  a child program: ok wall cpu rss_kb
//   bench-download free-port             a port of 127.0.0.1 free right now
//
// wall and cpu (user + system, all threads) are seconds; rss_kb is the peak
// resident size. The log goes to a temporary file, read back at the end.
#include <arpa/inet.h>
#include <curl/curl.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "download/CCurlDownloader.h"
#include "download/CMTCurlDownloader.h"
#include "download/CWinDownloader.h"
#include "download/DownloadEvents.h"
#include "download/Md5.h"
#include "platform/ProcessSetup.h"
#include "platform/Utf8.h"
#include "utils/Log.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

double CpuSeconds(const rusage& usage) {
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void PrintUsage(bool ok, double wall, const rusage& usage) {
    std::printf("ok=%d wall=%.3f cpu=%.3f rss_kb=%ld", ok ? 1 : 0, wall, CpuSeconds(usage), usage.ru_maxrss);
}

// Milliseconds since midnight of a log line's "<YYYY-MM-DD hh:mm:ss.mmm>".
std::optional<long> LogTime(const std::string& line) {
    const size_t open = line.find("><");
    if (open == std::string::npos) return std::nullopt;
    const size_t time = line.find("><", open + 2);
    if (time == std::string::npos || line.size() < time + 2 + 23) return std::nullopt;
    int hour = 0, minute = 0, second = 0, ms = 0;
    if (std::sscanf(line.c_str() + time + 2 + 11, "%2d:%2d:%2d.%3d", &hour, &minute, &second, &ms) != 4) {
        return std::nullopt;
    }
    return ((hour * 60L + minute) * 60L + second) * 1000L + ms;
}

// The log times of the last lines that contain each marker.
struct Phases {
    std::optional<long> start, partsDone, joined, fileComplete, end;
};

Phases ReadPhases(const std::string& logFile) {
    Phases phases;
    std::ifstream in(logFile);
    std::string line;
    while (std::getline(in, line)) {
        const auto at = LogTime(line);
        if (!at) continue;
        if (line.find("bench start") != std::string::npos) phases.start = at;
        if (line.find("curl_easy_cleanup") != std::string::npos) phases.partsDone = at;
        if (line.find("partPath::") != std::string::npos) phases.joined = at;
        if (line.find("end download") != std::string::npos) phases.fileComplete = at;
        if (line.find("bench end") != std::string::npos) phases.end = at;
    }
    return phases;
}

std::unique_ptr<CDownloader> MakeDownloader(int type, ProgressCallback callback, const std::wstring& url,
                                            const std::wstring& path) {
    switch (type) {
        case 2: return std::make_unique<CWinDownloader>(std::move(callback), url, path);
        case 3: return std::make_unique<CMTCurlDownloader>(std::move(callback), url, path);
        default: return std::make_unique<CCurlDownloader>(std::move(callback), url, path);
    }
}

int Fetch(int type, const std::string& url, const std::string& path) {
    char logName[] = "/tmp/brim-bench-log-XXXXXX";
    const int logFd = ::mkstemp(logName);
    ::dup2(logFd, STDERR_FILENO);
    ::close(logFd);

    std::mutex mutex;
    std::condition_variable ended;
    std::optional<int> finalCode;
    CDownloader* running = nullptr;
    auto callback = [&](int code, double value, const wchar_t*) {
        if (code == DL_CODE_RETRY) {
            running->Start();
            return;
        }
        if (code != DL_CODE_SUCCESS && code != DL_CODE_FAIL) return;
        LOG_DEBUG_LINE(L"bench end %d %f", code, value);
        std::lock_guard<std::mutex> lock(mutex);
        finalCode = code;
        ended.notify_all();
    };

    const auto start = Clock::now();
    bool ok = false;
    {
        auto downloader = MakeDownloader(type, callback, platform::Utf8ToWide(url), platform::Utf8ToWide(path));
        running = downloader.get();
        LOG_DEBUG_LINE(L"bench start");
        downloader->Start();
        std::unique_lock<std::mutex> lock(mutex);
        ended.wait_for(lock, std::chrono::minutes(10), [&] { return finalCode.has_value(); });
        ok = finalCode == DL_CODE_SUCCESS;
    }
    const double wall = Seconds(Clock::now() - start);
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);

    const Phases phases = ReadPhases(logName);
    ::unlink(logName);
    PrintUsage(ok, wall, usage);
    auto span = [](const std::optional<long>& from, const std::optional<long>& to) {
        return from && to ? static_cast<double>(*to - *from) / 1000.0 : -1.0;
    };
    // The file is complete: the single stream renames its part file ("end
    // download"); the parts have all ended (the last "curl_easy_cleanup")
    // and been appended ("partPath::", absent with a single part).
    if (type == 3) {
        const auto joined = phases.joined ? phases.joined : phases.partsDone;
        std::printf(" transfer=%.3f join=%.3f digest=%.3f", span(phases.start, phases.partsDone),
                    span(phases.partsDone, joined), span(joined, phases.end));
    } else if (type == 1) {
        std::printf(" transfer=%.3f join=0.000 digest=%.3f", span(phases.start, phases.fileComplete),
                    span(phases.fileComplete, phases.end));
    } else {
        std::printf(" transfer=%.3f join=0.000 digest=0.000", span(phases.start, phases.end));
    }
    std::printf("\n");
    return ok ? 0 : 1;
}

int Md5(const std::string& path) {
    const auto start = Clock::now();
    const std::string digest = GetFileMd5(path);
    const double wall = Seconds(Clock::now() - start);
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    PrintUsage(!digest.empty(), wall, usage);
    std::printf(" md5=%s\n", digest.c_str());
    return digest.empty() ? 1 : 0;
}

int Exec(char** argv) {
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Our one line is the output; the child's own goes nowhere.
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::execvp(argv[0], argv);
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid) return 1;
    const bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    PrintUsage(ok, Seconds(Clock::now() - start), usage);
    std::printf("\n");
    return ok ? 0 : 1;
}

int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 1;
    }
    ::close(fd);
    std::printf("%d\n", ntohs(address.sin_port));
    return 0;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: bench-download fetch TYPE URL PATH | md5 PATH | exec PROGRAM [ARGS...] | free-port\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    platform::InitProcess();
    if (argc < 2) return Usage();
    const std::string mode = argv[1];
    if (mode == "free-port") return FreePort();
    if (mode == "exec" && argc >= 3) return Exec(argv + 2);
    if (mode == "md5" && argc == 3) return Md5(argv[2]);
    if (mode == "fetch" && argc == 5) {
        if (curl_global_init(CURL_GLOBAL_ALL) != CURLE_OK) return 1;
        const int result = Fetch(std::atoi(argv[2]), argv[3], argv[4]);
        curl_global_cleanup();
        return result;
    }
    return Usage();
}
