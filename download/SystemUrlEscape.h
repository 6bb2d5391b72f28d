// The address form the system downloader hands to the system: a "file:///"
// address stays as it is; any other is taken as UTF-8 and escaped byte by
// byte: 0x21-0x7E stay (so "%", "/", "?", "&" and ":" survive and an escaped
// address is not escaped twice), the space becomes "+", every other byte
// becomes "%XX" with upper-case hexadecimal digits. Pure; any thread.
#pragma once
#include <string>

std::wstring EscapeUrlForSystemDownload(const std::wstring& url);
