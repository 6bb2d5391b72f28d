// Which answers to a ranged GET may be written into a part file.
#include "download/RangeAnswerCheck.h"

#include <gtest/gtest.h>


namespace {

struct AnswerCase {
    const char* name;
    int64_t first, last, total;
    std::vector<std::string> lines;  // header lines as libcurl hands them over
    bool accepted;
};

class Answers : public testing::TestWithParam<AnswerCase> {};

TEST_P(Answers, AreJudgedAtTheEndOfTheFinalHeaders) {
    const AnswerCase& c = GetParam();
    RangeAnswerCheck check(c.first, c.last, c.total);
    bool going = true;
    for (const auto& line : c.lines) going = check.OnHeaderLine(line + "\r\n") && going;
    EXPECT_EQ(going, c.accepted);
    EXPECT_EQ(check.Refused(), !c.accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Answers,
    testing::Values(
        AnswerCase{"exact_206", 100, 199, 1000,
                   {"HTTP/1.1 206 Partial Content", "Content-Range: bytes 100-199/1000", "Content-Length: 100", ""},
                   true},
        AnswerCase{"header_names_in_any_case", 100, 199, 1000,
                   {"HTTP/1.1 206 Partial Content", "content-range: bytes 100-199/1000", ""}, true},
        AnswerCase{"unknown_total", 100, 199, 1000, {"HTTP/1.1 206 Partial Content", "Content-Range: bytes 100-199/*", ""},
                   true},
        AnswerCase{"range_ignored_200", 100, 199, 1000, {"HTTP/1.1 200 OK", "Content-Length: 1000", ""}, false},
        AnswerCase{"wrong_start", 100, 199, 1000, {"HTTP/1.1 206 Partial Content", "Content-Range: bytes 0-99/1000", ""},
                   false},
        AnswerCase{"shorter_range", 100, 199, 1000,
                   {"HTTP/1.1 206 Partial Content", "Content-Range: bytes 100-149/1000", ""}, false},
        AnswerCase{"other_total", 100, 199, 1000,
                   {"HTTP/1.1 206 Partial Content", "Content-Range: bytes 100-199/2000", ""}, false},
        AnswerCase{"no_content_range", 100, 199, 1000, {"HTTP/1.1 206 Partial Content", ""}, false},
        AnswerCase{"length_disagrees", 100, 199, 1000,
                   {"HTTP/1.1 206 Partial Content", "Content-Range: bytes 100-199/1000", "Content-Length: 50", ""},
                   false},
        AnswerCase{"whole_file_200", 0, 999, 1000, {"HTTP/1.1 200 OK", "Content-Length: 1000", ""}, true},
        AnswerCase{"whole_file_200_without_length", 0, 999, 1000, {"HTTP/1.1 200 OK", ""}, true},
        AnswerCase{"whole_file_200_other_length", 0, 999, 1000, {"HTTP/1.1 200 OK", "Content-Length: 999", ""}, false},
        AnswerCase{"first_part_200", 0, 499, 1000, {"HTTP/1.1 200 OK", "Content-Length: 1000", ""}, false},
        AnswerCase{"redirect_then_206", 100, 199, 1000,
                   {"HTTP/1.1 302 Found", "Location: /b", "Content-Length: 0", "", "HTTP/1.1 206 Partial Content",
                    "Content-Range: bytes 100-199/1000", ""},
                   true},
        AnswerCase{"redirect_then_200", 100, 199, 1000,
                   {"HTTP/1.1 302 Found", "Location: /b", "", "HTTP/1.1 200 OK", ""}, false},
        AnswerCase{"redirect_without_location", 0, 999, 1000, {"HTTP/1.1 302 Found", ""}, false},
        AnswerCase{"interim_then_206", 100, 199, 1000,
                   {"HTTP/1.1 100 Continue", "", "HTTP/1.1 206 Partial Content", "Content-Range: bytes 100-199/1000", ""},
                   true},
        AnswerCase{"error_left_to_libcurl", 100, 199, 1000, {"HTTP/1.1 404 Not Found", "Content-Length: 10", ""}, true},
        AnswerCase{"no_content_204", 0, 999, 1000, {"HTTP/1.1 204 No Content", ""}, false},
        AnswerCase{"http2_status_line", 100, 199, 1000, {"HTTP/2 206", "content-range: bytes 100-199/1000", ""}, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
