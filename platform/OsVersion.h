// What the operating system says about its version. On Windows the numbers
// come from the kernel; here the family is "Linux" and the release is the
// kernel's release text. Stateless; any thread.
#pragma once
#include <string>

namespace platform {

struct OsVersionInfo {
    std::wstring family;
    bool windowsNumbers = false;  // true when major/minor/build/serverR2 are valid
    unsigned major = 0, minor = 0, build = 0;
    bool serverR2 = false;
    std::wstring release;  // the version name when windowsNumbers is false
};

OsVersionInfo QueryOsVersion();

}  // namespace platform
