// The name of the operating system's version, as the route substitution of
// the settings needs it ("XP" selects the XP package build). Stateless; any
// thread.
#pragma once
#include <string>

namespace Utils {

struct OSVersionName {
    std::wstring family;   // "Windows", or "Linux" here
    std::wstring version;  // "XP", "7", "10+", ... or the kernel release
};

// The Windows naming table for (major, minor, build, SM_SERVERR2 metric).
// Only the low 16 bits of the build count.
std::wstring WindowsVersionName(unsigned major, unsigned minor, unsigned build, bool serverR2);

OSVersionName GetOSVersionName();

}  // namespace Utils
