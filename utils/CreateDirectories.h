// Creates a folder chain level by level. Stateless; any thread.
#pragma once
#include <string>

namespace Utils {

// For each '/' from the left, the prefix up to and including it, then the
// whole path (unless it ends in '/'), is created when it isn't a folder yet.
// 1 when the whole chain exists as folders afterwards. 0 at the first level
// that can't be made (the levels made before stay), when a level exists but
// is not a folder, for an empty path, and for a path beyond the platform's
// limit (then nothing is touched).
int CreateDirectories(const std::wstring& path);

}  // namespace Utils
