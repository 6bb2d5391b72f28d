// The diagnostic sink: one complete wide line per call goes to standard
// error as UTF-8. A process-wide lock and a loop over short writes keep lines
// whole and never interleaved. Safe on any thread; never fails towards the
// caller (a write error drops the rest of the line).
#pragma once
#include <string_view>

namespace platform {

void WriteDebugOutput(std::wstring_view line);

}  // namespace platform
