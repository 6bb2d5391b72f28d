#include "platform/DebugOutput.h"

#include <unistd.h>

#include <mutex>
#include <string>

#include "platform/ProcessSetup.h"
#include "platform/Utf8.h"
#include "platform/WriteAll.h"

namespace platform {

void WriteDebugOutput(std::wstring_view line) {
    IgnoreBrokenPipes();
    const std::string bytes = WideToUtf8(line);
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    WriteAll(STDERR_FILENO, bytes.data(), bytes.size());  // a failed write drops the rest
}

}  // namespace platform
