// Process-wide set-up that the entry points run first thing in main, on the
// main thread, before any other thread exists.
#pragma once

namespace platform {

// Takes the character set for text from the environment's locale (LC_CTYPE
// only: numbers keep the point as decimal separator) and ignores SIGPIPE.
void InitProcess();

// Ignores SIGPIPE once for the process, so that a closed stderr or a child's
// closed pipe gives EPIPE instead of killing us. Idempotent.
void IgnoreBrokenPipes();

}  // namespace platform
