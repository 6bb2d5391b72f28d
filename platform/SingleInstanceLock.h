// The single-instance guard: an exclusive advisory lock on a file named
// after the guard in the per-user runtime folder. The kernel drops the lock
// when the holder dies, so a crash never leaves the installer locked out.
// The object is owned by the entry on the main thread; the lock is held for
// the object's life. Its descriptor is close-on-exec, so child programs never
// inherit the lock.
#pragma once
#include <memory>
#include <string>

namespace platform {

class SingleInstanceLock {
public:
    // Null when another process holds the lock or the lock file can't be made.
    static std::unique_ptr<SingleInstanceLock> TryAcquire(const std::wstring& name);
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

private:
    explicit SingleInstanceLock(int fd) : fd_(fd) {}
    int fd_;
};

}  // namespace platform
