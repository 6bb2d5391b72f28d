// Reading and writing initialisation ("profile") files with the Windows
// rules: "[section]" headers and "key=value" lines, section and key names
// compared case-insensitively, names and values trimmed, one pair of
// surrounding quotes removed from a value, the first occurrence wins, lines
// starting with ';' are comments. Files may be UTF-8 (with or without BOM)
// or UTF-16LE with BOM. Texts read are cut to 259 characters.
// Writes keep every other line, the file's encoding and line ends, create a
// missing file (UTF-8, LF) or section, and replace the file atomically.
// Stateless; any thread (concurrent writers to one file: last one wins).
#pragma once
#include <string>

namespace platform {

inline constexpr size_t kProfileTextLimit = 259;

std::wstring ReadProfileString(const std::wstring& path, const std::wstring& section,
                               const std::wstring& key, const std::wstring& fallback);

// The leading decimal number of the value (optional sign), saturated to the
// range of int; an empty or non-numeric value gives 0; a missing key gives
// `fallback`.
int ReadProfileInt(const std::wstring& path, const std::wstring& section, const std::wstring& key,
                   int fallback);

bool WriteProfileString(const std::wstring& path, const std::wstring& section,
                        const std::wstring& key, const std::wstring& value);

}  // namespace platform
