// UTF-8 <-> wide (UTF-32 on this platform) conversion done by our own code,
// independent of the process locale. Invalid input becomes U+FFFD.
// Pure functions, safe on any thread.
#pragma once
#include <string>
#include <string_view>

namespace platform {

std::string WideToUtf8(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view bytes);

}  // namespace platform
