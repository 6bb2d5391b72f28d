// The digest check of a downloaded package: the MD5 of a file as text, and
// the expected MD5 that the package's address carries as the path segment
// before the file name (".../0123456789abcdef0123456789abcdef/pkg.exe").
// Both are pure functions: no state, any thread, never fail towards the
// caller (every failure gives an empty text).
#pragma once
#include <string>
#include <string_view>

// 32 lower-case hex digits ("%02x" per digest byte) of the file's content, or
// an empty text when the path is empty or the file can't be read. `path` is
// in the locale's encoding (platform::ToNative).
std::string GetFileMd5(const std::string& path);

// The text between the last two '/' of `url` (neither its length nor its
// digits are checked), or an empty text when there are not two '/'.
std::string GetUrlMd5(std::string_view url);
