#include "platform/DiskSpace.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>

#include "platform/TextCodec.h"

namespace platform {

int QueryDiskSpace(const std::wstring& folder, DiskSpace& space) {
    std::string path = ToNative(folder);
    if (path.empty() || path[0] != '/') return ENOENT;
    for (;;) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) break;
        if (errno != ENOENT) return errno;
        // Drop the last component (and the separators before it).
        while (path.size() > 1 && path.back() == '/') path.pop_back();
        const size_t slash = path.find_last_of('/');
        if (slash == std::string::npos || path == "/") return ENOENT;
        path.resize(slash == 0 ? 1 : slash);
    }
    struct statvfs vfs {};
    if (::statvfs(path.c_str(), &vfs) != 0) return errno;
    const uint64_t unit = vfs.f_frsize != 0 ? vfs.f_frsize : vfs.f_bsize;
    space.availableToUser = static_cast<uint64_t>(vfs.f_bavail) * unit;
    space.total = static_cast<uint64_t>(vfs.f_blocks) * unit;
    space.free = static_cast<uint64_t>(vfs.f_bfree) * unit;
    return 0;
}

}  // namespace platform
