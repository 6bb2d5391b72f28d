#include "tests/support/http/TestHttpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <list>
#include <mutex>
#include <optional>
#include <thread>

namespace testsupport {
namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kMaxRequestHead = 64 * 1024;
constexpr size_t kFullSpeedChunk = 64 * 1024;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

const char* ReasonPhrase(int status) {
    switch (status) {
        case 200: return "OK";
        case 204: return "No Content";
        case 206: return "Partial Content";
        case 301: return "Moved Permanently";
        case 302: return "Found";
        case 303: return "See Other";
        case 304: return "Not Modified";
        case 307: return "Temporary Redirect";
        case 308: return "Permanent Redirect";
        case 400: return "Bad Request";
        case 403: return "Forbidden";
        case 404: return "Not Found";
        case 416: return "Range Not Satisfiable";
        case 500: return "Internal Server Error";
        case 501: return "Not Implemented";
        case 503: return "Service Unavailable";
        default: return "Status";
    }
}

bool StatusHasBody(int status) { return status >= 200 && status != 204 && status != 304; }

// A single range "bytes=a-b", "bytes=a-" or "bytes=-n"; nullopt for
// anything else (several ranges, other units, garbage), which servers may
// answer with the whole body.
struct ByteRange {
    std::optional<uint64_t> first;
    std::optional<uint64_t> last;
};

std::optional<uint64_t> ParseNumber(const std::string& text) {
    if (text.empty() || text.size() > 19) return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return value;
}

std::optional<ByteRange> ParseRange(const std::string& header) {
    const std::string prefix = "bytes=";
    if (header.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
    const std::string ranges = Trim(header.substr(prefix.size()));
    if (ranges.find(',') != std::string::npos) return std::nullopt;
    const auto dash = ranges.find('-');
    if (dash == std::string::npos) return std::nullopt;
    ByteRange range;
    const std::string a = Trim(ranges.substr(0, dash));
    const std::string b = Trim(ranges.substr(dash + 1));
    if (!a.empty()) {
        range.first = ParseNumber(a);
        if (!range.first) return std::nullopt;
    }
    if (!b.empty()) {
        range.last = ParseNumber(b);
        if (!range.last) return std::nullopt;
    }
    if (!range.first && !range.last) return std::nullopt;
    if (range.first && range.last && *range.last < *range.first) return std::nullopt;
    return range;
}

// What one request is answered with, before the transport faults.
struct Answer {
    int status = 200;
    std::vector<std::string> headers;
    size_t bodyOffset = 0;  // slice of the resource body
    size_t bodyLength = 0;
};

}  // namespace

struct TestHttpServer::Impl {
    struct Entry {
        std::shared_ptr<const Resource> resource;
        int getsServed = 0;
    };
    struct Connection {
        int fd = -1;
        std::thread thread;
        std::atomic<bool> done{false};
    };

    int listenFd = -1;
    int wakePipe[2] = {-1, -1};
    uint16_t port = 0;

    mutable std::mutex mutex;  // guards everything below and the connections' fds
    std::condition_variable stopSignal;
    bool stopping = false;
    std::map<std::string, Entry> resources;
    std::vector<RecordedRequest> requests;
    std::list<std::unique_ptr<Connection>> connections;

    std::thread acceptThread;

    bool Start();
    void Stop();
    void AcceptLoop();
    void Serve(Connection& connection);
    void CloseConnection(Connection& connection);

    bool ReadRequestHead(int fd, std::string& head);
    bool SendAll(int fd, const char* data, size_t size);
    // Silence for `duration`; false when the server is stopping.
    bool Pause(std::chrono::nanoseconds duration);
    bool PauseUntil(Clock::time_point when);
    void Respond(int fd, const RecordedRequest& request);
    void SendBody(int fd, const Resource& resource, const Answer& answer, bool faulty);
};

bool TestHttpServer::Impl::Start() {
    listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd < 0) return false;
    const int yes = 1;
    ::setsockopt(listenFd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return false;
    if (::listen(listenFd, 64) != 0) return false;
    socklen_t length = sizeof address;
    if (::getsockname(listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return false;
    port = ntohs(address.sin_port);
    if (::pipe2(wakePipe, O_CLOEXEC) != 0) return false;
    acceptThread = std::thread([this] { AcceptLoop(); });
    return true;
}

void TestHttpServer::Impl::AcceptLoop() {
    for (;;) {
        pollfd fds[2] = {{listenFd, POLLIN, 0}, {wakePipe[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents != 0) return;
        if ((fds[0].revents & POLLIN) == 0) continue;
        const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        std::lock_guard<std::mutex> lock(mutex);
        if (stopping) {
            ::close(fd);
            return;
        }
        // Reap the connections that have ended, so a long test doesn't pile
        // up finished threads.
        for (auto it = connections.begin(); it != connections.end();) {
            if ((*it)->done) {
                (*it)->thread.join();
                it = connections.erase(it);
            } else {
                ++it;
            }
        }
        auto connection = std::make_unique<Connection>();
        connection->fd = fd;
        Connection* raw = connection.get();
        connection->thread = std::thread([this, raw] {
            Serve(*raw);
            CloseConnection(*raw);
        });
        connections.push_back(std::move(connection));
    }
}

void TestHttpServer::Impl::CloseConnection(Connection& connection) {
    std::lock_guard<std::mutex> lock(mutex);
    if (connection.fd >= 0) ::close(connection.fd);
    connection.fd = -1;
    connection.done = true;
}

void TestHttpServer::Impl::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
        // Wakes every thread blocked in recv/send; stalls wake on the signal.
        for (auto& connection : connections) {
            if (connection->fd >= 0) ::shutdown(connection->fd, SHUT_RDWR);
        }
    }
    stopSignal.notify_all();
    if (wakePipe[1] >= 0) {
        const char byte = 0;
        [[maybe_unused]] const auto written = ::write(wakePipe[1], &byte, 1);
    }
    if (acceptThread.joinable()) acceptThread.join();
    // The accept thread has ended: the list no longer changes.
    for (auto& connection : connections) connection->thread.join();
    connections.clear();
    for (int* fd : {&listenFd, &wakePipe[0], &wakePipe[1]}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
}

bool TestHttpServer::Impl::Pause(std::chrono::nanoseconds duration) {
    return PauseUntil(Clock::now() + std::chrono::duration_cast<Clock::duration>(duration));
}

bool TestHttpServer::Impl::PauseUntil(Clock::time_point when) {
    std::unique_lock<std::mutex> lock(mutex);
    return !stopSignal.wait_until(lock, when, [this] { return stopping; });
}

bool TestHttpServer::Impl::ReadRequestHead(int fd, std::string& head) {
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
        if (head.size() > kMaxRequestHead) return false;
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        head.append(buffer, static_cast<size_t>(got));
    }
    return true;
}

bool TestHttpServer::Impl::SendAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

void TestHttpServer::Impl::Serve(Connection& connection) {
    const int fd = connection.fd;
    std::string head;
    if (!ReadRequestHead(fd, head)) return;
    const size_t headEnd = head.find("\r\n\r\n");

    RecordedRequest request;
    const size_t firstLineEnd = head.find("\r\n");
    const std::string requestLine = head.substr(0, firstLineEnd);
    const size_t space1 = requestLine.find(' ');
    const size_t space2 = requestLine.find(' ', space1 == std::string::npos ? space1 : space1 + 1);
    if (space1 == std::string::npos || space2 == std::string::npos) {
        const std::string bad = "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        SendAll(fd, bad.data(), bad.size());
        return;
    }
    request.method = requestLine.substr(0, space1);
    request.path = requestLine.substr(space1 + 1, space2 - space1 - 1);
    size_t lineStart = firstLineEnd + 2;
    while (lineStart < headEnd) {
        const size_t lineEnd = head.find("\r\n", lineStart);
        const std::string line = head.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 2;
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        request.headers[Lower(Trim(line.substr(0, colon)))] = Trim(line.substr(colon + 1));
    }
    if (auto it = request.headers.find("range"); it != request.headers.end()) request.range = it->second;
    {
        std::lock_guard<std::mutex> lock(mutex);
        requests.push_back(request);
    }
    Respond(fd, request);

    // Graceful close: our FIN first, then read what the client still sends,
    // so that closing never resets the connection under unread answer bytes.
    ::shutdown(fd, SHUT_WR);
    char sink[4096];
    const auto drainEnd = Clock::now() + std::chrono::seconds(2);
    while (Clock::now() < drainEnd) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) < 0 && errno != EINTR) break;
        if (p.revents == 0) {
            std::lock_guard<std::mutex> lock(mutex);
            if (stopping) break;
            continue;
        }
        if (::recv(fd, sink, sizeof sink, 0) <= 0) break;
    }
}

void TestHttpServer::Impl::Respond(int fd, const RecordedRequest& request) {
    const bool isHead = request.method == "HEAD";
    if (!isHead && request.method != "GET") {
        const std::string answer = "HTTP/1.1 501 Not Implemented\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        SendAll(fd, answer.data(), answer.size());
        return;
    }

    std::shared_ptr<const Resource> resource;
    bool faulty = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        auto it = resources.find(request.path);
        if (it == resources.end()) it = resources.find(request.path.substr(0, request.path.find('?')));
        if (it != resources.end()) {
            resource = it->second.resource;
            if (isHead) {
                faulty = resource->faultyRequests < 0;
            } else {
                faulty = resource->faultyRequests < 0 || it->second.getsServed < resource->faultyRequests;
                ++it->second.getsServed;
            }
        }
    }
    if (!resource) {
        const std::string answer =
            "HTTP/1.1 404 Not Found\r\nContent-Type: text/plain\r\nContent-Length: 10\r\nConnection: close\r\n\r\n";
        SendAll(fd, answer.data(), answer.size());
        if (!isHead) SendAll(fd, "not found\n", 10);
        return;
    }

    const Resource& res = *resource;
    const size_t size = res.body.size();
    const bool rangesHonoured = res.honourRanges || !faulty;
    Answer answer;
    answer.status = res.status;
    answer.bodyLength = StatusHasBody(res.status) ? size : 0;
    if (res.status == 200 && rangesHonoured) answer.headers.push_back("Accept-Ranges: bytes");
    if (!res.location.empty()) answer.headers.push_back("Location: " + res.location);

    if (res.status == 200 && rangesHonoured && !request.range.empty()) {
        if (const auto range = ParseRange(request.range)) {
            // A suffix "-n" asks for the last n bytes; "-0" is unsatisfiable.
            const uint64_t first = range->first ? *range->first : size - std::min<uint64_t>(*range->last, size);
            const bool satisfiable = first < size && (range->first || *range->last > 0);
            const uint64_t last = range->first && range->last ? std::min<uint64_t>(*range->last, size - 1) : size - 1;
            if (!satisfiable) {
                answer.status = 416;
                answer.bodyLength = 0;
                answer.headers.push_back("Content-Range: bytes */" + std::to_string(size));
            } else {
                answer.status = 206;
                answer.bodyOffset = static_cast<size_t>(first);
                answer.bodyLength = static_cast<size_t>(last - first + 1);
                const std::string correct =
                    "bytes " + std::to_string(first) + "-" + std::to_string(last) + "/" + std::to_string(size);
                answer.headers.push_back("Content-Range: " +
                                         (faulty && !res.contentRange.empty() ? res.contentRange : correct));
            }
        }
    }

    if (faulty && res.stallBeforeHeaders.count() > 0 && !Pause(res.stallBeforeHeaders)) return;

    std::string head = "HTTP/1.1 " + std::to_string(answer.status) + " " + ReasonPhrase(answer.status) + "\r\n";
    head += "Content-Type: application/octet-stream\r\n";
    if (StatusHasBody(answer.status) && (res.sendContentLength || answer.status == 416)) {
        head += "Content-Length: " + std::to_string(answer.bodyLength) + "\r\n";
    }
    for (const auto& header : answer.headers) head += header + "\r\n";
    head += "Connection: close\r\n\r\n";
    if (!SendAll(fd, head.data(), head.size())) return;
    if (isHead) return;
    SendBody(fd, res, answer, faulty);
}

void TestHttpServer::Impl::SendBody(int fd, const Resource& res, const Answer& answer, bool faulty) {
    const char* data = res.body.data() + answer.bodyOffset;
    const size_t end = faulty ? std::min(answer.bodyLength, res.dropAfterBytes) : answer.bodyLength;
    const bool stalls = faulty && res.stallFor.count() > 0 && res.stallAtByte != Resource::kNever;
    bool stalled = false;
    const auto start = Clock::now();
    size_t pos = 0;
    for (;;) {
        if (stalls && !stalled && pos == res.stallAtByte) {
            stalled = true;
            if (!Pause(res.stallFor)) return;
        }
        if (pos >= end) return;
        size_t boundary = end;
        if (stalls && !stalled && res.stallAtByte > pos) boundary = std::min(boundary, res.stallAtByte);
        const size_t chunk = res.bytesPerSecond > 0 ? std::max<size_t>(1, res.bytesPerSecond / 20) : kFullSpeedChunk;
        const size_t count = std::min(boundary - pos, chunk);
        if (!SendAll(fd, data + pos, count)) return;
        pos += count;
        if (res.bytesPerSecond > 0) {
            // The next piece waits until the bytes sent so far are due:
            // `pos` bytes take pos / rate seconds from the start.
            const auto due = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                                         static_cast<double>(pos) / static_cast<double>(res.bytesPerSecond)));
            if (!PauseUntil(due)) return;
        }
    }
}

TestHttpServer::TestHttpServer() : impl_(std::make_unique<Impl>()) {
    if (!impl_->Start()) {
        impl_->Stop();
        impl_->port = 0;
    }
}

TestHttpServer::~TestHttpServer() { impl_->Stop(); }

uint16_t TestHttpServer::port() const { return impl_->port; }

std::string TestHttpServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(impl_->port) + path;
}

void TestHttpServer::Serve(const std::string& path, Resource resource) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->resources[path] = Impl::Entry{std::make_shared<const Resource>(std::move(resource)), 0};
}

std::vector<RecordedRequest> TestHttpServer::Requests() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->requests;
}

std::vector<RecordedRequest> TestHttpServer::Requests(const std::string& path) const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    std::vector<RecordedRequest> matching;
    for (const auto& request : impl_->requests) {
        if (request.path == path) matching.push_back(request);
    }
    return matching;
}

void TestHttpServer::ClearRequests() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->requests.clear();
}

}  // namespace testsupport
