// Debian's nginx as a real server for tests: started with a configuration
// of ours in a temporary folder (pid file, logs and every temp path there,
// "-e stderr" so nothing touches /var/log), listening on a free port of
// 127.0.0.1, serving one folder. As root its worker runs as root too, so it
// can read files in the tests' private folders. Never the system service.
//
// The constructor waits until the port accepts connections (bounded) and
// tries a few ports if one is taken meanwhile; the destructor stops nginx
// and waits for it. Build and destroy on the test's thread.
#pragma once
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/TempDir.h"

namespace testsupport {

struct NginxOptions {
    std::string root;              // folder served at "/"
    size_t limitRate = 0;          // bytes per second per connection; 0: no limit
    std::string certFile;          // both set: https with this certificate ...
    std::string keyFile;           // ... and key (PEM)
    // Exact path -> Location target, answered with 302. A target that starts
    // with "/" stays relative; a full URL goes out as it is.
    std::vector<std::pair<std::string, std::string>> redirects;
};

class NginxServer {
public:
    explicit NginxServer(NginxOptions options);
    ~NginxServer();
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    // False when nginx could not be started; Log() then says why.
    bool Started() const { return pid_ > 0; }
    std::string Log() const;

    uint16_t port() const { return port_; }
    // "http(s)://127.0.0.1:PORT" + path
    std::string Url(const std::string& path) const;

private:
    bool StartOn(uint16_t port);
    std::string Config(uint16_t port) const;

    NginxOptions options_;
    TempDir dir_;
    pid_t pid_ = -1;
    uint16_t port_ = 0;
};

}  // namespace testsupport
