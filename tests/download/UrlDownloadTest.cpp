// The platform's URL download against our fault-injecting server and real
// files: every outcome maps to its fixed result code, and a failure never
// touches the destination or leaves a temporary file behind.
#include "platform/UrlDownload.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "tests/support/http/TestHttpServer.h"

namespace {

using namespace std::chrono_literals;
using testsupport::MakeResource;
using testsupport::Redirect;
using testsupport::Resource;
using testsupport::TempDir;
using testsupport::TestHttpServer;
using testsupport::W;

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

struct Progress {
    std::vector<std::pair<uint64_t, uint64_t>> notices;
    platform::UrlDownloadSettings Settings(std::chrono::milliseconds limit = 2s) {
        platform::UrlDownloadSettings settings;
        settings.answerLimit = limit;
        settings.progress = [this](uint64_t current, uint64_t maximum) { notices.emplace_back(current, maximum); };
        return settings;
    }
};

// ------------------------------------------------- failures, as a table

struct FailureCase {
    const char* name;
    std::function<void(Resource&)> shape;  // the answer of "/f"
    int32_t expected;
};

class UrlDownloadFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(UrlDownloadFailure, MapsToItsCodeAndLeavesTheDestinationAlone) {
    TestHttpServer server;
    Resource resource;
    resource.body = std::string(10000, 'p');
    GetParam().shape(resource);
    server.Serve("/f", resource);
    TempDir dir;
    testsupport::WriteFile(dir.File("pkg.bin"), "old");

    Progress progress;
    const int32_t result = platform::DownloadUrlToFile(W(server.Url("/f")), dir.WFile("pkg.bin"), progress.Settings(1s));
    EXPECT_EQ(result, GetParam().expected);
    EXPECT_EQ(testsupport::ReadFile(dir.File("pkg.bin")), "old");
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"pkg.bin"});
}

INSTANTIATE_TEST_SUITE_P(
    Table, UrlDownloadFailure,
    ::testing::Values(
        FailureCase{"NotFound", [](Resource& r) { r.status = 404; }, platform::kUrlResourceNotFound},
        FailureCase{"Forbidden", [](Resource& r) { r.status = 403; }, platform::kUrlDownloadFailure},
        FailureCase{"ServerError", [](Resource& r) { r.status = 500; }, platform::kUrlDownloadFailure},
        FailureCase{"DropBeforeTheLength", [](Resource& r) { r.dropAfterBytes = 1234; }, platform::kUrlDownloadFailure},
        FailureCase{"RedirectWithoutLocation", [](Resource& r) { r.status = 302; }, platform::kUrlRedirectFailed},
        FailureCase{"RedirectToOtherScheme",
                    [](Resource& r) {
                        r.status = 302;
                        r.location = "ftp://127.0.0.1/f";
                    },
                    platform::kUrlRedirectFailed},
        FailureCase{"SilentAfterAccepting", [](Resource& r) { r.stallBeforeHeaders = std::chrono::hours(1); },
                    platform::kUrlConnectionTimeout},
        FailureCase{"SilentInTheBody",
                    [](Resource& r) {
                        r.stallAtByte = 4000;
                        r.stallFor = std::chrono::hours(1);
                    },
                    platform::kUrlConnectionTimeout}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST(UrlDownload, RedirectLoopEndsAfterTheHopLimit) {
    TestHttpServer server;
    server.Serve("/loop", Redirect(302, "/loop"));
    TempDir dir;
    Progress progress;
    EXPECT_EQ(platform::DownloadUrlToFile(W(server.Url("/loop")), dir.WFile("pkg.bin"), progress.Settings()),
              platform::kUrlRedirectFailed);
    EXPECT_EQ(server.Requests().size(), static_cast<size_t>(platform::kUrlMaxRedirects + 1));
    EXPECT_TRUE(FolderEntries(dir.path()).empty());
}

TEST(UrlDownload, AddressAndDestinationProblems) {
    TempDir dir;
    testsupport::WriteFile(dir.File("plain-file"), "x");
    const std::string closed = "http://127.0.0.1:" + std::to_string(testsupport::RefusedPort()) + "/f";
    struct Case {
        std::string url;
        std::string path;
        int32_t expected;
    };
    TestHttpServer server;
    server.Serve("/f", MakeResource("body"));
    const std::vector<Case> cases = {
        {closed, dir.File("a.bin"), platform::kUrlCannotConnect},
        {"ftp://127.0.0.1/f", dir.File("a.bin"), platform::kUrlUnknownProtocol},
        {"no address at all", dir.File("a.bin"), platform::kUrlInvalidUrl},
        {"http:///no-host", dir.File("a.bin"), platform::kUrlInvalidUrl},
        {"file:///" + dir.path().substr(1) + "/missing.bin", dir.File("a.bin"), platform::kUrlResourceNotFound},
        {"file://" + dir.path(), dir.File("a.bin"), platform::kUrlResourceNotFound},  // a folder
        // A file where a folder must be, and a folder that isn't there.
        {server.Url("/f"), dir.File("plain-file/a.bin"), platform::kUrlPathNotFound},
        {server.Url("/f"), dir.File("missing/a.bin"), platform::kUrlPathNotFound},
        {"file://" + dir.File("plain-file"), dir.File("plain-file/a.bin"), platform::kUrlPathNotFound},
        {server.Url("/f"), "", platform::kUrlPathNotFound},
    };
    for (const auto& c : cases) {
        Progress progress;
        EXPECT_EQ(platform::DownloadUrlToFile(W(c.url), W(c.path), progress.Settings()), c.expected)
            << c.url << " -> " << c.path;
    }
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"plain-file"});
}

TEST(UrlDownload, AbortEndsTheTransferAndRemovesThePartialBody) {
    TestHttpServer server;
    Resource slow;
    slow.body = std::string(100000, 's');
    slow.bytesPerSecond = 20000;  // five seconds for the whole body
    server.Serve("/f", slow);
    TempDir dir;
    platform::UrlDownloadSettings settings;
    uint64_t seen = 0;
    settings.progress = [&seen](uint64_t current, uint64_t) { seen = current; };
    settings.shouldAbort = [&seen] { return seen >= 5000; };
    EXPECT_EQ(platform::DownloadUrlToFile(W(server.Url("/f")), dir.WFile("pkg.bin"), settings), platform::kUrlAbort);
    EXPECT_LT(seen, 100000u);
    EXPECT_TRUE(FolderEntries(dir.path()).empty());
}

TEST(UrlDownload, AbortEndsAWaitForASilentServer) {
    TestHttpServer server;
    Resource silent;
    silent.stallBeforeHeaders = std::chrono::hours(1);
    server.Serve("/f", silent);
    TempDir dir;
    platform::UrlDownloadSettings settings;
    settings.answerLimit = std::chrono::hours(1);
    // Answers "abort" once the request has reached the server.
    settings.shouldAbort = [&server] { return !server.Requests().empty(); };
    EXPECT_EQ(platform::DownloadUrlToFile(W(server.Url("/f")), dir.WFile("pkg.bin"), settings), platform::kUrlAbort);
}

// ---------------------------------------------------------------- success

TEST(UrlDownload, FollowsARedirectChainAndReportsProgressAgainstTheLength) {
    TestHttpServer server;
    server.Serve("/hop1", Redirect(301, "/hop2"));
    server.Serve("/hop2", Redirect(302, server.Url("/pkg.bin")));
    std::string body;
    for (int i = 0; i < 700000; ++i) body += static_cast<char>('a' + i % 26);
    server.Serve("/pkg.bin", MakeResource(body));
    TempDir dir;
    testsupport::WriteFile(dir.File("pkg.bin"), "an older file");

    Progress progress;
    ASSERT_EQ(platform::DownloadUrlToFile(W(server.Url("/hop1")), dir.WFile("pkg.bin"), progress.Settings()),
              platform::kUrlOk);
    EXPECT_EQ(testsupport::ReadFile(dir.File("pkg.bin")), body);
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"pkg.bin"});

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[2].path, "/pkg.bin");
    EXPECT_EQ(requests[2].headers.count("accept-encoding"), 0u);  // the bytes must come as stored
    EXPECT_EQ(requests[2].range, "");

    ASSERT_GE(progress.notices.size(), 2u);
    EXPECT_EQ(progress.notices.front(), std::make_pair(uint64_t{0}, uint64_t{body.size()}));
    EXPECT_EQ(progress.notices.back(), std::make_pair(uint64_t{body.size()}, uint64_t{body.size()}));
    for (size_t i = 1; i < progress.notices.size(); ++i) {
        EXPECT_GE(progress.notices[i].first, progress.notices[i - 1].first);
        EXPECT_EQ(progress.notices[i].second, body.size());
    }
}

TEST(UrlDownload, BodyWithoutLengthEndsAtCloseWithoutATotal) {
    TestHttpServer server;
    Resource streamed;
    streamed.body = std::string(300000, 'n');
    streamed.sendContentLength = false;
    server.Serve("/f", streamed);
    TempDir dir;
    Progress progress;
    ASSERT_EQ(platform::DownloadUrlToFile(W(server.Url("/f")), dir.WFile("pkg.bin"), progress.Settings()),
              platform::kUrlOk);
    EXPECT_EQ(testsupport::ReadFile(dir.File("pkg.bin")), streamed.body);
    ASSERT_FALSE(progress.notices.empty());
    for (const auto& notice : progress.notices) EXPECT_EQ(notice.second, 0u);
}

TEST(UrlDownload, CopiesFileAddressesWithPlainOrEscapedNames) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("src dir"));
    const std::string content(200000, 'f');
    testsupport::WriteFile(dir.File("src dir/my file 图.bin"), content);
    const std::vector<std::string> urls = {
        "file://" + dir.File("src dir/my file 图.bin"),
        "file://" + dir.File("src%20dir/my%20file%20%E5%9B%BE.bin"),
    };
    for (const auto& url : urls) {
        std::filesystem::remove(dir.File("copy.bin"));
        Progress progress;
        ASSERT_EQ(platform::DownloadUrlToFile(W(url), dir.WFile("copy.bin"), progress.Settings()), platform::kUrlOk)
            << url;
        EXPECT_EQ(testsupport::ReadFile(dir.File("copy.bin")), content);
        ASSERT_FALSE(progress.notices.empty());
        EXPECT_EQ(progress.notices.back(), std::make_pair(uint64_t{content.size()}, uint64_t{content.size()}));
    }
    EXPECT_EQ(FolderEntries(dir.path()), (std::vector<std::string>{"copy.bin", "src dir"}));
}

}  // namespace
