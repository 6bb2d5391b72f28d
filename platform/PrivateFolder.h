// Folders that only the current user can write. The installer runs programs
// from its temporary folder with its own rights, so a folder that another
// user could swap or fill is refused rather than used.
#pragma once
#include <string>

namespace platform {

// Creates `path` with mode 0700 if it is missing, then checks it (lstat): a
// real folder, not a link, owned by the effective user, mode exactly 0700.
// Returns false, touching nothing else, when the check fails.
bool EnsurePrivateFolder(const std::string& path);

// The per-user temporary folder, with a trailing '/': $XDG_RUNTIME_DIR when
// set and usable, else /tmp/brimvale-UID made private. Empty when neither
// passes the check.
std::wstring UserTempFolder();

// The folder for per-user runtime files such as locks (same rule).
std::string UserRuntimeFolder();

}  // namespace platform
