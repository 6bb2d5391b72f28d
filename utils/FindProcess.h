// Whether a program is running: the id of a running process whose
// executable file name (a bare name such as "Brimvale.exe", no folder)
// equals the given name, compared case-sensitively; 0 when there is none.
// The walk is machine-wide. Stateless; any thread.
#pragma once
#include <cstdint>
#include <string>

namespace Utils {

uint32_t FindProcess(const std::wstring& executableName);

}  // namespace Utils
