#include "utils/FindProcess.h"

#include "platform/ProcessList.h"

namespace Utils {

uint32_t FindProcess(const std::wstring& executableName) {
    return static_cast<uint32_t>(platform::FindProcessByName(executableName));
}

}  // namespace Utils
