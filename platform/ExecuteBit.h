// Making a downloaded program runnable: a file fetched over the network has
// no execute bit, which the system needs before it will start it.
// Stateless; any thread.
#pragma once
#include <string>

namespace platform {

// Adds the owner's execute bit to the file's mode (other bits unchanged);
// false when the file can't be found or changed.
bool AddOwnerExecuteBit(const std::wstring& path);

}  // namespace platform
