// The single-stream downloader's budget, pauses and resume.
#include "download/CCurlDownloader.h"

#include <gtest/gtest.h>

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
using testsupport::RecordedEvent;
using testsupport::Resource;
using testsupport::TempDir;
using testsupport::TestHttpServer;

constexpr const char* kWorker = "CCurlDownloader::dlThreadFun";

class CCurlDownloaderTest : public testing::Test {
protected:
    std::unique_ptr<CCurlDownloader> Downloader(const std::string& path) {
        return std::make_unique<CCurlDownloader>(events_.Callback(), platform::Utf8ToWide(server_->Url(path)),
                                                 dir_.WFile("pkg.exe"));
    }

    // The events from the n-th DL_CODE_START (0-based) on.
    std::vector<RecordedEvent> Attempt(size_t n) const {
        std::vector<RecordedEvent> attempt;
        size_t starts = 0;
        for (const auto& event : events_.Events()) {
            if (event.code == DL_CODE_START) ++starts;
            if (starts == n + 1) attempt.push_back(event);
        }
        return attempt;
    }

    std::unique_ptr<TestHttpServer> server_ = std::make_unique<TestHttpServer>();
    TempDir dir_;
    EventRecorder events_;
};

TEST_F(CCurlDownloaderTest, SixRefusedConnectionsEndWithCode7) {
    // The first attempt learns the address and length, then fails its digest
    // check; before the retry the server goes away, so every GET of the
    // second attempt is refused (7).
    const std::string body = PatternBody(1048576);
    const std::string path = "/files/" + testsupport::Md5Of("not the body") + "/pkg.exe";
    server_->Serve(path, MakeResource(body));
    auto downloader = Downloader(path);
    events_.OnCode(DL_CODE_RETRY, [&] {
        server_.reset();
        downloader->Start();
    });
    testsupport::StderrCapture capture;
    downloader->Start();
    ASSERT_TRUE(events_.WaitForEnd(60s));
    downloader.reset();

    EXPECT_EQ(events_.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_MD5, DL_CODE_RETRY, DL_CODE_START, DL_CODE_FAIL}));
    const auto second = Attempt(1);
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(second.back().value, 7.0);
    EXPECT_EQ(second.back().text, L"LibCurl");
    EXPECT_GE(second.back().at - second.front().at, 2500ms);  // five pauses of 500 ms
    EXPECT_EQ(CountLogLines(capture.Text(), kWorker, "CurlDownLoader Code=7"), 5);
}

TEST_F(CCurlDownloaderTest, TwelveDroppedTransfersEndWithCode18) {
    // Every GET drops after 100 bytes: each try resumes and costs 1.
    server_->Serve("/pkg.exe", MakeResource(PatternBody(1048576), [](Resource& r) { r.dropAfterBytes = 100; }));
    auto downloader = Downloader("/pkg.exe");
    testsupport::StderrCapture capture;
    downloader->Start();
    ASSERT_TRUE(events_.WaitForEnd(60s));
    downloader.reset();

    EXPECT_EQ(events_.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_FAIL}));
    const auto attempt = Attempt(0);
    EXPECT_EQ(attempt.back().value, 18.0);
    EXPECT_GE(attempt.back().at - attempt.front().at, 5500ms);  // eleven pauses
    EXPECT_EQ(CountLogLines(capture.Text(), kWorker, "CurlDownLoader Code=18"), 11);
    const auto ranges = GetRanges(*server_, "/pkg.exe");
    ASSERT_EQ(ranges.size(), 12u);
    EXPECT_EQ(ranges[0], "");
    EXPECT_EQ(ranges[11], "bytes=1100-");
}

TEST_F(CCurlDownloaderTest, NotFoundFailsWithOurCodeAndLeavesTheDestination) {
    // 404 everywhere: no header-only request finds a length (-998, cost 2).
    testsupport::WriteFile(dir_.File("pkg.exe"), "earlier content");
    auto downloader = Downloader("/missing.exe");
    testsupport::StderrCapture capture;
    downloader->Start();
    ASSERT_TRUE(events_.WaitForEnd(60s));
    downloader.reset();

    EXPECT_EQ(events_.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_FAIL}));
    EXPECT_EQ(Attempt(0).back().value, -998.0);
    EXPECT_EQ(CountLogLines(capture.Text(), kWorker, "CurlDownLoader Code=-998"), 5);
    EXPECT_EQ(ReadFile(dir_.File("pkg.exe")), "earlier content");
}

TEST_F(CCurlDownloaderTest, DroppedConnectionResumesFromThePartFile) {
    const std::string body = PatternBody(1048576 + 777, 4);
    server_->Serve("/pkg.exe", MakeResource(body, [](Resource& r) {
                       r.dropAfterBytes = 300;
                       r.faultyRequests = 1;
                   }));
    auto downloader = Downloader("/pkg.exe");
    testsupport::StderrCapture capture;
    downloader->Start();
    ASSERT_TRUE(events_.WaitForEnd(60s));
    downloader.reset();

    EXPECT_EQ(events_.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_MD5, DL_CODE_SUCCESS}));
    EXPECT_EQ(GetRanges(*server_, "/pkg.exe"), (std::vector<std::string>{"", "bytes=300-"}));
    EXPECT_EQ(CountLogLines(capture.Text(), kWorker, "CurlDownLoader Code=18"), 1);
    EXPECT_EQ(ReadFile(dir_.File("pkg.exe")), body);
}

TEST_F(CCurlDownloaderTest, ConstructionDeletesALeftOverPartFile) {
    const std::string body = PatternBody(1048576, 8);
    server_->Serve("/pkg.exe", MakeResource(body));
    testsupport::WriteFile(dir_.File("pkg.exe.part"), "stale bytes of another run");
    auto downloader = Downloader("/pkg.exe");
    EXPECT_FALSE(testsupport::Exists(dir_.File("pkg.exe.part")));
    downloader->Start();
    ASSERT_TRUE(events_.WaitForEnd(60s));
    EXPECT_EQ(ReadFile(dir_.File("pkg.exe")), body);
}

TEST_F(CCurlDownloaderTest, EmptyDestinationFailsAtOnce) {
    CCurlDownloader downloader(events_.Callback(), platform::Utf8ToWide(server_->Url("/pkg.exe")), L"");
    downloader.Start();
    ASSERT_TRUE(events_.WaitForEnd(10s));
    const auto events = events_.Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].code, DL_CODE_FAIL);
    EXPECT_EQ(events[1].value, 1.0);
    EXPECT_EQ(events[1].text, L"");
    EXPECT_TRUE(server_->Requests().empty());
}

}  // namespace
