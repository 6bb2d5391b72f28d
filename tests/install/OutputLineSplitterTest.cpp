#include "install/OutputLineSplitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct SplitCase {
    const char* name;
    std::vector<std::string> reads;
    std::vector<std::string> lines;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }

class OutputLineSplitterCases : public ::testing::TestWithParam<SplitCase> {};

TEST_P(OutputLineSplitterCases, HandsOverWholeLines) {
    OutputLineSplitter splitter;
    std::vector<std::string> lines;
    const auto collect = [&](std::string_view line) { lines.emplace_back(line); };
    for (const std::string& read : GetParam().reads) splitter.Feed(read, collect);
    splitter.Finish(collect);
    EXPECT_EQ(lines, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Table, OutputLineSplitterCases,
    ::testing::Values(
        SplitCase{"one line", {"Progress=0.5\n"}, {"Progress=0.5"}},
        SplitCase{"carriage return stays", {"State=Success\r\n"}, {"State=Success\r"}},
        SplitCase{"several in one read", {"a\nb\nc\n"}, {"a", "b", "c"}},
        SplitCase{"no empty last line", {"a\n"}, {"a"}},
        SplitCase{"empty lines kept", {"a\n\nb\n"}, {"a", "", "b"}},
        SplitCase{"split across reads", {"State=Fa", "il\n"}, {"State=Fail"}},
        SplitCase{"split in many reads", {"Er", "ror", "=x", "\nMes", "sage=y\n"}, {"Error=x", "Message=y"}},
        SplitCase{"multi-byte character split", {"Message=\xE4\xBD", "\xA0\n"}, {"Message=\xE4\xBD\xA0"}},
        SplitCase{"last piece without line feed", {"a\nState=Fail"}, {"a", "State=Fail"}},
        SplitCase{"nothing", {}, {}},
        SplitCase{"overlong line is cut", {std::string(9000, 'x') + "\nnext\n"},
                  {std::string(OutputLineSplitter::kMaxLineBytes, 'x'), "next"}},
        SplitCase{"overlong across reads", {std::string(5000, 'y'), std::string(5000, 'y') + "\nz"},
                  {std::string(OutputLineSplitter::kMaxLineBytes, 'y'), "z"}}));

}  // namespace
