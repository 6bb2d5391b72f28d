#include "platform/DebugOutput.h"

#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <string>

#include "platform/ProcessSetup.h"
#include "platform/Utf8.h"

namespace platform {

void WriteDebugOutput(std::wstring_view line) {
    IgnoreBrokenPipes();
    const std::string bytes = WideToUtf8(line);
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(STDERR_FILENO, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
}

}  // namespace platform
