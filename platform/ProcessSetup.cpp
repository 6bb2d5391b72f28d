#include "platform/ProcessSetup.h"

#include <clocale>
#include <csignal>
#include <mutex>

namespace platform {

void IgnoreBrokenPipes() {
    static std::once_flag once;
    std::call_once(once, [] { std::signal(SIGPIPE, SIG_IGN); });
}

void InitProcess() {
    std::setlocale(LC_CTYPE, "");
    IgnoreBrokenPipes();
}

}  // namespace platform
