#include "utils/HardDiskManager.h"

#include "platform/DiskSpace.h"
#include "utils/Log.h"

namespace Utils {

bool HardDiskManager::CheckFreeSpace(const std::wstring& folder) {
    platform::DiskSpace space;
    const int error = platform::QueryDiskSpace(folder, space);
    if (error != 0) {
        LOG_DEBUG(L"HardDiskManager::CheckFreeSpace FAIL code=%ld\r\n", static_cast<long>(error));
        return false;
    }
    freeBytesAvailable = space.availableToUser;
    totalBytes = space.total;
    totalFreeBytes = space.free;
    return true;
}

}  // namespace Utils
