#include "platform/SingleInstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/PrivateFolder.h"
#include "platform/TextCodec.h"

namespace platform {

std::unique_ptr<SingleInstanceLock> SingleInstanceLock::TryAcquire(const std::wstring& name) {
    const std::string folder = UserRuntimeFolder();
    if (folder.empty() || name.empty() || name.find(L'/') != std::wstring::npos) return nullptr;
    const std::string path = folder + "/" + ToNative(name) + ".lock";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return nullptr;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<SingleInstanceLock>(new SingleInstanceLock(fd));
}

SingleInstanceLock::~SingleInstanceLock() { ::close(fd_); }

}  // namespace platform
