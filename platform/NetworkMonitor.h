// What the system's network monitor (GIO's GNetworkMonitor) says about the
// machine's connectivity. Blocking but short (the first call loads the
// monitor); any thread.
#pragma once

namespace platform {

enum class Connectivity {
    MonitorMissing,  // no monitor could be loaded
    NoNetwork,       // the monitor sees no usable network at all
    Local,           // a network without a route beyond it
    Limited,         // a route out, but the internet isn't reachable
    Portal,          // a captive portal stands between us and the internet
    Full,            // the internet is reachable
};

Connectivity QueryConnectivity();

}  // namespace platform
