#include "platform/FileSystem.h"

#include <sys/stat.h>
#include <unistd.h>

#include "platform/TextCodec.h"

namespace platform {

bool PathExists(const std::wstring& path) {
    struct stat st {};
    return !path.empty() && ::stat(ToNative(path).c_str(), &st) == 0;
}

bool DeleteFile(const std::wstring& path) { return ::unlink(ToNative(path).c_str()) == 0; }

std::wstring ParentFolder(const std::wstring& path) {
    const size_t slash = path.find_last_of(kPathSeparator);
    if (slash == std::wstring::npos) return {};
    if (slash == 0) return L"/";
    return path.substr(0, slash);
}

}  // namespace platform
