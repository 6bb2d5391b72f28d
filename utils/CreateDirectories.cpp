#include "utils/CreateDirectories.h"

#include "platform/FileSystem.h"
#include "platform/Folders.h"

namespace Utils {

namespace {

bool EnsureFolder(const std::wstring& path) { return platform::FolderExists(path) || platform::MakeFolder(path); }

}  // namespace

int CreateDirectories(const std::wstring& path) {
    if (path.empty() || !platform::PathFitsLimit(path)) return 0;
    for (size_t at = path.find(platform::kPathSeparator); at != std::wstring::npos;
         at = path.find(platform::kPathSeparator, at + 1)) {
        if (!EnsureFolder(path.substr(0, at + 1))) return 0;
    }
    if (path.back() != platform::kPathSeparator && !EnsureFolder(path)) return 0;
    return 1;
}

}  // namespace Utils
