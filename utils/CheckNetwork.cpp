#include "utils/CheckNetwork.h"

#include "utils/Log.h"

namespace Utils {

uint32_t NetworkAnswerFor(platform::Connectivity connectivity) {
    using platform::Connectivity;
    switch (connectivity) {
        case Connectivity::MonitorMissing: return 0;
        case Connectivity::Full: return kConnectivityIpv4Internet;
        case Connectivity::Limited:
        case Connectivity::Portal: return (2u << 16) | kConnectivityIpv4LocalNetwork;
        case Connectivity::NoNetwork:
        case Connectivity::Local: break;
    }
    return 1u << 16;
}

uint32_t CheckNetwork() {
    const platform::Connectivity connectivity = platform::QueryConnectivity();
    const uint32_t answer = NetworkAnswerFor(connectivity);
    const int flags = static_cast<int>(answer & 0xFFFF);
    if (answer >> 16 == 1) LOG_DEBUG(L"GetConnectivity %d", flags);
    if (answer >> 16 == 2) LOG_DEBUG(L"get_IsConnectedToInternet:%d", 0);
    return answer;
}

}  // namespace Utils
