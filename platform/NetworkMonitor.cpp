#include "platform/NetworkMonitor.h"

#include <gio/gio.h>

namespace platform {

Connectivity QueryConnectivity() {
    // The default monitor is a process-wide singleton owned by GIO.
    GNetworkMonitor* monitor = g_network_monitor_get_default();
    if (monitor == nullptr) return Connectivity::MonitorMissing;
    if (!g_network_monitor_get_network_available(monitor)) return Connectivity::NoNetwork;
    switch (g_network_monitor_get_connectivity(monitor)) {
        case G_NETWORK_CONNECTIVITY_FULL: return Connectivity::Full;
        case G_NETWORK_CONNECTIVITY_PORTAL: return Connectivity::Portal;
        case G_NETWORK_CONNECTIVITY_LIMITED: return Connectivity::Limited;
        case G_NETWORK_CONNECTIVITY_LOCAL: return Connectivity::Local;
    }
    return Connectivity::Local;
}

}  // namespace platform
