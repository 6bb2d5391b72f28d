// The test server and the nginx fixture, checked with a raw socket client
// that sees every byte and when it arrived.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <map>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "tests/support/http/ChildProgram.h"
#include "tests/support/http/NginxServer.h"
#include "tests/support/http/TestCertificates.h"
#include "tests/support/http/TestHttpServer.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testsupport::MakeResource;
using testsupport::Redirect;
using testsupport::Resource;
using testsupport::TestHttpServer;

struct Chunk {
    Clock::time_point at;
    std::string bytes;
};

// Sends `request` and reads until the server closes (or `limit` passes).
struct Exchange {
    bool closedByServer = false;
    Clock::time_point sentAt;
    std::vector<Chunk> chunks;

    std::string Raw() const {
        std::string raw;
        for (const auto& chunk : chunks) raw += chunk.bytes;
        return raw;
    }
    // When the `count`-th byte of the whole answer arrived.
    Clock::time_point TimeOfByte(size_t count) const {
        size_t seen = 0;
        for (const auto& chunk : chunks) {
            seen += chunk.bytes.size();
            if (seen >= count) return chunk.at;
        }
        return Clock::time_point::max();
    }
};

Exchange Send(uint16_t port, const std::string& request, std::chrono::milliseconds limit = 10s) {
    Exchange exchange;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return exchange;
    }
    // Taken before sending: the server's clock for this request starts later.
    exchange.sentAt = Clock::now();
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    const auto end = exchange.sentAt + limit;
    char buffer[65536];
    while (Clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) {
            exchange.closedByServer = true;
            break;
        }
        exchange.chunks.push_back({Clock::now(), std::string(buffer, static_cast<size_t>(got))});
    }
    ::close(fd);
    return exchange;
}

struct Answer {
    int status = 0;
    std::map<std::string, std::string> headers;  // names as sent
    std::string body;
    size_t headBytes = 0;

    bool Has(const std::string& name) const { return headers.count(name) != 0; }
    std::string operator[](const std::string& name) const {
        auto it = headers.find(name);
        return it == headers.end() ? std::string() : it->second;
    }
};

Answer Parse(const std::string& raw) {
    Answer answer;
    const size_t end = raw.find("\r\n\r\n");
    if (end == std::string::npos || raw.compare(0, 9, "HTTP/1.1 ") != 0) return answer;
    answer.status = std::stoi(raw.substr(9, 3));
    size_t line = raw.find("\r\n") + 2;
    while (line < end) {
        const size_t next = raw.find("\r\n", line);
        const std::string header = raw.substr(line, next - line);
        const size_t colon = header.find(": ");
        answer.headers[header.substr(0, colon)] = header.substr(colon + 2);
        line = next + 2;
    }
    answer.headBytes = end + 4;
    answer.body = raw.substr(end + 4);
    return answer;
}

std::string Request(const std::string& method, const std::string& target, const std::string& headers = "") {
    return method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers + "\r\n";
}

Answer Get(uint16_t port, const std::string& target, const std::string& headers = "") {
    const Exchange exchange = Send(port, Request("GET", target, headers));
    EXPECT_TRUE(exchange.closedByServer) << target;
    return Parse(exchange.Raw());
}

// ---------------------------------------------------------------- ranges

struct RangeCase {
    const char* range;
    int status;
    const char* contentRange;  // "" means: no Content-Range header
    const char* body;
};

class ServerRanges : public ::testing::TestWithParam<RangeCase> {};

TEST_P(ServerRanges, AnswersSingleByteRanges) {
    const RangeCase& c = GetParam();
    TestHttpServer server;
    server.Serve("/f", MakeResource("0123456789"));
    const std::string header = *c.range ? std::string("Range: ") + c.range + "\r\n" : "";
    const Answer answer = Get(server.port(), "/f", header);
    EXPECT_EQ(answer.status, c.status);
    EXPECT_EQ(answer["Content-Range"], c.contentRange);
    EXPECT_EQ(answer.body, c.body);
    EXPECT_EQ(answer["Content-Length"], std::to_string(std::string(c.body).size()));
    EXPECT_EQ(answer["Connection"], "close");
    if (c.status != 416) {
        EXPECT_EQ(answer["Accept-Ranges"], "bytes");
    }
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].range, c.range);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ServerRanges,
    ::testing::Values(RangeCase{"", 200, "", "0123456789"},                       //
                      RangeCase{"bytes=2-5", 206, "bytes 2-5/10", "2345"},        //
                      RangeCase{"bytes=7-", 206, "bytes 7-9/10", "789"},          //
                      RangeCase{"bytes=0-0", 206, "bytes 0-0/10", "0"},           //
                      RangeCase{"bytes=9-", 206, "bytes 9-9/10", "9"},            //
                      RangeCase{"bytes=8-100", 206, "bytes 8-9/10", "89"},        //
                      RangeCase{"bytes=-3", 206, "bytes 7-9/10", "789"},          //
                      RangeCase{"bytes=10-", 416, "bytes */10", ""},              //
                      RangeCase{"bytes=12-15", 416, "bytes */10", ""},            //
                      RangeCase{"bytes=0-1,4-5", 200, "", "0123456789"},          //
                      RangeCase{"bytes=5-2", 200, "", "0123456789"},              //
                      RangeCase{"items=1-2", 200, "", "0123456789"}));

TEST(Server, HeadSendsTheHeadersOfTheGetWithoutABody) {
    TestHttpServer server;
    server.Serve("/f", MakeResource(std::string(5000, 'x')));
    Resource noLength = MakeResource("streamed until close");
    noLength.sendContentLength = false;
    server.Serve("/n", noLength);

    const Exchange head = Send(server.port(), Request("HEAD", "/f"));
    EXPECT_TRUE(head.closedByServer);
    const Answer answer = Parse(head.Raw());
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer["Content-Length"], "5000");
    EXPECT_EQ(answer["Accept-Ranges"], "bytes");
    EXPECT_EQ(answer.body, "");

    const Answer ranged = Parse(Send(server.port(), Request("HEAD", "/f", "Range: bytes=100-\r\n")).Raw());
    EXPECT_EQ(ranged.status, 206);
    EXPECT_EQ(ranged["Content-Length"], "4900");
    EXPECT_EQ(ranged.body, "");

    const Answer headNoLength = Parse(Send(server.port(), Request("HEAD", "/n")).Raw());
    EXPECT_EQ(headNoLength.status, 200);
    EXPECT_FALSE(headNoLength.Has("Content-Length"));
    const Answer getNoLength = Get(server.port(), "/n");
    EXPECT_FALSE(getNoLength.Has("Content-Length"));
    EXPECT_EQ(getNoLength.body, "streamed until close");
}

TEST(Server, AnswersAnyStatusAndUnknownPathsWith404) {
    TestHttpServer server;
    Resource unavailable = MakeResource("try later");
    unavailable.status = 503;
    server.Serve("/busy", unavailable);
    Resource empty;
    empty.status = 204;
    server.Serve("/empty", empty);

    const Answer busy = Get(server.port(), "/busy", "Range: bytes=0-1\r\n");
    EXPECT_EQ(busy.status, 503);
    EXPECT_EQ(busy.body, "try later");  // ranges apply to 200 answers only
    EXPECT_FALSE(busy.Has("Content-Range"));
    const Answer noContent = Get(server.port(), "/empty");
    EXPECT_EQ(noContent.status, 204);
    EXPECT_FALSE(noContent.Has("Content-Length"));
    EXPECT_EQ(Get(server.port(), "/nobody").status, 404);
    EXPECT_EQ(Parse(Send(server.port(), Request("POST", "/busy")).Raw()).status, 501);
}

// ---------------------------------------------------------------- faults

TEST(Server, DropClosesAfterTheGivenBodyBytesEvenInARange) {
    TestHttpServer server;
    Resource resource = MakeResource(std::string(1000, 'a') + std::string(1000, 'b'));
    resource.dropAfterBytes = 300;
    server.Serve("/f", resource);

    const Answer whole = Get(server.port(), "/f");
    EXPECT_EQ(whole.status, 200);
    EXPECT_EQ(whole["Content-Length"], "2000");  // promised, then broken
    EXPECT_EQ(whole.body, std::string(300, 'a'));

    const Answer ranged = Get(server.port(), "/f", "Range: bytes=900-\r\n");
    EXPECT_EQ(ranged.status, 206);
    EXPECT_EQ(ranged["Content-Length"], "1100");
    EXPECT_EQ(ranged.body, std::string(100, 'a') + std::string(200, 'b'));
}

TEST(Server, FaultyRequestsCountsGetsOnlyAndLaterGetsAreClean) {
    TestHttpServer server;
    Resource resource = MakeResource("0123456789");
    resource.dropAfterBytes = 4;
    resource.honourRanges = false;
    resource.faultyRequests = 2;
    server.Serve("/f", resource);

    // HEADs are clean and do not use up the faulty GETs.
    const Answer head = Parse(Send(server.port(), Request("HEAD", "/f")).Raw());
    EXPECT_EQ(head["Accept-Ranges"], "bytes");
    for (int i = 0; i < 2; ++i) {
        const Answer faulty = Get(server.port(), "/f", "Range: bytes=5-\r\n");
        EXPECT_EQ(faulty.status, 200) << i;
        EXPECT_EQ(faulty.body, "0123") << i;
        EXPECT_FALSE(faulty.Has("Accept-Ranges"));
    }
    const Answer clean = Get(server.port(), "/f", "Range: bytes=5-\r\n");
    EXPECT_EQ(clean.status, 206);
    EXPECT_EQ(clean.body, "56789");

    // Serving the path anew starts the count again.
    server.Serve("/f", resource);
    EXPECT_EQ(Get(server.port(), "/f").body, "0123");
}

TEST(Server, WrongContentRangeReplacesTheCorrectOne) {
    TestHttpServer server;
    Resource resource = MakeResource("0123456789");
    resource.contentRange = "bytes 0-4/10";
    server.Serve("/f", resource);
    const Answer answer = Get(server.port(), "/f", "Range: bytes=5-\r\n");
    EXPECT_EQ(answer.status, 206);
    EXPECT_EQ(answer["Content-Range"], "bytes 0-4/10");
    EXPECT_EQ(answer.body, "56789");  // the bytes still are those asked for
}

TEST(Server, StallBeforeHeadersKeepsSilentThenAnswers) {
    TestHttpServer server;
    Resource resource = MakeResource("late");
    resource.stallBeforeHeaders = 700ms;
    server.Serve("/f", resource);
    const Exchange exchange = Send(server.port(), Request("GET", "/f"));
    ASSERT_FALSE(exchange.chunks.empty());
    EXPECT_GE(exchange.chunks.front().at - exchange.sentAt, 700ms);
    EXPECT_EQ(Parse(exchange.Raw()).body, "late");
}

TEST(Server, StallAtByteKeepsSilentInTheMiddleOfTheBody) {
    TestHttpServer server;
    Resource resource = MakeResource(std::string(4000, 'z'));
    resource.stallAtByte = 1500;
    resource.stallFor = 700ms;
    server.Serve("/f", resource);
    const Exchange exchange = Send(server.port(), Request("GET", "/f"));
    const Answer answer = Parse(exchange.Raw());
    ASSERT_EQ(answer.body.size(), 4000u);
    const auto before = exchange.TimeOfByte(answer.headBytes + 1500);
    const auto after = exchange.TimeOfByte(answer.headBytes + 1501);
    // Byte 1501 can't leave before the silence has passed; the bytes before
    // it arrived apart from it, ahead of the silence.
    EXPECT_GE(after - exchange.sentAt, 700ms);
    EXPECT_LT(before, after);
}

TEST(Server, TrickleSpreadsTheBodyOverTime) {
    TestHttpServer server;
    Resource resource = MakeResource(std::string(2000, 't'));
    resource.bytesPerSecond = 4000;  // half a second for the whole body
    server.Serve("/f", resource);
    const Exchange exchange = Send(server.port(), Request("GET", "/f"));
    const Answer answer = Parse(exchange.Raw());
    ASSERT_EQ(answer.body.size(), 2000u);
    EXPECT_GE(exchange.TimeOfByte(exchange.Raw().size()) - exchange.sentAt, 450ms);
    EXPECT_GT(exchange.chunks.size(), 5u);  // many small pieces, not one block
}

TEST(Server, DestructionEndsAStalledAnswer) {
    auto server = std::make_unique<TestHttpServer>();
    Resource resource = MakeResource("never");
    resource.stallBeforeHeaders = std::chrono::hours(1);
    server->Serve("/f", resource);
    const uint16_t port = server->port();
    auto client = std::async(std::launch::async, [port] { return Send(port, Request("GET", "/f"), 120s); });
    // Destroy only once the request is in, so the connection is really held.
    for (int i = 0; i < 200 && server->Requests().empty(); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_EQ(server->Requests().size(), 1u);
    server.reset();
    const Exchange exchange = client.get();
    EXPECT_TRUE(exchange.closedByServer);
    EXPECT_TRUE(exchange.chunks.empty());
}

// ---------------------------------------------------- redirects, recording

TEST(Server, RedirectChainLeadsToTheBodyAndIsRecordedInOrder) {
    TestHttpServer server;
    server.Serve("/hop1", Redirect(301, server.Url("/hop2")));
    server.Serve("/hop2", Redirect(302, "/final?x=1"));
    server.Serve("/final", MakeResource("arrived"));

    std::string target = "/hop1";
    std::vector<int> statuses;
    Answer answer;
    for (int hop = 0; hop < 5; ++hop) {
        answer = Get(server.port(), target);
        statuses.push_back(answer.status);
        if (answer.status < 300 || answer.status > 399) break;
        target = answer["Location"];
        const std::string origin = server.Url("");
        if (target.compare(0, origin.size(), origin) == 0) target = target.substr(origin.size());
    }
    EXPECT_EQ(statuses, (std::vector<int>{301, 302, 200}));
    EXPECT_EQ(answer.body, "arrived");

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].path, "/hop1");
    EXPECT_EQ(requests[1].path, "/hop2");
    EXPECT_EQ(requests[2].path, "/final?x=1");  // the target as sent, query included
}

TEST(Server, RecordsMethodTargetRangeAndHeadersPerPath) {
    TestHttpServer server;
    server.Serve("/a", MakeResource("a"));
    server.Serve("/b", MakeResource("b"));
    Get(server.port(), "/a", "Range: bytes=0-\r\nX-Mixed-Case:  spaced value \r\n");
    Send(server.port(), Request("HEAD", "/b"));
    Get(server.port(), "/a");
    Get(server.port(), "/missing");

    const auto all = server.Requests();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[1].method, "HEAD");
    EXPECT_EQ(all[3].path, "/missing");  // unknown paths are recorded too

    const auto a = server.Requests("/a");
    ASSERT_EQ(a.size(), 2u);
    EXPECT_EQ(a[0].method, "GET");
    EXPECT_EQ(a[0].range, "bytes=0-");
    EXPECT_EQ(a[0].headers.at("x-mixed-case"), "spaced value");
    EXPECT_EQ(a[0].headers.at("host"), "127.0.0.1");
    EXPECT_EQ(a[1].range, "");
    EXPECT_EQ(server.Requests("/b").size(), 1u);

    server.ClearRequests();
    EXPECT_TRUE(server.Requests().empty());
    Get(server.port(), "/b");
    EXPECT_EQ(server.Requests().size(), 1u);
}

// ---------------------------------------------------------------- nginx

TEST(Nginx, ServesAFolderWithRangesAndRedirectsOnALoopbackPort) {
    testsupport::TempDir files;
    testsupport::WriteFile(files.File("pkg.bin"), "nginx-served-bytes");
    testsupport::NginxOptions options;
    options.root = files.path();
    options.redirects = {{"/old", "/pkg.bin"}};
    testsupport::NginxServer nginx(options);
    ASSERT_TRUE(nginx.Started()) << nginx.Log();
    EXPECT_EQ(nginx.Url("/x"), "http://127.0.0.1:" + std::to_string(nginx.port()) + "/x");

    const Answer head = Parse(Send(nginx.port(), Request("HEAD", "/pkg.bin", "Connection: close\r\n")).Raw());
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head["Content-Length"], "18");
    EXPECT_EQ(head["Accept-Ranges"], "bytes");
    const Answer ranged = Get(nginx.port(), "/pkg.bin", "Range: bytes=6-\r\nConnection: close\r\n");
    EXPECT_EQ(ranged.status, 206);
    EXPECT_EQ(ranged["Content-Range"], "bytes 6-17/18");
    EXPECT_EQ(ranged.body, "served-bytes");
    const Answer moved = Get(nginx.port(), "/old", "Connection: close\r\n");
    EXPECT_EQ(moved.status, 302);
    EXPECT_EQ(moved["Location"], "/pkg.bin");
}

// ---------------------------------------------------------- certificates

TEST(TestCertificates, ServerCertificateVerifiesOnlyAgainstItsOwnAuthority) {
    testsupport::TestCertificates certs;
    ASSERT_TRUE(certs.Ready()) << certs.Log();
    testsupport::TempDir work;
    const std::string openssl = testsupport::FindProgram("openssl");
    auto verify = [&](const std::string& ca, const std::string& cert) {
        return testsupport::RunProgram({openssl, "verify", "-CAfile", ca, "-verify_ip", "127.0.0.1", cert},
                                       work.File("verify.log"));
    };
    EXPECT_EQ(verify(certs.caFile(), certs.serverCert()), 0) << testsupport::ReadFile(work.File("verify.log"));
    EXPECT_EQ(verify(certs.otherCaFile(), certs.otherServerCert()), 0);
    EXPECT_NE(verify(certs.otherCaFile(), certs.serverCert()), 0);
    EXPECT_NE(verify(certs.caFile(), certs.otherServerCert()), 0);
}

}  // namespace
