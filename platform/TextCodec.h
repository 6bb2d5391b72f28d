// Byte strings in a numbered code page <-> wide strings.
// Code page 0 is the process's narrow character set (the locale's, with the
// plain C/POSIX locale counted as UTF-8); 65001 is UTF-8; 936 is CP936;
// any other number n names the iconv set "CPn". An unknown code page gives
// an empty result. Invalid input bytes decode to U+FFFD; wide characters the
// target set cannot hold encode as '?'. Thread-safe.
#pragma once
#include <string>
#include <string_view>

namespace platform {

std::wstring DecodeBytes(std::string_view bytes, unsigned codePage);
std::string EncodeWide(std::wstring_view text, unsigned codePage);

// The iconv name of the process's narrow character set (code page 0).
std::string NarrowCharsetName();

// Paths and other texts handed to the file system, in code page 0.
std::string ToNative(std::wstring_view text);
std::wstring FromNative(std::string_view bytes);

}  // namespace platform
