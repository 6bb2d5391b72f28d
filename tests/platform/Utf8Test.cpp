#include "platform/Utf8.h"

#include <gtest/gtest.h>

namespace {

TEST(Utf8, EncodesAllLengthsAndReplacesSurrogates) {
    EXPECT_EQ(platform::WideToUtf8(L"a\u00E9\u56FE\U0001F600"), "a\xC3\xA9\xE5\x9B\xBE\xF0\x9F\x98\x80");
    EXPECT_EQ(platform::WideToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");
}

TEST(Utf8, DecodesAndReplacesInvalidSequences) {
    struct Case {
        std::string in;
        std::wstring out;
    } cases[] = {
        {"a\xC3\xA9\xE5\x9B\xBE\xF0\x9F\x98\x80", L"a\u00E9\u56FE\U0001F600"},
        {"\xC0\xAF", L"\uFFFD"},          // overlong
        {"\xED\xA0\x80", L"\uFFFD"},      // surrogate
        {"\xE5\x9Bx", L"\uFFFDx"},        // truncated, then ASCII
        {"\x80\x80", L"\uFFFD\uFFFD"},    // lone continuation bytes
        {"\xF4\x90\x80\x80", L"\uFFFD"},  // beyond U+10FFFF
    };
    for (const auto& c : cases) EXPECT_EQ(platform::Utf8ToWide(c.in), c.out);
}

}  // namespace
