// A new random device identifier: a random (version 4) GUID written as 32
// hexadecimal digits without braces or dashes, "%08X%04X%04x" and then the
// last eight bytes as "%02X" each; the third group is the only one in lower
// case. Stateless; any thread.
#pragma once
#include <string>

namespace Utils {

// Empty only when the system can't supply random bytes.
std::wstring NewDeviceId();

}  // namespace Utils
