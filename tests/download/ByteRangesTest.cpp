// How the multi-part downloader cuts a file into ranges.
#include "download/ByteRanges.h"

#include <gtest/gtest.h>

namespace {

struct SplitCase {
    int64_t length;
    std::vector<std::string> texts;
};

class Split : public testing::TestWithParam<SplitCase> {};

TEST_P(Split, GivesTheRangeTexts) {
    std::vector<std::string> texts;
    for (const ByteRange& range : SplitIntoRanges(GetParam().length)) texts.push_back(RangeText(range.first, range.last));
    EXPECT_EQ(texts, GetParam().texts);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, Split,
    testing::Values(
        SplitCase{256, {"0-255"}},
        SplitCase{20971519, {"0-20971518"}},                          // below 20 MiB: one part
        SplitCase{20971520, {"0-10485759", "10485760-20971519"}},     // two parts of 10 MiB
        SplitCase{20971521, {"0-10485759", "10485760-20971520"}},     // the last takes the remainder
        // 64-bit offsets: 5 GiB + 1 stays two parts with exact offsets.
        SplitCase{5368709121, {"0-2684354559", "2684354560-5368709120"}}));

TEST(Split, PartsCoverTheFileWithoutGapOrOverlap) {
    for (const int64_t length : {int64_t{1}, int64_t{10485760}, int64_t{31457281}, int64_t{4294967297}}) {
        const auto ranges = SplitIntoRanges(length);
        ASSERT_FALSE(ranges.empty());
        EXPECT_EQ(ranges.front().first, 0);
        EXPECT_EQ(ranges.back().last, length - 1);
        for (size_t i = 1; i < ranges.size(); ++i) EXPECT_EQ(ranges[i].first, ranges[i - 1].last + 1);
        EXPECT_LE(ranges.size(), 2u);
    }
}

}  // namespace
