// Free and total space of the volume that holds a folder. The folder need
// not exist yet: the nearest existing ancestor is asked (statvfs), so an
// install folder can be checked before it is created. Stateless; any thread.
#pragma once
#include <cstdint>
#include <string>

namespace platform {

struct DiskSpace {
    uint64_t availableToUser = 0;  // what an unprivileged user may still use
    uint64_t total = 0;
    uint64_t free = 0;  // including the blocks reserved for root
};

// 0 and `space` filled on success; otherwise the system error code (errno)
// and `space` untouched. An empty or relative path gives ENOENT, as does
// one whose walk up meets no existing folder; an ancestor that can't be
// looked up for another reason (ENOTDIR: a file where a folder must be,
// EACCES, ELOOP) gives that code.
int QueryDiskSpace(const std::wstring& folder, DiskSpace& space);

}  // namespace platform
