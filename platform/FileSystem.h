// Small file-system queries and actions on wide paths (converted to the
// locale's character set). Safe on any thread.
#pragma once
#include <string>

namespace platform {

inline constexpr wchar_t kPathSeparator = L'/';

bool PathExists(const std::wstring& path);
bool DeleteFile(const std::wstring& path);
// The folder part of a path (without trailing separator); empty if none.
std::wstring ParentFolder(const std::wstring& path);

}  // namespace platform
