// The machine-wide walk over running processes (/proc).
// A process matches a name when the base name of its executable
// (/proc/PID/exe, a trailing " (deleted)" ignored) or of its argv[0] equals
// the name exactly (case-sensitive). A process that has ended but is not yet
// reaped (zombie) is not running and never matches. Stateless; any thread.
#pragma once
#include <string>

#include "platform/ChildSpawn.h"

namespace platform {

// The first matching process id in the walk, or 0 when none matches or
// /proc can't be read.
ProcessId FindProcessByName(const std::wstring& executableName);

}  // namespace platform
