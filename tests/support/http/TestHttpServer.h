// An HTTP/1.1 server of our own for tests: listens on 127.0.0.1 on an
// ephemeral port, serves resources registered by the test, injects transport
// faults on request, and records every request it receives.
//
// Threads: the server runs its own accept thread and one thread per
// connection, all owned and joined by the destructor (which also closes
// every open connection, so a stalled answer never holds a test up).
// Serve/Requests/ClearRequests may be called from the test's thread at any
// time.
//
// Every answer says "Connection: close" and the connection closes after it
// (a body without Content-Length ends there). Methods other than GET and
// HEAD get 501; a path nobody serves gets 404. A request is looked up by its
// target as sent, then by the target without its query.
#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

struct RecordedRequest {
    std::string method;  // "GET", "HEAD", ...
    std::string path;    // request target as sent, query included
    std::string range;   // value of the Range header, empty if none
    std::map<std::string, std::string> headers;  // lower-case names
};

// How one path answers. Defaults: 200, the body, Content-Length, single
// byte ranges honoured with 206 and Content-Range, "Accept-Ranges: bytes".
struct Resource {
    static constexpr size_t kNever = std::numeric_limits<size_t>::max();

    std::string body;
    int status = 200;                // any status; 3xx uses `location`
    std::string location;            // Location header for redirects
    bool sendContentLength = true;   // false: no length, body ends at close
    bool honourRanges = true;        // false: a Range request gets 200 and the whole body
    std::string contentRange;        // non-empty: sent instead of the correct Content-Range on 206
    size_t dropAfterBytes = kNever;  // close the connection after this many body bytes
    std::chrono::milliseconds stallBeforeHeaders{0};  // silence before the status line
    size_t stallAtByte = kNever;     // silence after this many body bytes ...
    std::chrono::milliseconds stallFor{0};            // ... for this long
    size_t bytesPerSecond = 0;       // trickle the body at this rate (0: full speed)
    // The faults above (drop, stalls, wrong Content-Range, ignored ranges)
    // apply to the first `faultyRequests` GET requests of this path only;
    // later GETs are served cleanly. Negative: every request is faulty.
    // A HEAD is faulty only when this is negative (the stall before the
    // headers and the range faults apply; it has no body); HEADs never count
    // towards the number.
    // Counts start again when the path is served anew. Body byte counts are
    // taken in the answer's own body (the range of a 206).
    int faultyRequests = -1;
};

// A resource with `body`, adjusted by `adjust` (defaults otherwise).
template <typename Adjust>
Resource MakeResource(std::string body, Adjust adjust) {
    Resource resource;
    resource.body = std::move(body);
    adjust(resource);
    return resource;
}
inline Resource MakeResource(std::string body) {
    return MakeResource(std::move(body), [](Resource&) {});
}

// An empty answer with `status` (a 3xx) pointing to `location`.
inline Resource Redirect(int status, std::string location) {
    Resource resource;
    resource.status = status;
    resource.location = std::move(location);
    return resource;
}

class TestHttpServer {
public:
    TestHttpServer();
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    uint16_t port() const;
    // "http://127.0.0.1:PORT" + path
    std::string Url(const std::string& path) const;

    void Serve(const std::string& path, Resource resource);
    std::vector<RecordedRequest> Requests() const;
    // The requests whose target was exactly `path`, in arrival order.
    std::vector<RecordedRequest> Requests(const std::string& path) const;
    void ClearRequests();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A loopback port nobody listens on (a server's port after it has gone).
inline uint16_t RefusedPort() {
    TestHttpServer gone;
    return gone.port();
}

}  // namespace testsupport
