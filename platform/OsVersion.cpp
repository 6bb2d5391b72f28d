#include "platform/OsVersion.h"

#include <sys/utsname.h>

#include "platform/TextCodec.h"

namespace platform {

OsVersionInfo QueryOsVersion() {
    OsVersionInfo info;
    info.family = L"Linux";
    utsname names{};
    if (::uname(&names) == 0) info.release = FromNative(names.release);
    return info;
}

}  // namespace platform
