#include "platform/PrivateFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/TextCodec.h"

namespace platform {

bool EnsurePrivateFolder(const std::string& path) {
    if (path.empty()) return false;
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 07777) == 0700;
}

std::string UserRuntimeFolder() {
    if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg != nullptr && *xdg == '/') {
        struct stat st {};
        // The session manager made it; it need only be ours and not a link.
        if (::lstat(xdg, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
            (st.st_mode & 0077) == 0)
            return xdg;
    }
    const std::string fallback = "/tmp/brimvale-" + std::to_string(::geteuid());
    return EnsurePrivateFolder(fallback) ? fallback : std::string();
}

std::wstring UserTempFolder() {
    const std::string folder = UserRuntimeFolder();
    if (folder.empty()) return {};
    return FromNative(folder + "/");
}

}  // namespace platform
