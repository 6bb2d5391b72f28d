// The read loop that both runners share: reads a started child's standard
// output until it ends, hands every line (whole, see OutputLineSplitter) to
// the handler, and reaps the child.
//
// - Output is read as it comes; between reads the child's exit is checked
//   at least every 100 ms (kPass).
// - The loop ends only once the child has ended: after its end, what is
//   left in the pipe is still read and parsed (to its end, EOF), so the last
//   lines are never lost. A grandchild that inherited the output and holds
//   it open can't hold the run: after the child's end the loop stops at the
//   first 100 ms without output, and in any case kDrainAfterEnd after it.
// - When the handler returns false (a final line), later lines are no
//   longer handed over, but the output is still drained until the child
//   ends, so a talkative child can never block on a full pipe.
// - A last piece without line feed is handed over at the end.
// Runs on the caller's thread (a runner's worker); the handler runs there.
#pragma once
#include <chrono>
#include <functional>
#include <string_view>

#include "utils/ChildProcess.h"

inline constexpr std::chrono::milliseconds kPass{100};
inline constexpr std::chrono::milliseconds kDrainAfterEnd{2000};

// Returns the child's exit code (which the runners don't judge by).
int ReadChildOutput(Utils::ChildProcess& child, const std::function<bool(std::string_view line)>& onLine);
