// The single-stream HTTP client against our fault-injecting server: the
// length rule, resume, errors, redirects, the request it sends, stalls, and
// answers that don't carry the bytes asked for.
#include "download/CurlClient.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <vector>

#include "platform/Utf8.h"
#include "tests/download/DownloadFixtures.h"
#include "tests/support/StderrCapture.h"

namespace {

using namespace std::chrono_literals;
using testsupport::MakeResource;
using testsupport::PatternBody;
using testsupport::ReadFile;
using testsupport::Resource;
using testsupport::SizeOf;
using testsupport::StallLimit;
using testsupport::TempDir;
using testsupport::TestHttpServer;
using testsupport::WriteFile;

class CurlClientTest : public testing::Test {
protected:
    std::unique_ptr<CurlClient> Client(const std::string& path, TransferOptions options = {}) {
        return std::make_unique<CurlClient>(
            platform::Utf8ToWide(server_.Url(path)), dir_.WFile("pkg.exe"),
            [this](double speed, double zero, double percent) {
                std::lock_guard<std::mutex> lock(mutex_);
                progress_.push_back({speed, zero, percent});
            },
            options);
    }

    std::vector<std::vector<double>> Progress() {
        std::lock_guard<std::mutex> lock(mutex_);
        return progress_;
    }

    std::vector<testsupport::RecordedRequest> Gets(const std::string& path) const {
        std::vector<testsupport::RecordedRequest> gets;
        for (const auto& request : server_.Requests(path)) {
            if (request.method == "GET") gets.push_back(request);
        }
        return gets;
    }

    TestHttpServer server_;
    TempDir dir_;
    std::string destination_ = dir_.File("pkg.exe");
    std::string part_ = dir_.File("pkg.exe.part");
    std::mutex mutex_;
    std::vector<std::vector<double>> progress_;
};

struct LengthCase {
    const char* name;
    size_t length;
    int result;
};
void PrintTo(const LengthCase& c, std::ostream* os) { *os << c.name; }

class LengthRule : public CurlClientTest, public testing::WithParamInterface<LengthCase> {};

TEST_P(LengthRule, FilesBelowOneMebibyteAreRefused) {
    const std::string body = PatternBody(GetParam().length);
    server_.Serve("/pkg.exe", MakeResource(body));
    auto client = Client("/pkg.exe");
    EXPECT_EQ(client->Start(), GetParam().result);
    if (GetParam().result == 0) {
        EXPECT_EQ(ReadFile(destination_), body);
        EXPECT_FALSE(testsupport::Exists(part_));
    } else {
        EXPECT_FALSE(testsupport::Exists(destination_));
        EXPECT_TRUE(Gets("/pkg.exe").empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Boundary, LengthRule,
                         testing::Values(LengthCase{"below", 1048575, CurlClient::kFileTooSmall},
                                         LengthCase{"exactly_1MiB", 1048576, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

struct ResumeCase {
    const char* name;
    int64_t held;  // bytes in the part file before the try; -1: no part file
    const char* range;
};
void PrintTo(const ResumeCase& c, std::ostream* os) { *os << c.name; }

class Resume : public CurlClientTest, public testing::WithParamInterface<ResumeCase> {};

TEST_P(Resume, AsksOnlyForTheMissingBytes) {
    const std::string body = PatternBody(1048576 + 4096);
    server_.Serve("/pkg.exe", MakeResource(body));
    if (GetParam().held >= 0) WriteFile(part_, body.substr(0, static_cast<size_t>(GetParam().held)));
    auto client = Client("/pkg.exe");
    ASSERT_EQ(client->Start(), 0);
    const auto gets = Gets("/pkg.exe");
    ASSERT_EQ(gets.size(), 1u);
    EXPECT_EQ(gets[0].range, GetParam().range);
    EXPECT_EQ(ReadFile(destination_), body);
}

INSTANTIATE_TEST_SUITE_P(PartFiles, Resume,
                         testing::Values(ResumeCase{"held_300", 300, "bytes=300-"},
                                         ResumeCase{"empty_part_file", 0, ""}, ResumeCase{"no_part_file", -1, ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CurlClientTest, CompletePartFileIsRenamedWithoutAskingAgain) {
    const std::string body = PatternBody(1048576);
    server_.Serve("/pkg.exe", MakeResource(body));
    WriteFile(part_, body);
    auto client = Client("/pkg.exe");
    ASSERT_EQ(client->Start(), 0);
    EXPECT_TRUE(Gets("/pkg.exe").empty());
    EXPECT_EQ(ReadFile(destination_), body);
}

TEST_F(CurlClientTest, NotFoundOnTheGetLeavesTheDestinationUntouched) {
    const std::string body = PatternBody(1048576, 7);
    server_.Serve("/pkg.exe", MakeResource(body));
    auto client = Client("/pkg.exe");
    ASSERT_EQ(client->Start(), 0);
    // The address and length are known now: the next try goes straight to
    // the GET, which the server now refuses.
    server_.Serve("/pkg.exe", MakeResource("gone", [](Resource& r) { r.status = 404; }));
    server_.ClearRequests();
    EXPECT_EQ(client->Start(), CURLE_HTTP_RETURNED_ERROR);
    const auto requests = server_.Requests("/pkg.exe");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(ReadFile(destination_), body);
    EXPECT_EQ(SizeOf(part_), 0);  // the error body was not stored
}

struct RedirectCase {
    const char* name;
    std::vector<std::string> hops;  // paths that redirect, in order
};
void PrintTo(const RedirectCase& c, std::ostream* os) { *os << c.name; }

class Redirects : public CurlClientTest, public testing::WithParamInterface<RedirectCase> {};

TEST_P(Redirects, TheGetGoesToTheFinalAddressAndItIsKept) {
    const std::string body = PatternBody(1048576, 3);
    const std::string final = "/files/" + testsupport::Md5Of(body) + "/pkg.exe";
    server_.Serve(final, MakeResource(body));
    const auto& hops = GetParam().hops;
    for (size_t i = 0; i < hops.size(); ++i) {
        server_.Serve(hops[i], testsupport::Redirect(302, i + 1 < hops.size() ? hops[i + 1] : final));
    }
    auto client = Client(hops.front());
    ASSERT_EQ(client->Start(), 0);
    EXPECT_EQ(client->FinalUrl(), server_.Url(final));
    EXPECT_EQ(ReadFile(destination_), body);
    for (const auto& hop : hops) EXPECT_TRUE(Gets(hop).empty()) << hop;
    EXPECT_EQ(Gets(final).size(), 1u);

    // A retry uses the kept address: no header-only request, no hop.
    server_.ClearRequests();
    ASSERT_EQ(client->Start(), 0);
    EXPECT_TRUE(server_.Requests(hops.front()).empty());
    const auto again = server_.Requests(final);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].method, "GET");
}

INSTANTIATE_TEST_SUITE_P(Hops, Redirects,
                         testing::Values(RedirectCase{"one_hop", {"/start"}},
                                         RedirectCase{"chain", {"/start", "/second", "/third"}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CurlClientTest, AsksForNoContentCoding) {
    server_.Serve("/pkg.exe", MakeResource(PatternBody(1048576)));
    auto client = Client("/pkg.exe");
    ASSERT_EQ(client->Start(), 0);
    const auto gets = Gets("/pkg.exe");
    ASSERT_EQ(gets.size(), 1u);
    EXPECT_EQ(gets[0].headers.count("accept-encoding"), 0u);
    EXPECT_EQ(gets[0].headers.at("connection"), "keep-alive");
}

TEST_F(CurlClientTest, StalledBodyEndsAtTheStallLimitAndResumes) {
    const std::string body = PatternBody(1048576 + 1000, 5);
    server_.Serve("/pkg.exe", MakeResource(body, [](Resource& r) {
                        r.stallAtByte = 400000;
                        r.stallFor = 20s;
                        r.faultyRequests = 1;
                    }));
    auto client = Client("/pkg.exe", StallLimit(1s));
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(client->Start(), CURLE_OPERATION_TIMEDOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - started, 1s);
    EXPECT_EQ(SizeOf(part_), 400000);
    ASSERT_EQ(client->Start(), 0);
    const auto gets = Gets("/pkg.exe");
    ASSERT_EQ(gets.size(), 2u);
    EXPECT_EQ(gets[1].range, "bytes=400000-");
    EXPECT_EQ(ReadFile(destination_), body);
}

TEST_F(CurlClientTest, HeaderRequestsWithoutAnAnswerEndAtTheLimit) {
    // Without a limit the answer would come after 20 s and the file would
    // download; with it, every header-only request gives up first.
    server_.Serve("/pkg.exe", MakeResource(PatternBody(1048576), [](Resource& r) { r.stallBeforeHeaders = 20s; }));
    auto client = Client("/pkg.exe", StallLimit(1s));
    EXPECT_EQ(client->Start(), CurlClient::kFileTooSmall);
    EXPECT_EQ(server_.Requests("/pkg.exe").size(), 3u);  // Head, GetRealUrl_Str, GetDownloadFileLength_Str
    EXPECT_TRUE(Gets("/pkg.exe").empty());
}

struct WrongAnswerCase {
    const char* name;
    Resource fault;  // applied to the first two GETs
};
void PrintTo(const WrongAnswerCase& c, std::ostream* os) { *os << c.name; }

class WrongRangeAnswers : public CurlClientTest, public testing::WithParamInterface<WrongAnswerCase> {};

TEST_P(WrongRangeAnswers, AreRefusedAndTheNextTryStartsOver) {
    const std::string body = PatternBody(1048576 + 5000, 9);
    Resource resource = GetParam().fault;
    resource.body = body;
    resource.dropAfterBytes = 300;
    resource.faultyRequests = 2;
    server_.Serve("/pkg.exe", resource);
    auto client = Client("/pkg.exe");
    EXPECT_EQ(client->Start(), CURLE_PARTIAL_FILE);  // 300 bytes, then the drop
    EXPECT_EQ(SizeOf(part_), 300);
    EXPECT_EQ(client->Start(), CURLE_RANGE_ERROR);  // resume answered wrongly: nothing stored
    EXPECT_FALSE(testsupport::Exists(part_));
    EXPECT_FALSE(testsupport::Exists(destination_));
    ASSERT_EQ(client->Start(), 0);
    const auto gets = Gets("/pkg.exe");
    ASSERT_EQ(gets.size(), 3u);
    EXPECT_EQ(gets[1].range, "bytes=300-");
    EXPECT_EQ(gets[2].range, "");
    EXPECT_EQ(ReadFile(destination_), body);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, WrongRangeAnswers,
    testing::Values(WrongAnswerCase{"range_ignored", MakeResource("", [](Resource& r) { r.honourRanges = false; })},
                    WrongAnswerCase{"wrong_content_range", MakeResource("", [](Resource& r) { r.contentRange = "bytes 0-1053575/1053576"; })}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CurlClientTest, ProgressCountsTheResumedBytesAndNeverPassesOneHundred) {
    // 100 001 bytes are missing and trickle in over two seconds: the
    // reports must count the 1 MiB already held.
    const std::string body = PatternBody(1048576 + 1, 11);
    const size_t held = body.size() - 100001;
    WriteFile(part_, body.substr(0, held));
    server_.Serve("/pkg.exe", MakeResource(body, [](Resource& r) { r.bytesPerSecond = 50000; }));
    auto client = Client("/pkg.exe");
    ASSERT_EQ(client->Start(), 0);
    const double heldPercent = 100.0 * static_cast<double>(held) / static_cast<double>(body.size());
    const auto progress = Progress();
    ASSERT_FALSE(progress.empty());
    bool grew = false;
    for (const auto& report : progress) {
        EXPECT_GE(report[2], heldPercent);
        EXPECT_LE(report[2], 100.0);
        EXPECT_EQ(report[1], 0.0);
        grew = grew || report[2] > heldPercent;
    }
    EXPECT_TRUE(grew);
    EXPECT_EQ(ReadFile(destination_), body);
}

TEST_F(CurlClientTest, LocalFileAddressWithNonAsciiName) {
    const std::string body = PatternBody(1048576 + 10, 13);
    const std::string source = dir_.File("\xe5\x9b\xbe-source.bin");  // "图-source.bin"
    WriteFile(source, body);
    CurlClient client(L"file://" + platform::Utf8ToWide(source), dir_.WFile("pkg.exe"), nullptr);
    ASSERT_EQ(client.Start(), 0);
    EXPECT_EQ(ReadFile(destination_), body);
}

TEST_F(CurlClientTest, DestinationThatCannotBeReplacedIsAFailedTry) {
    const std::string body = PatternBody(1048576);
    server_.Serve("/pkg.exe", MakeResource(body));
    // A folder with content where the file must go: remove and rename fail.
    std::filesystem::create_directories(destination_ + "/inside");
    auto client = Client("/pkg.exe");
    EXPECT_EQ(client->Start(), CURLE_WRITE_ERROR);
    // The complete part file stays and is used again without a new GET.
    EXPECT_EQ(SizeOf(part_), static_cast<int64_t>(body.size()));
    std::filesystem::remove_all(destination_);
    ASSERT_EQ(client->Start(), 0);
    EXPECT_EQ(Gets("/pkg.exe").size(), 1u);
    EXPECT_EQ(ReadFile(destination_), body);
}

TEST_F(CurlClientTest, LogsEachTryAndHeaderRequest) {
    server_.Serve("/pkg.exe", MakeResource(PatternBody(1048576)));
    auto client = Client("/pkg.exe");
    testsupport::StderrCapture capture;
    ASSERT_EQ(client->Start(), 0);
    const std::string log = capture.Text();
    EXPECT_NE(log.find("(CurlClient::Start)"), std::string::npos);
    EXPECT_NE(log.find(": start download\r\n"), std::string::npos);
    EXPECT_NE(log.find("(CurlClient::Head)"), std::string::npos);
    EXPECT_NE(log.find("(CurlClient::GetDownloadFileLength)"), std::string::npos);
    EXPECT_NE(log.find(": error:0:No error\r\n"), std::string::npos);
    EXPECT_NE(log.find(": end download\r\n"), std::string::npos);
}

TEST_F(CurlClientTest, AbortEndsARunningTransfer) {
    server_.Serve("/pkg.exe", MakeResource(PatternBody(1048576), [](Resource& r) {
                        r.stallAtByte = 1000;
                        r.stallFor = 30s;
                    }));
    auto client = Client("/pkg.exe");
    std::thread aborter([&] {
        for (int i = 0; i < 200 && Gets("/pkg.exe").empty(); ++i) std::this_thread::sleep_for(10ms);
        client->Abort();
    });
    EXPECT_EQ(client->Start(), CURLE_ABORTED_BY_CALLBACK);
    aborter.join();
}

}  // namespace
