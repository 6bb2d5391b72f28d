#include "tests/support/http/NginxServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/support/http/ChildProgram.h"

namespace testsupport {
namespace {

using namespace std::chrono_literals;

// A port the kernel hands out now. nginx binds it a moment later; if some
// other process takes it meanwhile, the start fails and we try another.
uint16_t FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    uint16_t port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(fd);
    return port;
}

bool Accepts(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

}  // namespace

NginxServer::NginxServer(NginxOptions options) : options_(std::move(options)) {
    for (const char* temp : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"}) {
        std::filesystem::create_directory(dir_.File(temp));
    }
    for (int attempt = 0; attempt < 5 && pid_ < 0; ++attempt) {
        const uint16_t port = FreePort();
        if (port != 0 && StartOn(port)) port_ = port;
    }
}

NginxServer::~NginxServer() {
    if (pid_ > 0) StopProgram(pid_, 10s);
}

std::string NginxServer::Config(uint16_t port) const {
    const bool tls = !options_.certFile.empty() && !options_.keyFile.empty();
    std::string conf;
    conf += "daemon off;\n";
    conf += "worker_processes 1;\n";
    if (::geteuid() == 0) conf += "user root;\n";
    conf += "pid " + dir_.File("nginx.pid") + ";\n";
    conf += "error_log " + dir_.File("error.log") + " warn;\n";
    conf += "events { worker_connections 64; }\n";
    conf += "http {\n";
    conf += "  access_log " + dir_.File("access.log") + ";\n";
    conf += "  client_body_temp_path " + dir_.File("client_body") + ";\n";
    conf += "  proxy_temp_path " + dir_.File("proxy") + ";\n";
    conf += "  fastcgi_temp_path " + dir_.File("fastcgi") + ";\n";
    conf += "  uwsgi_temp_path " + dir_.File("uwsgi") + ";\n";
    conf += "  scgi_temp_path " + dir_.File("scgi") + ";\n";
    conf += "  default_type application/octet-stream;\n";
    conf += "  sendfile on;\n";
    conf += "  absolute_redirect off;\n";
    conf += "  server {\n";
    conf += "    listen 127.0.0.1:" + std::to_string(port) + (tls ? " ssl" : "") + ";\n";
    if (tls) {
        conf += "    ssl_certificate " + options_.certFile + ";\n";
        conf += "    ssl_certificate_key " + options_.keyFile + ";\n";
    }
    conf += "    root " + options_.root + ";\n";
    if (options_.limitRate > 0) conf += "    limit_rate " + std::to_string(options_.limitRate) + ";\n";
    for (const auto& [from, to] : options_.redirects) {
        conf += "    location = " + from + " { return 302 " + to + "; }\n";
    }
    conf += "  }\n";
    conf += "}\n";
    return conf;
}

bool NginxServer::StartOn(uint16_t port) {
    const std::string nginx = FindProgram("nginx");
    if (nginx.empty()) {
        WriteFile(dir_.File("stderr.log"), "nginx not found\n");
        return false;
    }
    const std::string conf = dir_.File("nginx.conf");
    WriteFile(conf, Config(port));
    const pid_t pid =
        StartProgram({nginx, "-p", dir_.path() + "/", "-c", conf, "-e", "stderr"}, dir_.File("stderr.log"));
    if (pid < 0) return false;
    // Ready once the port accepts; an nginx that exits (port taken, bad
    // configuration) ends the wait at once.
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < end) {
        if (WaitProgram(pid, 0ms) >= 0) return false;
        if (Accepts(port)) {
            pid_ = pid;
            return true;
        }
        std::this_thread::sleep_for(20ms);
    }
    StopProgram(pid, 5s);
    return false;
}

std::string NginxServer::Log() const {
    return ReadFile(dir_.File("stderr.log")) + ReadFile(dir_.File("error.log"));
}

std::string NginxServer::Url(const std::string& path) const {
    const bool tls = !options_.certFile.empty() && !options_.keyFile.empty();
    return std::string(tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + path;
}

}  // namespace testsupport
