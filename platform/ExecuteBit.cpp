#include "platform/ExecuteBit.h"

#include <sys/stat.h>

#include "platform/TextCodec.h"

namespace platform {

bool AddOwnerExecuteBit(const std::wstring& path) {
    const std::string native = ToNative(path);
    struct stat st {};
    if (native.empty() || ::stat(native.c_str(), &st) != 0) return false;
    if ((st.st_mode & S_IXUSR) != 0) return true;
    return ::chmod(native.c_str(), (st.st_mode & 07777) | S_IXUSR) == 0;
}

}  // namespace platform
