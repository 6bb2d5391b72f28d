// Facts about the running process: ids, local time, its program path and
// arguments. Safe on any thread.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct LocalTime {
    int year, month, day, hour, minute, second, milliseconds;
};

uint32_t CurrentProcessId();
uint32_t CurrentThreadId();
LocalTime CurrentLocalTime();

// The real path of the running executable; empty if it can't be read.
std::wstring ExecutablePath();

// argv decoded from the locale's character set (the shell already split it).
std::vector<std::wstring> CommandLineArguments(int argc, char** argv);

}  // namespace platform
