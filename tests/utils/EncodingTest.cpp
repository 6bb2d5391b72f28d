#include "utils/Encoding.h"

#include <gtest/gtest.h>

namespace {

TEST(Encoding, EmptyInputGivesEmptyOutput) {
    EXPECT_EQ(Utils::MultiByteToWide("", Utils::CP_UTF8), L"");
    EXPECT_EQ(Utils::MultiByteToWide("", 936), L"");
    EXPECT_EQ(Utils::WideToMultiByte(L"", Utils::CP_UTF8), "");
    EXPECT_EQ(Utils::WideToMultiByte(L"", 0), "");
}

TEST(Encoding, UnknownCodePageGivesEmptyResult) {
    EXPECT_EQ(Utils::MultiByteToWide("abc", 12345), L"");
    EXPECT_EQ(Utils::WideToMultiByte(L"abc", 12345), "");
}

TEST(Encoding, RoundTripsChineseInUtf8AndCp936) {
    const std::wstring text = L"安装包安装失败";
    EXPECT_EQ(Utils::WideToMultiByte(text, Utils::CP_UTF8),
              "\xE5\xAE\x89\xE8\xA3\x85\xE5\x8C\x85\xE5\xAE\x89\xE8\xA3\x85\xE5\xA4\xB1\xE8\xB4\xA5");
    const std::string gbk = Utils::WideToMultiByte(text, 936);
    EXPECT_EQ(gbk.size(), 14u);  // two bytes a character
    EXPECT_EQ(gbk.substr(0, 2), "\xB0\xB2");
    EXPECT_EQ(Utils::MultiByteToWide(gbk, 936), text);
}

TEST(Encoding, InvalidBytesBecomeReplacementCharacter) {
    EXPECT_EQ(Utils::MultiByteToWide("a\xFF" "b", Utils::CP_UTF8), L"a\uFFFDb");
    EXPECT_EQ(Utils::MultiByteToWide("\xE5\xAE", Utils::CP_UTF8), L"\uFFFD");  // cut in half
    EXPECT_EQ(Utils::MultiByteToWide("x\x81", 936), L"x\uFFFD");
}

TEST(Encoding, TextAfterEmbeddedZeroIsNotConverted) {
    EXPECT_EQ(Utils::MultiByteToWide(std::string("ab\0cd", 5), Utils::CP_UTF8), L"ab");
    EXPECT_EQ(Utils::WideToMultiByte(std::wstring(L"ab\0cd", 5), Utils::CP_UTF8), "ab");
}

TEST(Encoding, SystemCodePageOfPlainCLocaleIsUtf8) {
    // The test process never sets a locale, so it runs in the C locale.
    EXPECT_EQ(Utils::WideToMultiByte(L"图", Utils::CP_ACP), "\xE5\x9B\xBE");
    EXPECT_EQ(Utils::MultiByteToWide("\xE5\x9B\xBE", Utils::CP_ACP), L"图");
}

}  // namespace
