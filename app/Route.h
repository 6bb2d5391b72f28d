// Route substitution: every "${ROUTE}" in a download address becomes the
// route name of the package build for this system ("download_silent_xp" on
// an XP version, else "download_silent"). Stateless; any thread.
#pragma once
#include <string>

// With the running system's version name.
std::wstring ApplyRoute(const std::wstring& url);
// With a given version name (for callers that already know it).
std::wstring ApplyRoute(const std::wstring& url, const std::wstring& versionName);
