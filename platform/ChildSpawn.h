// Starting a hidden child program and learning how it ended.
// The child runs in its own process group with the parent's environment and
// current folder; its standard input, output and error are the descriptors
// given, and every other descriptor is closed in it. Signal dispositions and
// the signal mask are reset, so a child never inherits our ignored SIGPIPE.
// The caller owns the child: it must reap it (TryReapChild or ReapChild)
// exactly once it has ended. Any thread; one owner thread per child.
#pragma once
#include <string>
#include <vector>

#include "platform/PipeIo.h"

namespace platform {

using ProcessId = int;

// args[0] is the program: a path when it contains '/', otherwise looked up
// in PATH. Returns the process id, or 0 when the program can't be started
// (missing, not executable, empty argument list).
ProcessId SpawnChild(const std::vector<std::wstring>& args, Descriptor input, Descriptor output, Descriptor error);

// Without blocking: true when the child has ended (it is reaped then and
// `exitCode` is set), false while it runs. A normal exit gives its status,
// death by signal N gives 128 + N; a child that can't be waited for (already
// reaped elsewhere) counts as ended with -1.
bool TryReapChild(ProcessId pid, int& exitCode);

// A descriptor that becomes readable when the (not yet reaped) child ends,
// for waiting on the child's end together with its pipes; kNoDescriptor
// when the system can't give one (the caller then polls TryReapChild).
// The caller closes it.
Descriptor OpenExitNotifier(ProcessId pid);

// Blocks until the child has ended, reaps it and returns its code (as above).
int ReapChild(ProcessId pid);

}  // namespace platform
