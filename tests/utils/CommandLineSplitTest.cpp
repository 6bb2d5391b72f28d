#include "platform/CommandLineSplit.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>


namespace {

struct SplitCase {
    const char* name;
    const wchar_t* line;
    std::vector<std::wstring> args;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }

class CommandLineSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(CommandLineSplit, GivesTheArgumentsTheShellRulesGive) {
    EXPECT_EQ(platform::SplitCommandLine(GetParam().line), GetParam().args);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommandLineSplit,
    ::testing::Values(
        SplitCase{"empty", L"", {}},
        SplitCase{"program only", L"prog", {L"prog"}},
        SplitCase{"blanks and tabs", L"prog a  b\tc", {L"prog", L"a", L"b", L"c"}},
        SplitCase{"trailing blanks", L"prog a b  ", {L"prog", L"a", L"b"}},
        // the program: a quote runs to the next quote, backslashes are plain
        SplitCase{"quoted program with blank", L"\"/dir with blank/p.exe\" /S", {L"/dir with blank/p.exe", L"/S"}},
        SplitCase{"quoted program keeps backslash", L"\"C:\\a b\\\" x", {L"C:\\a b\\", L"x"}},
        SplitCase{"text after quoted program", L"\"prog\"rest more", {L"prog", L"rest", L"more"}},
        SplitCase{"unquoted program with backslashes", L"C:\\p\\x.exe a", {L"C:\\p\\x.exe", L"a"}},
        // quotes group blanks and may sit inside an argument
        SplitCase{"quoted part inside argument", L"p -instdir=\"/a b/c\" /D=/a b/c", {L"p", L"-instdir=/a b/c", L"/D=/a", L"b/c"}},
        SplitCase{"quoted value", L"p -inslang=\"zh-CN\"", {L"p", L"-inslang=zh-CN"}},
        SplitCase{"empty quoted argument", L"p \"\" x", {L"p", L"", L"x"}},
        SplitCase{"unclosed quote", L"p \"unclosed blank", {L"p", L"unclosed blank"}},
        // backslashes before quotes
        SplitCase{"backslashes alone", L"p a\\\\b", {L"p", L"a\\\\b"}},
        SplitCase{"escaped quote", L"p a\\\"b", {L"p", L"a\"b"}},
        SplitCase{"even backslashes then quote", L"p a\\\\\"b c\"", {L"p", L"a\\b c"}},
        SplitCase{"odd backslashes then quote", L"p a\\\\\\\"b", {L"p", L"a\\\"b"}},
        SplitCase{"backslash before closing quote", L"p \"a\\\\\" b", {L"p", L"a\\", L"b"}},
        // a doubled quote inside quotes is literal and ends the quoted part
        SplitCase{"doubled quote inside quotes", L"p \"a\"\"b c\"", {L"p", L"a\"b", L"c"}},
        SplitCase{"tripled quote", L"p \"\"\"a\"", {L"p", L"\"a"}},
        SplitCase{"uninstaller folder", L"p _?=/opt/brimvale", {L"p", L"_?=/opt/brimvale"}}));

}  // namespace
