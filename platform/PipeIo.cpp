#include "platform/PipeIo.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace platform {

bool OpenPipe(Descriptor& readEnd, Descriptor& writeEnd) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        readEnd = writeEnd = kNoDescriptor;
        return false;
    }
    readEnd = fds[0];
    writeEnd = fds[1];
    return true;
}

void CloseDescriptor(Descriptor& fd) {
    if (fd == kNoDescriptor) return;
    // Linux releases the descriptor even when close reports EINTR: never retry.
    ::close(fd);
    fd = kNoDescriptor;
}

ReadOutcome ReadDescriptor(Descriptor fd, char* buffer, size_t capacity) {
    for (;;) {
        const ssize_t n = ::read(fd, buffer, capacity);
        if (n > 0) return {ReadStatus::Data, static_cast<size_t>(n)};
        if (n == 0) return {ReadStatus::End, 0};
        if (errno != EINTR) return {ReadStatus::Failed, 0};
    }
}

bool WaitReadable(const Descriptor* fds, bool* ready, size_t count, std::chrono::milliseconds timeout) {
    std::vector<pollfd> polls;
    std::vector<size_t> index;
    for (size_t i = 0; i < count; ++i) {
        ready[i] = false;
        if (fds[i] == kNoDescriptor) continue;
        polls.push_back({fds[i], POLLIN, 0});
        index.push_back(i);
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        const int ms = left.count() > 0 ? static_cast<int>(left.count()) : 0;
        const int n = ::poll(polls.data(), polls.size(), ms);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        for (size_t k = 0; k < polls.size(); ++k)
            if (polls[k].revents != 0) ready[index[k]] = true;
        return true;
    }
}

}  // namespace platform
