// Cryptographically strong random bytes from the kernel (getrandom).
// Stateless; any thread.
#pragma once
#include <cstddef>

namespace platform {

// Fills all `size` bytes; false when the kernel can't supply them.
bool FillRandom(void* buffer, size_t size);

}  // namespace platform
