#include "platform/ProcessInfo.h"

#include <sys/time.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <ctime>

#include "platform/TextCodec.h"

namespace platform {

uint32_t CurrentProcessId() { return static_cast<uint32_t>(::getpid()); }
uint32_t CurrentThreadId() { return static_cast<uint32_t>(::gettid()); }

LocalTime CurrentLocalTime() {
    timeval tv{};
    ::gettimeofday(&tv, nullptr);
    tm parts{};
    const time_t seconds = tv.tv_sec;
    ::localtime_r(&seconds, &parts);
    return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
            parts.tm_min, parts.tm_sec, static_cast<int>(tv.tv_usec / 1000)};
}

std::wstring ExecutablePath() {
    char buffer[PATH_MAX];
    if (::realpath("/proc/self/exe", buffer) == nullptr) return {};
    return FromNative(buffer);
}

std::vector<std::wstring> CommandLineArguments(int argc, char** argv) {
    std::vector<std::wstring> args;
    for (int i = 0; i < argc; ++i) args.push_back(FromNative(argv[i]));
    return args;
}

}  // namespace platform
