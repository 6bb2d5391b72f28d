#include "utils/ConsoleUserName.h"

#include <chrono>

#include "platform/ConsoleSession.h"

namespace Utils {

bool GetConsoleUserName(std::wstring& userName) {
    return platform::ActiveSeatUserName(userName, std::chrono::seconds(1));
}

}  // namespace Utils
