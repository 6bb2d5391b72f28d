// Small helpers shared by the downloader tests: package bodies, their MD5
// text, a port that refuses connections, and reading files back.
#pragma once
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

#include "download/Md5.h"
#include "download/TransferOptions.h"
#include "tests/support/TempDir.h"
#include "tests/support/http/TestHttpServer.h"

namespace testsupport {

// `size` bytes that differ from one offset to the next (so a misplaced
// range shows), the same for the same seed.
inline std::string PatternBody(size_t size, uint32_t seed = 1) {
    std::string body(size, '\0');
    uint32_t state = seed * 2654435761u + 1;
    for (char& c : body) {
        state = state * 1664525u + 1013904223u;
        c = static_cast<char>(state >> 24);
    }
    return body;
}

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

inline TransferOptions StallLimit(std::chrono::seconds limit) {
    TransferOptions options;
    options.stallLimit = limit;
    return options;
}

inline std::string Md5Of(const std::string& bytes) {
    TempDir dir;
    WriteFile(dir.File("body"), bytes);
    return GetFileMd5(dir.File("body"));
}

// A loopback port nobody listens on (a server's port after it has gone).
inline uint16_t RefusedPort() {
    TestHttpServer gone;
    return gone.port();
}

inline int64_t SizeOf(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? -1 : static_cast<int64_t>(size);
}

inline bool Exists(const std::string& path) { return std::filesystem::exists(path); }

}  // namespace testsupport
