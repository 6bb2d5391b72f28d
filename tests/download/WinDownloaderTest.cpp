// The system downloader: its address escaping, its events, tries and
// pauses against our server, TLS through a local nginx with a test
// authority, "file:" copies, and destruction at any moment.
#include "download/CWinDownloader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "download/DownloadEvents.h"
#include "download/SystemUrlEscape.h"
#include "platform/UrlDownload.h"
#include "tests/download/DownloadFixtures.h"
#include "tests/support/EventRecorder.h"
#include "tests/support/TempDir.h"
#include "tests/support/http/NginxServer.h"
#include "tests/support/http/TestCertificates.h"
#include "tests/support/http/TestHttpServer.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testsupport::EventRecorder;
using testsupport::MakeResource;
using testsupport::PatternBody;
using testsupport::Resource;
using testsupport::StallLimit;
using testsupport::TempDir;
using testsupport::TestHttpServer;
using testsupport::W;

// ------------------------------------------------------------- escaping

struct EscapeCase {
    const wchar_t* url;
    const wchar_t* expected;
};

class SystemUrlEscape : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(SystemUrlEscape, EscapesByteByByte) {
    EXPECT_EQ(EscapeUrlForSystemDownload(GetParam().url), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SystemUrlEscape,
    ::testing::Values(
        EscapeCase{L"http://h/dir/my file 图.exe", L"http://h/dir/my+file+%E5%9B%BE.exe"},
        EscapeCase{L"http://h/a%20b.exe", L"http://h/a%20b.exe"},  // escaped once only
        EscapeCase{L"https://h:8443/p?q=1&r=a/b:c~!", L"https://h:8443/p?q=1&r=a/b:c~!"},
        EscapeCase{L"http://h/tab\there", L"http://h/tab%09here"},
        EscapeCase{L"http://h/del\x7F", L"http://h/del%7F"},
        EscapeCase{L"http://h/\u00e9", L"http://h/%C3%A9"},
        EscapeCase{L"http://h/\U0001F600", L"http://h/%F0%9F%98%80"},
        EscapeCase{L"file:///tmp/my file 图.exe", L"file:///tmp/my file 图.exe"},  // untouched
        EscapeCase{L"file://host/x y", L"file://host/x+y"},                      // not "file:///"
        EscapeCase{L"", L""}));

// ---------------------------------------------------------------- events

// Runs one download to its end; the downloader is gone (its worker joined)
// when this returns, so the recorder holds every event it will ever send.
struct Download {
    EventRecorder recorder;
    Clock::time_point startedAt;

    Download(const std::string& url, const std::wstring& path, TransferOptions options = {}) {
        CWinDownloader downloader(recorder.Callback(), W(url), path, options);
        startedAt = Clock::now();
        downloader.Start();
        EXPECT_TRUE(recorder.WaitForEnd(60s)) << url;
    }
};

void ExpectProgressWithinOne(const EventRecorder& recorder) {
    for (const auto& event : recorder.Events()) {
        if (event.code != DL_CODE_PROGRESS) continue;
        EXPECT_GE(event.value, 0.0);
        EXPECT_LE(event.value, 1.0);
        EXPECT_EQ(event.text, L"");
    }
}

void ExpectFailure(const EventRecorder& recorder, double code) {
    EXPECT_EQ(recorder.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_FAIL}));
    EXPECT_EQ(recorder.Last().value, code);
    EXPECT_EQ(recorder.Last().text, L"URLDownloadToFile");
}

TEST(CWinDownloader, SuccessSendsStartProgressUpToOneThenSuccess) {
    TestHttpServer server;
    const std::string body = PatternBody(900000);
    server.Serve("/dir/my+file+%E5%9B%BE.bin", MakeResource(body));
    TempDir dir;
    Download run(server.Url("/dir/my file 图.bin"), dir.WFile("pkg.bin"));

    const auto events = run.recorder.Events();
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events.front().code, DL_CODE_START);
    EXPECT_EQ(events.front().value, 1.0);
    EXPECT_EQ(events.front().text, L"");
    EXPECT_EQ(run.recorder.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS}));
    EXPECT_EQ(run.recorder.Last().value, 0.0);
    EXPECT_EQ(run.recorder.Last().text, L"URLDownloadToFile");

    const auto values = run.recorder.ProgressValues();
    ASSERT_GE(values.size(), 2u);
    for (size_t i = 1; i < values.size(); ++i) EXPECT_GE(values[i], values[i - 1]);
    EXPECT_EQ(values.back(), 1.0);
    ExpectProgressWithinOne(run.recorder);

    EXPECT_EQ(testsupport::ReadFile(dir.File("pkg.bin")), body);
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].path, "/dir/my+file+%E5%9B%BE.bin");
}

TEST(CWinDownloader, WithoutLengthThereIsNoProgress) {
    TestHttpServer server;
    Resource streamed = MakeResource(PatternBody(400000));
    streamed.sendContentLength = false;
    server.Serve("/pkg.bin", streamed);
    TempDir dir;
    Download run(server.Url("/pkg.bin"), dir.WFile("pkg.bin"));
    EXPECT_EQ(run.recorder.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS}));
    EXPECT_TRUE(run.recorder.ProgressValues().empty());
    EXPECT_EQ(testsupport::ReadFile(dir.File("pkg.bin")), streamed.body);
}

TEST(CWinDownloader, NotFoundThreeTriesWithPausesThenFailWithTheSignedCode) {
    TestHttpServer server;
    Resource missing = MakeResource("gone");
    missing.status = 404;
    server.Serve("/pkg.bin", missing);
    TempDir dir;
    Download run(server.Url("/pkg.bin"), dir.WFile("pkg.bin"));
    ExpectFailure(run.recorder, -2146697211.0);  // INET_E_RESOURCE_NOT_FOUND read as signed
    EXPECT_EQ(server.Requests().size(), 3u);
    // Two pauses between the tries and one after the last.
    EXPECT_GE(run.recorder.EndedAt() - run.startedAt, 3000ms);
    EXPECT_FALSE(std::filesystem::exists(dir.File("pkg.bin")));
}

TEST(CWinDownloader, RefusedConnectionFailsWithCannotConnect) {
    TempDir dir;
    Download run("http://127.0.0.1:" + std::to_string(testsupport::RefusedPort()) + "/pkg.bin", dir.WFile("pkg.bin"));
    ExpectFailure(run.recorder, static_cast<double>(platform::kUrlCannotConnect));
}

TEST(CWinDownloader, SilentServerEndsEachTryAtTheStallLimit) {
    TestHttpServer server;
    server.Serve("/pkg.bin", MakeResource("", [](Resource& r) { r.stallBeforeHeaders = std::chrono::hours(1); }));
    TempDir dir;
    Download run(server.Url("/pkg.bin"), dir.WFile("pkg.bin"), StallLimit(1s));
    ExpectFailure(run.recorder, static_cast<double>(platform::kUrlConnectionTimeout));
    EXPECT_EQ(server.Requests().size(), 3u);
    EXPECT_GE(run.recorder.EndedAt() - run.startedAt, 6000ms);  // three limits, three pauses
}

TEST(CWinDownloader, CopiesAFileAddress) {
    TempDir dir;
    const std::string body = PatternBody(300000);
    testsupport::WriteFile(dir.File("source 图.bin"), body);
    Download run("file://" + dir.File("source 图.bin"), dir.WFile("pkg.bin"));
    EXPECT_EQ(run.recorder.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS}));
    ASSERT_FALSE(run.recorder.ProgressValues().empty());
    EXPECT_EQ(run.recorder.ProgressValues().back(), 1.0);
    ExpectProgressWithinOne(run.recorder);
    EXPECT_EQ(testsupport::ReadFile(dir.File("pkg.bin")), body);
}

TEST(CWinDownloader, EmptyPathFailsWithOneAndNoDownload) {
    TestHttpServer server;
    server.Serve("/pkg.bin", MakeResource("body"));
    Download run(server.Url("/pkg.bin"), L"");
    const auto events = run.recorder.Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].code, DL_CODE_START);
    EXPECT_EQ(events[1].code, DL_CODE_FAIL);
    EXPECT_EQ(events[1].value, 1.0);
    EXPECT_EQ(events[1].text, L"");
    EXPECT_TRUE(server.Requests().empty());
}

// --------------------------------------------------------------- threads

TEST(CWinDownloader, SecondStartHasNoEffect) {
    TestHttpServer server;
    server.Serve("/pkg.bin", MakeResource("body"));
    TempDir dir;
    EventRecorder recorder;
    {
        CWinDownloader downloader(recorder.Callback(), W(server.Url("/pkg.bin")), dir.WFile("pkg.bin"));
        downloader.Start();
        downloader.Start();
        ASSERT_TRUE(recorder.WaitForEnd(60s));
        downloader.Start();
    }
    EXPECT_EQ(recorder.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS}));
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST(CWinDownloader, NeverStartedDownloaderSendsNothing) {
    EventRecorder recorder;
    { CWinDownloader downloader(recorder.Callback(), L"http://127.0.0.1:1/pkg.bin", L"/tmp/never.bin"); }
    EXPECT_TRUE(recorder.Events().empty());
}

TEST(CWinDownloader, DestructionAbortsARunningDownloadWithoutFurtherEvents) {
    TestHttpServer server;
    server.Serve("/pkg.bin", MakeResource("", [](Resource& r) { r.stallBeforeHeaders = std::chrono::hours(1); }));
    TempDir dir;
    EventRecorder recorder;
    {
        // Only the abort can end this.
        CWinDownloader downloader(recorder.Callback(), W(server.Url("/pkg.bin")), dir.WFile("pkg.bin"), StallLimit(3600s));
        downloader.Start();
        for (int i = 0; i < 500 && server.Requests().empty(); ++i) std::this_thread::sleep_for(10ms);
        ASSERT_EQ(server.Requests().size(), 1u);
    }
    EXPECT_EQ(recorder.Codes(), std::vector<int>{DL_CODE_START});
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

// ------------------------------------------------------------------- TLS

class CWinDownloaderTls : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(certs_.Ready()) << certs_.Log();
        testsupport::WriteFile(files_.File("pkg.bin"), body_);
    }

    std::unique_ptr<testsupport::NginxServer> StartNginx(std::vector<std::pair<std::string, std::string>> redirects) {
        testsupport::NginxOptions options;
        options.root = files_.path();
        options.certFile = certs_.serverCert();
        options.keyFile = certs_.serverKey();
        options.redirects = std::move(redirects);
        auto nginx = std::make_unique<testsupport::NginxServer>(options);
        EXPECT_TRUE(nginx->Started()) << nginx->Log();
        return nginx;
    }

    TransferOptions Trusting(const std::string& caFile) const {
        TransferOptions options;
        options.caFile = caFile;
        return options;
    }

    testsupport::TestCertificates certs_;
    TempDir files_;
    TempDir dir_;
    const std::string body_ = PatternBody(500000);
};

TEST_F(CWinDownloaderTls, HttpsFromATrustedTestAuthority) {
    const auto nginx = StartNginx({});
    ASSERT_TRUE(nginx->Started());
    Download run(nginx->Url("/pkg.bin"), dir_.WFile("pkg.bin"), Trusting(certs_.caFile()));
    EXPECT_EQ(run.recorder.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS}));
    ExpectProgressWithinOne(run.recorder);
    EXPECT_EQ(testsupport::ReadFile(dir_.File("pkg.bin")), body_);
}

TEST_F(CWinDownloaderTls, UntrustedAuthorityIsRefused) {
    const auto nginx = StartNginx({});
    ASSERT_TRUE(nginx->Started());
    Download run(nginx->Url("/pkg.bin"), dir_.WFile("pkg.bin"), Trusting(certs_.otherCaFile()));
    ExpectFailure(run.recorder, static_cast<double>(platform::kUrlSecurityProblem));
    EXPECT_FALSE(std::filesystem::exists(dir_.File("pkg.bin")));
}

TEST_F(CWinDownloaderTls, HttpsStartRefusesARedirectToHttp) {
    TestHttpServer plain;
    plain.Serve("/pkg.bin", MakeResource("replaced on the way"));
    const auto nginx = StartNginx({{"/moved.bin", plain.Url("/pkg.bin")}});
    ASSERT_TRUE(nginx->Started());
    Download run(nginx->Url("/moved.bin"), dir_.WFile("pkg.bin"), Trusting(certs_.caFile()));
    ExpectFailure(run.recorder, static_cast<double>(platform::kUrlRedirectFailed));
    EXPECT_TRUE(plain.Requests().empty());
    EXPECT_FALSE(std::filesystem::exists(dir_.File("pkg.bin")));
}

TEST_F(CWinDownloaderTls, HttpStartMayBeRedirectedToHttps) {
    const auto nginx = StartNginx({});
    ASSERT_TRUE(nginx->Started());
    TestHttpServer plain;
    plain.Serve("/start", testsupport::Redirect(302, nginx->Url("/pkg.bin")));
    Download run(plain.Url("/start"), dir_.WFile("pkg.bin"), Trusting(certs_.caFile()));
    EXPECT_EQ(run.recorder.Codes(), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS}));
    EXPECT_EQ(testsupport::ReadFile(dir_.File("pkg.bin")), body_);
}

}  // namespace
