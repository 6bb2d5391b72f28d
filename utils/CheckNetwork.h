// The network probe. The answer is one 32-bit value: the low 16 bits are
// connectivity flags in the Windows network list manager's bit set (0x40
// internet over IPv4, 0x20 IPv4 local network, 0 none), the high 16 bits
// the verdict: 0 no problem found (internet, or no monitor to ask), 1 no
// connectivity at all, 2 some connectivity but no internet. Callers treat
// any answer above 0xFFFF as a network problem. Stateless; any thread.
#pragma once
#include <cstdint>

#include "platform/NetworkMonitor.h"

namespace Utils {

inline constexpr uint32_t kConnectivityIpv4Internet = 0x40;
inline constexpr uint32_t kConnectivityIpv4LocalNetwork = 0x20;

// The answer for what the monitor reports (pure).
uint32_t NetworkAnswerFor(platform::Connectivity connectivity);

// Asks the system's network monitor. Logs "GetConnectivity %d" when there is
// no connectivity and "get_IsConnectedToInternet:%d" when there is some but
// no internet.
uint32_t CheckNetwork();

}  // namespace Utils
