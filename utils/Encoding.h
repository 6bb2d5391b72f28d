// Conversions between byte strings in a code page and wide strings.
// Code pages: 0 (the system's narrow set), 65001 (UTF-8), or a number the
// platform maps (936 ...). Text after an embedded zero is not converted; a
// code page the platform doesn't know gives an empty result. Never fails
// towards the caller. Any thread.
#pragma once
#include <string>
#include <string_view>

namespace Utils {

inline constexpr unsigned CP_ACP = 0;
inline constexpr unsigned CP_UTF8 = 65001;

std::wstring MultiByteToWide(std::string_view bytes, unsigned codePage);
std::string WideToMultiByte(std::wstring_view text, unsigned codePage);

}  // namespace Utils
