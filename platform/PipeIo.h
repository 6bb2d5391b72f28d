// Anonymous pipes and reads on their descriptors. Every descriptor made here
// is close-on-exec, so a child program only ever receives the ends that its
// spawn explicitly places on its standard streams. Each descriptor belongs
// to the one object that opened it; calls on distinct descriptors are safe
// on any thread.
#pragma once
#include <chrono>
#include <cstddef>

namespace platform {

using Descriptor = int;
inline constexpr Descriptor kNoDescriptor = -1;

// Opens a pipe; false (both ends left kNoDescriptor) when the system refuses.
bool OpenPipe(Descriptor& readEnd, Descriptor& writeEnd);

// Closes `fd` if it is open and sets it to kNoDescriptor.
void CloseDescriptor(Descriptor& fd);

enum class ReadStatus { Data, End, Failed };
struct ReadOutcome {
    ReadStatus status;
    size_t size;  // bytes read when status is Data
};

// One read of up to `capacity` bytes; blocks while the pipe is empty and a
// writer remains. End: every writer has closed its end.
ReadOutcome ReadDescriptor(Descriptor fd, char* buffer, size_t capacity);

// Waits until one of `fds` (kNoDescriptor entries are skipped) can be read
// without blocking, or its writers have all gone, or `timeout` has passed.
// Sets ready[i] for each such descriptor; false when none became ready.
bool WaitReadable(const Descriptor* fds, bool* ready, size_t count, std::chrono::milliseconds timeout);

}  // namespace platform
