// Folder queries and creation on wide paths, and the platform's path limit.
// Stateless; any thread.
#pragma once
#include <cstddef>
#include <string>

namespace platform {

// The longest path the system accepts, in bytes of its narrow encoding
// (PATH_MAX less the terminating zero).
size_t MaxPathBytes();
// True when `path` in the narrow encoding fits MaxPathBytes().
bool PathFitsLimit(const std::wstring& path);

// True when `path` names an existing folder (links followed).
bool FolderExists(const std::wstring& path);
// Creates one folder level with the default mode (0777 less the umask).
bool MakeFolder(const std::wstring& path);

}  // namespace platform
