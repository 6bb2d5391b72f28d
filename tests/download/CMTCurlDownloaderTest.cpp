// The multi-part downloader: early failures, the two-part split, answers
// that don't carry the range asked for, stalls, and what a retry keeps.
#include "download/CMTCurlDownloader.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/Utf8.h"
#include "tests/download/DownloadFixtures.h"
#include "tests/download/LogLines.h"
#include "tests/support/EventRecorder.h"
#include "tests/support/StderrCapture.h"

namespace {

using namespace std::chrono_literals;
using testsupport::CountLogLines;
using testsupport::EventRecorder;
using testsupport::MakeResource;
using testsupport::PatternBody;
using testsupport::ReadFile;
using testsupport::Resource;
using testsupport::SizeOf;
using testsupport::TempDir;
using testsupport::TestHttpServer;

constexpr int S = DL_CODE_START, OK = DL_CODE_SUCCESS, F = DL_CODE_FAIL, R = DL_CODE_RETRY;

class MultiPart : public testing::Test {
protected:
    std::unique_ptr<CMTCurlDownloader> Downloader(const std::string& url) {
        return std::make_unique<CMTCurlDownloader>(events_.Callback(), platform::Utf8ToWide(url), dir_.WFile("pkg.exe"));
    }

    std::vector<std::string> GetRanges(const std::string& path) const { return testsupport::GetRanges(server_, path); }

    TestHttpServer server_;
    TempDir dir_;
    EventRecorder events_;
    std::unique_ptr<CMTCurlDownloader> downloader_;  // goes first: its threads call into the above
};

struct EarlyCase {
    const char* name;
    size_t length;
    bool sendLength;
    int status;
};
void PrintTo(const EarlyCase& c, std::ostream* os) { *os << c.name; }

class EarlyFailure : public MultiPart, public testing::WithParamInterface<EarlyCase> {};

TEST_P(EarlyFailure, IsReportedByTheControllerWithoutPartFiles) {
    const EarlyCase& c = GetParam();
    server_.Serve("/pkg.exe", MakeResource(PatternBody(c.length), [&](Resource& r) {
                      r.sendContentLength = c.sendLength;
                      r.status = c.status;
                  }));
    auto downloader = Downloader(server_.Url("/pkg.exe"));
    downloader->Start();
    ASSERT_TRUE(events_.WaitForEnd(30s));
    downloader.reset();
    const auto events = events_.Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].code, DL_CODE_FAIL);
    EXPECT_EQ(events[1].value, 0.0);
    EXPECT_EQ(events[1].text, L"LibCurl");
    EXPECT_TRUE(GetRanges("/pkg.exe").empty());
    EXPECT_FALSE(testsupport::Exists(dir_.File("pkg.exe_0")));
}

INSTANTIATE_TEST_SUITE_P(Lookups, EarlyFailure,
                         testing::Values(EarlyCase{"length_255", 255, true, 200},
                                         EarlyCase{"not_found", 256, true, 404},
                                         EarlyCase{"unknown_length", 4096, false, 200}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MultiPart, RefusedConnectionFailsAtOnce) {
    auto downloader = Downloader("http://127.0.0.1:" + std::to_string(testsupport::RefusedPort()) + "/pkg.exe");
    downloader->Start();
    ASSERT_TRUE(events_.WaitForEnd(30s));
    EXPECT_EQ(events_.Codes(), (std::vector<int>{S, F}));
}

struct TwoPartCase {
    const char* name;
    bool honourRanges;
    std::string contentRange;
    size_t gets;
};
void PrintTo(const TwoPartCase& c, std::ostream* os) { *os << c.name; }

class TwoParts : public MultiPart, public testing::WithParamInterface<TwoPartCase> {};

TEST_P(TwoParts, ComeTogetherIntactWhateverTheFirstAnswers) {
    // 20 MiB: two ranges of 10 MiB. In the faulty cases the first GET of
    // each part carries the wrong bytes; it must be refused and retried.
    const TwoPartCase& c = GetParam();
    const std::string body = PatternBody(20971520, 17);
    const std::string path = "/dl/" + testsupport::Md5Of(body) + "/pkg.exe";
    server_.Serve(path, MakeResource(body, [&](Resource& r) {
                      r.honourRanges = c.honourRanges;
                      r.contentRange = c.contentRange;
                      r.faultyRequests = 2;
                  }));
    auto downloader = Downloader(server_.Url(path));
    downloader->Start();
    ASSERT_TRUE(events_.WaitForEnd(120s));
    downloader.reset();
    EXPECT_EQ(events_.Codes(), (std::vector<int>{S, OK}));
    EXPECT_TRUE(ReadFile(dir_.File("pkg.exe")) == body);
    auto ranges = GetRanges(path);
    EXPECT_EQ(ranges.size(), c.gets);
    std::sort(ranges.begin(), ranges.end());
    ranges.erase(std::unique(ranges.begin(), ranges.end()), ranges.end());
    EXPECT_EQ(ranges, (std::vector<std::string>{"bytes=0-10485759", "bytes=10485760-20971519"}));
    EXPECT_FALSE(testsupport::Exists(dir_.File("pkg.exe_0")));
    EXPECT_FALSE(testsupport::Exists(dir_.File("pkg.exe_1")));
    for (const auto& event : events_.Events()) EXPECT_LE(event.value, 1.0);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, TwoParts,
    testing::Values(TwoPartCase{"clean", true, "", 2}, TwoPartCase{"range_ignored", false, "", 4},
                    TwoPartCase{"wrong_content_range", true, "bytes 5-10485764/20971520", 4}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MultiPart, SinglePartAnsweredWithTheWholeBodyIsAccepted) {
    // One range that is the whole file: a server that ignores ranges sends
    // exactly the bytes asked for.
    const std::string body = PatternBody(300000, 19);
    const std::string path = "/dl/" + testsupport::Md5Of(body) + "/pkg.exe";
    server_.Serve(path, MakeResource(body, [](Resource& r) { r.honourRanges = false; }));
    auto downloader = Downloader(server_.Url(path));
    downloader->Start();
    ASSERT_TRUE(events_.WaitForEnd(30s));
    EXPECT_EQ(events_.Codes(), (std::vector<int>{S, OK}));
    EXPECT_EQ(GetRanges(path), std::vector<std::string>{"bytes=0-299999"});
    EXPECT_EQ(ReadFile(dir_.File("pkg.exe")), body);
}

// Between the two attempts of a retry after a failed part.
enum class BetweenAttempts { ServeSlowly, CompleteThePartFile };

struct RetryCase {
    const char* name;
    BetweenAttempts between;
};
void PrintTo(const RetryCase& c, std::ostream* os) { *os << c.name; }

class RetryAfterAFailedPart : public MultiPart, public testing::WithParamInterface<RetryCase> {};

TEST_P(RetryAfterAFailedPart, KeepsTheBytesAlreadyHeld) {
    // Attempt 1: the range trickles (so that progress is reported) and drops
    // after 90 000 bytes (18); the server then answers 500 (22) until the
    // part's budget is used up, and the finisher asks for a retry.
    const std::string body = PatternBody(100000, 23);
    const std::string path = "/dl/" + testsupport::Md5Of(body) + "/pkg.exe";
    server_.Serve(path, MakeResource(body, [](Resource& r) {
                      r.bytesPerSecond = 60000;
                      r.dropAfterBytes = 90000;
                  }));
    size_t getsInFirstAttempt = 0;
    events_.OnCode(DL_CODE_RETRY, [&] {
        getsInFirstAttempt = GetRanges(path).size();
        if (GetParam().between == BetweenAttempts::ServeSlowly) {
            server_.Serve(path, MakeResource(body, [](Resource& r) { r.bytesPerSecond = 8000; }));
        } else {
            testsupport::WriteFile(dir_.File("pkg.exe_0"), body);  // the whole range is there now
            server_.Serve(path, MakeResource(body));
        }
        downloader_->Start();
    });
    downloader_ = Downloader(server_.Url(path));
    testsupport::StderrCapture capture;
    downloader_->Start();
    // The drop is logged 400 ms before the next try: refuse from then on.
    const std::string dropped = "CurlDownLoader Code=18";
    for (int i = 0; i < 1000 && CountLogLines(capture.Text(), "CMTCurlDownloader::downloadThreadFun", dropped) == 0; ++i)
        std::this_thread::sleep_for(10ms);
    server_.Serve(path, MakeResource(body, [](Resource& r) { r.status = 500; }));
    ASSERT_TRUE(events_.WaitForEnd(60s));
    downloader_.reset();

    const auto events = events_.Events();
    EXPECT_EQ(events_.Codes(), (std::vector<int>{S, R, S, OK}));
    const std::string log = capture.Text();
    EXPECT_EQ(CountLogLines(log, "CMTCurlDownloader::downloadThreadFun", "CurlDownLoader Code=18"), 1);
    // 18 costs 1 of the budget of 12, each 22 costs 2: seven refused tries.
    EXPECT_EQ(CountLogLines(log, "CMTCurlDownloader::downloadThreadFun", "CurlDownLoader Code=22"), 6);
    EXPECT_EQ(getsInFirstAttempt, 8u);
    const auto retry = std::find_if(events.begin(), events.end(), [](const auto& e) { return e.code == R; });
    ASSERT_NE(retry, events.end());
    EXPECT_EQ(retry->value, 22.0);

    const auto ranges = GetRanges(path);
    if (GetParam().between == BetweenAttempts::ServeSlowly) {
        // The range resumes at the held bytes, and the reports count them
        // (without them the first report would fall below the last one).
        ASSERT_EQ(ranges.size(), getsInFirstAttempt + 1);
        EXPECT_EQ(ranges.back(), "bytes=90000-99999");
        std::vector<double> secondAttempt;
        for (auto it = std::find_if(events.begin(), events.end(), [](const auto& e) { return e.code == R; });
             it != events.end(); ++it) {
            if (it->code == DL_CODE_PROGRESS) secondAttempt.push_back(it->value);
        }
        ASSERT_FALSE(secondAttempt.empty());
        for (const double value : secondAttempt) {
            EXPECT_GT(value, 0.9);
            EXPECT_LE(value, 1.0);
        }
    } else {
        // A part file that already holds its range gets no worker.
        EXPECT_EQ(ranges.size(), getsInFirstAttempt);
    }
    EXPECT_EQ(ReadFile(dir_.File("pkg.exe")), body);
}

INSTANTIATE_TEST_SUITE_P(Retries, RetryAfterAFailedPart,
                         testing::Values(RetryCase{"range_resumes", BetweenAttempts::ServeSlowly},
                                         RetryCase{"complete_part_gets_no_worker", BetweenAttempts::CompleteThePartFile}),
                         [](const auto& info) { return std::string(info.param.name); });

struct RangeFaultCase {
    const char* name;
    bool stall;  // else a drop
    int code;
};
void PrintTo(const RangeFaultCase& c, std::ostream* os) { *os << c.name; }

class RangeFault : public MultiPart, public testing::WithParamInterface<RangeFaultCase> {};

TEST_P(RangeFault, EndsTheTryAndTheNextTryResumes) {
    // A stall ends by the low-speed limit (below 1 byte a second for 5 s,
    // after libcurl's speed window has let go of the first bytes).
    const std::string body = PatternBody(500000, 29);
    const std::string path = "/dl/" + testsupport::Md5Of(body) + "/pkg.exe";
    server_.Serve(path, MakeResource(body, [](Resource& r) {
                      if (GetParam().stall) {
                          r.stallAtByte = 1234;
                          r.stallFor = 60s;
                      } else {
                          r.dropAfterBytes = 1234;
                      }
                      r.faultyRequests = 1;
                  }));
    auto downloader = Downloader(server_.Url(path));
    testsupport::StderrCapture capture;
    const auto started = std::chrono::steady_clock::now();
    downloader->Start();
    ASSERT_TRUE(events_.WaitForEnd(60s));
    if (GetParam().stall) {
        EXPECT_GE(std::chrono::steady_clock::now() - started, 5s);
    }
    EXPECT_EQ(events_.Codes(), (std::vector<int>{S, OK}));
    EXPECT_EQ(GetRanges(path), (std::vector<std::string>{"bytes=0-499999", "bytes=1234-499999"}));
    EXPECT_EQ(CountLogLines(capture.Text(), "CMTCurlDownloader::downloadThreadFun",
                            "CurlDownLoader Code=" + std::to_string(GetParam().code)),
              1);
    EXPECT_EQ(ReadFile(dir_.File("pkg.exe")), body);
}

INSTANTIATE_TEST_SUITE_P(Faults, RangeFault,
                         testing::Values(RangeFaultCase{"drop", false, CURLE_PARTIAL_FILE},
                                         RangeFaultCase{"stall", true, CURLE_OPERATION_TIMEDOUT}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MultiPart, ConstructionDeletesTheDestinationAndPartFiles) {
    for (const char* name : {"pkg.exe", "pkg.exe_0", "pkg.exe_1"}) testsupport::WriteFile(dir_.File(name), "old");
    auto downloader = Downloader(server_.Url("/pkg.exe"));
    for (const char* name : {"pkg.exe", "pkg.exe_0", "pkg.exe_1"}) EXPECT_FALSE(testsupport::Exists(dir_.File(name)));
}

}  // namespace
