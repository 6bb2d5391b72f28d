// The event sequences of both libcurl downloaders, built through the
// factory as the coordinator builds them, with DL_CODE_RETRY answered by
// Start from inside the event.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <thread>

#include "download/DownloaderFactory.h"
#include "platform/Utf8.h"
#include "tests/download/DownloadFixtures.h"
#include "tests/download/LogLines.h"
#include "tests/support/EventRecorder.h"
#include "tests/support/StderrCapture.h"

namespace {

using namespace std::chrono_literals;
using testsupport::CountLogLines;
using testsupport::EventRecorder;
using testsupport::GetRanges;
using testsupport::MakeResource;
using testsupport::PatternBody;
using testsupport::ReadFile;
using testsupport::Resource;
using testsupport::TempDir;
using testsupport::TestHttpServer;

enum class Segment { Matching, Missing, Wrong, UpperCase };

struct LogLine {
    std::string function;
    std::string message;
};

struct SequenceCase {
    const char* name;
    int downloadType;
    Segment segment;
    std::vector<int> codes;
    std::vector<std::wstring> md5Texts;  // texts of the DL_CODE_MD5 events, in order
    bool destinationHoldsBody;
    std::vector<LogLine> logLines;  // each written exactly once
};
void PrintTo(const SequenceCase& c, std::ostream* os) { *os << c.name; }

class Sequences : public testing::Test, public testing::WithParamInterface<SequenceCase> {};

TEST_P(Sequences, FollowTheEventRules) {
    const SequenceCase& c = GetParam();
    TestHttpServer server;
    TempDir dir;
    const std::string body = PatternBody(1048576, 21);
    std::string md5 = testsupport::Md5Of(body);
    if (c.segment == Segment::Wrong) md5 = testsupport::Md5Of("other content");
    if (c.segment == Segment::UpperCase) std::transform(md5.begin(), md5.end(), md5.begin(), ::toupper);
    const std::string path = c.segment == Segment::Missing ? "/files/pkg.exe" : "/files/" + md5 + "/pkg.exe";
    server.Serve(path, MakeResource(body));

    EventRecorder events;
    testsupport::StderrCapture capture;
    auto downloader = CreateDownloader(c.downloadType, events.Callback(), platform::Utf8ToWide(server.Url(path)),
                                       dir.WFile("pkg.exe"));
    events.OnCode(DL_CODE_RETRY, [&downloader] { downloader->Start(); });
    downloader->Start();
    ASSERT_TRUE(events.WaitForEnd(60s));
    downloader.reset();  // joins every thread: nothing can come later

    EXPECT_EQ(events.Codes(), c.codes);
    std::vector<std::wstring> md5Texts;
    for (const auto& event : events.Events()) {
        EXPECT_FALSE(event.code == DL_CODE_PROGRESS && (event.value < 0.0 || event.value > 1.0)) << event.value;
        if (event.code == DL_CODE_START) {
            EXPECT_EQ(event.value, 1.0);
        }
        if (event.code == DL_CODE_MD5) {
            md5Texts.push_back(event.text);
            EXPECT_EQ(event.value, 0.0);
        }
        if (event.code == DL_CODE_SUCCESS || event.code == DL_CODE_FAIL || event.code == DL_CODE_RETRY) {
            EXPECT_EQ(event.value, 0.0);
            EXPECT_EQ(event.text, L"LibCurl");
        }
    }
    EXPECT_EQ(md5Texts, c.md5Texts);
    const size_t attempts = static_cast<size_t>(std::count(c.codes.begin(), c.codes.end(), DL_CODE_START));
    EXPECT_EQ(GetRanges(server, path).size(), attempts);
    EXPECT_EQ(testsupport::Exists(dir.File("pkg.exe")) && ReadFile(dir.File("pkg.exe")) == body,
              c.destinationHoldsBody);
    const std::string log = capture.Text();
    for (const auto& line : c.logLines) {
        EXPECT_EQ(CountLogLines(log, line.function, line.message), 1) << line.function << ": " << line.message;
    }
}

constexpr int S = DL_CODE_START, OK = DL_CODE_SUCCESS, F = DL_CODE_FAIL, R = DL_CODE_RETRY, M = DL_CODE_MD5;
const std::wstring kCurlMissing = L"curl获取url-md5失败";
const std::wstring kCurlMismatch = L"curl文件md5校验失败";
const std::wstring kMtMissing = L"mtcurl获取url-md5失败";
const std::wstring kMtMismatch = L"mtcurl文件md5校验失败";
const std::string kFinisher = "CMTCurlDownloader::waitForFinishThreadFun";

INSTANTIATE_TEST_SUITE_P(
    BothDownloaders, Sequences,
    testing::Values(
        SequenceCase{"single_matching", 1, Segment::Matching, {S, OK}, {}, true, {}},
        SequenceCase{"single_missing", 1, Segment::Missing, {S, M, OK}, {kCurlMissing}, true, {}},
        // The single-stream downloader leaves a mismatched file for the
        // receiver to deal with.
        SequenceCase{"single_mismatch", 1, Segment::Wrong, {S, M, R, S, M, F}, {kCurlMismatch, kCurlMismatch}, true,
                     {}},
        SequenceCase{"single_upper_case", 1, Segment::UpperCase, {S, M, R, S, M, F}, {kCurlMismatch, kCurlMismatch},
                     true, {}},
        // The multi-part downloader deletes it.
        SequenceCase{"multi_matching", 3, Segment::Matching, {S, OK}, {}, true,
                     {{"CMTCurlDownloader::Start_Down", "start download"},
                      {"CMTCurlDownloader::getRealDownloadUrl", "Download File Length 1048576"},
                      {"CMTCurlDownloader::downloadExe", "curl_easy_cleanup"},
                      {kFinisher, "finish recv"}}},
        SequenceCase{"multi_missing", 3, Segment::Missing, {S, M, OK}, {kMtMissing}, true, {{kFinisher, "finish recv"}}},
        SequenceCase{"multi_mismatch", 3, Segment::Wrong, {S, M, R, S, M, F}, {kMtMismatch, kMtMismatch}, false,
                     {{kFinisher, "finish recv, md5 chaek failed retry once."},
                      {kFinisher, "finish recv, md5 chaek failed and retry failed."}}},
        SequenceCase{"multi_upper_case", 3, Segment::UpperCase, {S, M, R, S, M, F}, {kMtMismatch, kMtMismatch}, false,
                     {{kFinisher, "finish recv, md5 chaek failed retry once."}}}),
    [](const auto& info) { return std::string(info.param.name); });

class Destruction : public testing::Test, public testing::WithParamInterface<int> {};

TEST_P(Destruction, OfARunningDownloaderAbortsItWithoutFurtherEvents) {
    TestHttpServer server;
    TempDir dir;
    server.Serve("/pkg.exe", MakeResource(PatternBody(1048576), [](Resource& r) {
                     r.stallAtByte = 0;
                     r.stallFor = 60s;
                 }));
    EventRecorder events;
    auto downloader =
        CreateDownloader(GetParam(), events.Callback(), platform::Utf8ToWide(server.Url("/pkg.exe")), dir.WFile("pkg.exe"));
    downloader->Start();
    for (int i = 0; i < 500 && GetRanges(server, "/pkg.exe").empty(); ++i) std::this_thread::sleep_for(10ms);
    downloader.reset();
    EXPECT_EQ(events.Codes(), std::vector<int>{DL_CODE_START});
    EXPECT_FALSE(testsupport::Exists(dir.File("pkg.exe")));
}

INSTANTIATE_TEST_SUITE_P(BothDownloaders, Destruction, testing::Values(1, 3),
                         [](const auto& info) { return info.param == 1 ? "single" : "multi"; });

}  // namespace
