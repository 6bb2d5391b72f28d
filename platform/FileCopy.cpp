#include "platform/FileCopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/TextCodec.h"
#include "platform/WriteAll.h"

namespace platform {

namespace {

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

}  // namespace

bool CopyFileReplacing(const std::wstring& from, const std::wstring& to) {
    const std::string source = ToNative(from);
    const std::string target = ToNative(to);
    ::unlink(target.c_str());
    Fd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (in.get() < 0 || ::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    Fd out(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, st.st_mode & 0777));
    if (out.get() < 0) return false;
    char buffer[64 * 1024];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(in.get(), buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        if (!WriteAll(out.get(), buffer, static_cast<size_t>(n))) {
            ok = false;
            break;
        }
    }
    // The mode given to open() is masked by the umask; restore the original's.
    if (ok && ::fchmod(out.get(), st.st_mode & 0777) != 0) ok = false;
    if (::close(out.release()) != 0) ok = false;
    if (!ok) ::unlink(target.c_str());
    return ok;
}

}  // namespace platform
