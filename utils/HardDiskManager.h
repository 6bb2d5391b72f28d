// Free-space check of the volume that holds a folder (the folder need not
// exist yet: its nearest existing ancestor is asked). The three counters are
// zero until a check succeeds; a failed check leaves them as they were, so a
// caller that ignores the result sees no free space. Plain data; one owner
// thread.
#pragma once
#include <cstdint>
#include <string>

namespace Utils {

class HardDiskManager {
public:
    HardDiskManager() = default;
    virtual ~HardDiskManager() = default;

    // True and the counters filled; false, one log line
    // "HardDiskManager::CheckFreeSpace FAIL code=%ld" with the system error
    // code, and the counters unchanged on failure.
    bool CheckFreeSpace(const std::wstring& folder);

    // freeBytesAvailable in gigabytes of 2^30 bytes; below 1.0 is not enough.
    double FreeGigabytes() const { return static_cast<double>(freeBytesAvailable) / 1073741824.0; }

    uint64_t freeBytesAvailable = 0;  // available to this user
    uint64_t totalBytes = 0;
    uint64_t totalFreeBytes = 0;
};

}  // namespace Utils
