// The user of the active session on the machine's first seat ("seat0"), as
// the login manager (systemd-logind) reports it on the system D-Bus.
// Blocks the calling thread for at most about `timeout` (connecting and each
// question share it), so a system bus without logind, or one that doesn't
// answer, never stalls the caller for the D-Bus default of 25 s. Uses a
// private bus connection, closed before returning. Any thread.
#pragma once
#include <chrono>
#include <string>

namespace platform {

// True and `name` set when seat0 has an active session; false, `name`
// untouched, when there is no system bus, no logind, no active session or
// no answer in time.
bool ActiveSeatUserName(std::wstring& name, std::chrono::milliseconds timeout);

}  // namespace platform
