// Names the calling thread for debuggers and /proc (at most 15 bytes are
// kept; a longer name is cut). Call on the thread being named.
#pragma once
#include <string>

namespace platform {

void NameCurrentThread(const std::string& name);

}  // namespace platform
