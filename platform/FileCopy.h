// Copies one file to a new path. Any file already at the target is deleted
// first, so a failed copy never leaves a stale file that looks like a good
// one. The copy keeps the original's permission bits (an uninstaller stays
// runnable). Any thread.
#pragma once
#include <string>

namespace platform {

// True when the whole file was copied; on failure the target is gone.
bool CopyFileReplacing(const std::wstring& from, const std::wstring& to);

}  // namespace platform
