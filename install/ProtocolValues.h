// Reading the values of the children's "Key=value" output lines. Pure
// functions; any thread.
#pragma once
#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace protocol {

// Texts travel in a buffer of 772 wide characters: at most 771 of text.
inline constexpr size_t kTextLimit = 771;

// The rest of `line` when it starts with `key` ("=" included), compared
// case-sensitively; nothing otherwise.
std::optional<std::wstring_view> ValueAfter(std::wstring_view line, std::wstring_view key);

// A text value as events carry it: unchanged (a carriage return stays),
// cut to kTextLimit characters.
std::wstring TextValue(std::wstring_view value);

// A value as it is compared (State, StartupStyle, Encode): cut like a text,
// then trimmed of white space (space, tab, CR, LF, VT, FF) at both ends.
std::wstring_view ComparedValue(std::wstring_view value);

// Without white space (space, tab, CR, LF, VT, FF) at both ends.
std::wstring_view Trimmed(std::wstring_view value);

// The leading floating-point number (after white space), 0.0 if none.
double NumberValue(std::wstring_view value);

// The leading decimal integer (after white space), 0 if none; values beyond
// 32 bits are clamped to the nearest 32-bit value.
int IntegerValue(std::wstring_view value);

// "%d.%d.%d": stores as many of the three numbers as the value holds, in
// order, and leaves the others as they were.
void ReadVersion(std::wstring_view value, std::array<int, 3>& version);

// The leading decimal number as a code page, 0 if there is none or it
// doesn't fit 32 bits.
int CodePageNumber(std::wstring_view value);

}  // namespace protocol
