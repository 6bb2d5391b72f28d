#include "platform/ThreadName.h"

#include <pthread.h>

namespace platform {

void NameCurrentThread(const std::string& name) {
    ::pthread_setname_np(::pthread_self(), name.substr(0, 15).c_str());
}

}  // namespace platform
