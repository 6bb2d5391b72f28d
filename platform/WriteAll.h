// Writes a whole buffer to a descriptor, looping over short writes and
// interrupted calls. Any thread; the caller owns the descriptor.
#pragma once
#include <cstddef>

namespace platform {

// True when every byte was written; false with errno set otherwise.
bool WriteAll(int fd, const char* data, size_t size);

}  // namespace platform
