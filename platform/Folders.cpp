#include "platform/Folders.h"

#include <limits.h>
#include <sys/stat.h>

#include "platform/TextCodec.h"

namespace platform {

size_t MaxPathBytes() { return PATH_MAX - 1; }

bool PathFitsLimit(const std::wstring& path) { return ToNative(path).size() <= MaxPathBytes(); }

bool FolderExists(const std::wstring& path) {
    struct stat st {};
    return !path.empty() && ::stat(ToNative(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeFolder(const std::wstring& path) { return ::mkdir(ToNative(path).c_str(), 0777) == 0; }

}  // namespace platform
