// Both libcurl downloaders against Debian's nginx (HEAD, ranges, redirects)
// and against nginx over TLS with a test authority that only the test
// trusts, through the downloaders' transfer options.
#include <gtest/gtest.h>

#include <filesystem>

#include "download/CurlClient.h"
#include "download/DownloaderFactory.h"
#include "platform/Utf8.h"
#include "tests/download/DownloadFixtures.h"
#include "tests/support/EventRecorder.h"
#include "tests/support/http/NginxServer.h"
#include "tests/support/http/TestCertificates.h"

namespace {

using namespace std::chrono_literals;
using testsupport::EventRecorder;
using testsupport::NginxOptions;
using testsupport::NginxServer;
using testsupport::PatternBody;
using testsupport::ReadFile;
using testsupport::TempDir;

constexpr int S = DL_CODE_START, OK = DL_CODE_SUCCESS, F = DL_CODE_FAIL;

// A package at /dl/<md5>/pkg.exe under `root`, and "/start" redirecting to it.
struct Package {
    std::string body;
    std::string path;
};

Package PublishPackage(const TempDir& root, size_t size, uint32_t seed) {
    Package package{PatternBody(size, seed), ""};
    const std::string md5 = testsupport::Md5Of(package.body);
    std::filesystem::create_directories(root.File("dl/" + md5));
    package.path = "/dl/" + md5 + "/pkg.exe";
    testsupport::WriteFile(root.File(package.path.substr(1)), package.body);
    return package;
}

struct Result {
    std::vector<int> codes;
    std::vector<testsupport::RecordedEvent> events;
};

Result Download(int type, const std::string& url, const std::string& destination, const TransferOptions& options) {
    EventRecorder recorder;
    auto downloader = CreateDownloader(type, recorder.Callback(), platform::Utf8ToWide(url),
                                       platform::Utf8ToWide(destination), options);
    downloader->Start();
    EXPECT_TRUE(recorder.WaitForEnd(120s));
    downloader.reset();
    return {recorder.Codes(), recorder.Events()};
}

struct CompatibilityCase {
    const char* name;
    int type;
    size_t size;
};
void PrintTo(const CompatibilityCase& c, std::ostream* os) { *os << c.name; }

class Nginx : public testing::TestWithParam<CompatibilityCase> {};

TEST_P(Nginx, ServesAPackageBehindARedirect) {
    TempDir root, dir;
    const Package package = PublishPackage(root, GetParam().size, 41);
    NginxServer nginx(NginxOptions{root.path(), 0, "", "", {{"/start", package.path}}});
    ASSERT_TRUE(nginx.Started()) << nginx.Log();
    const Result result = Download(GetParam().type, nginx.Url("/start"), dir.File("pkg.exe"), {});
    EXPECT_EQ(result.codes, (std::vector<int>{S, OK}));
    EXPECT_TRUE(ReadFile(dir.File("pkg.exe")) == package.body);
}

INSTANTIATE_TEST_SUITE_P(
    BothDownloaders, Nginx,
    testing::Values(CompatibilityCase{"single_stream", 1, 1048576 + 123},
                    // Two ranges, each answered by nginx with 206.
                    CompatibilityCase{"two_parts", 3, 20971521}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NginxClient, ResumesWithARangeNginxAnswers) {
    TempDir root, dir;
    const Package package = PublishPackage(root, 1048576 + 5000, 43);
    NginxServer nginx(NginxOptions{root.path(), 0, "", "", {}});
    ASSERT_TRUE(nginx.Started()) << nginx.Log();
    testsupport::WriteFile(dir.File("pkg.exe.part"), package.body.substr(0, 300));
    CurlClient client(platform::Utf8ToWide(nginx.Url(package.path)), dir.WFile("pkg.exe"), nullptr);
    ASSERT_EQ(client.Start(), 0);
    EXPECT_EQ(ReadFile(dir.File("pkg.exe")), package.body);
}

enum class Trust { TestAuthority, OtherAuthority, SystemStore };

struct TlsCase {
    const char* name;
    int type;
    Trust trust;
    std::vector<int> codes;
    double finalValue;
};
void PrintTo(const TlsCase& c, std::ostream* os) { *os << c.name; }

class Tls : public testing::TestWithParam<TlsCase> {};

TEST_P(Tls, OnlyTheTrustedAuthorityIsAccepted) {
    testsupport::TestCertificates certificates;
    ASSERT_TRUE(certificates.Ready()) << certificates.Log();
    TempDir root, dir;
    const Package package = PublishPackage(root, 1048576 + 7, 47);
    NginxServer nginx(
        NginxOptions{root.path(), 0, certificates.serverCert(), certificates.serverKey(), {{"/start", package.path}}});
    ASSERT_TRUE(nginx.Started()) << nginx.Log();

    TransferOptions options;
    if (GetParam().trust == Trust::TestAuthority) options.caFile = certificates.caFile();
    if (GetParam().trust == Trust::OtherAuthority) options.caFile = certificates.otherCaFile();
    const Result result = Download(GetParam().type, nginx.Url("/start"), dir.File("pkg.exe"), options);
    EXPECT_EQ(result.codes, GetParam().codes);
    ASSERT_FALSE(result.events.empty());
    EXPECT_EQ(result.events.back().value, GetParam().finalValue);
    if (GetParam().codes.back() == OK) {
        EXPECT_EQ(ReadFile(dir.File("pkg.exe")), package.body);
    } else {
        EXPECT_FALSE(testsupport::Exists(dir.File("pkg.exe")));
    }
}

INSTANTIATE_TEST_SUITE_P(
    BothDownloaders, Tls,
    testing::Values(TlsCase{"single_trusted", 1, Trust::TestAuthority, {S, OK}, 0.0},
                    // Every try fails its header-only requests: our -998.
                    TlsCase{"single_other_authority", 1, Trust::OtherAuthority, {S, F}, -998.0},
                    TlsCase{"single_system_store", 1, Trust::SystemStore, {S, F}, -998.0},
                    TlsCase{"multi_trusted", 3, Trust::TestAuthority, {S, OK}, 0.0},
                    TlsCase{"multi_other_authority", 3, Trust::OtherAuthority, {S, F}, 0.0},
                    TlsCase{"multi_system_store", 3, Trust::SystemStore, {S, F}, 0.0}),
    [](const auto& info) { return std::string(info.param.name); });

class HttpsStart : public testing::TestWithParam<int> {};

TEST_P(HttpsStart, IsNeverRedirectedToPlainHttp) {
    testsupport::TestCertificates certificates;
    ASSERT_TRUE(certificates.Ready()) << certificates.Log();
    testsupport::TestHttpServer plain;
    const std::string body = PatternBody(1048576, 53);
    const std::string path = "/dl/" + testsupport::Md5Of(body) + "/pkg.exe";
    plain.Serve(path, testsupport::MakeResource(body));
    TempDir root, dir;
    NginxServer nginx(
        NginxOptions{root.path(), 0, certificates.serverCert(), certificates.serverKey(), {{"/start", plain.Url(path)}}});
    ASSERT_TRUE(nginx.Started()) << nginx.Log();

    TransferOptions options;
    options.caFile = certificates.caFile();
    const Result result = Download(GetParam(), nginx.Url("/start"), dir.File("pkg.exe"), options);
    EXPECT_EQ(result.codes, (std::vector<int>{S, F}));
    EXPECT_TRUE(plain.Requests().empty());
    EXPECT_FALSE(testsupport::Exists(dir.File("pkg.exe")));
}

INSTANTIATE_TEST_SUITE_P(BothDownloaders, HttpsStart, testing::Values(1, 3),
                         [](const auto& info) { return info.param == 1 ? "single" : "multi"; });

}  // namespace
