// Small helpers shared by the downloader tests: package bodies, their MD5
// text, the ranges a server was asked for, and file checks.
#pragma once
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

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

// The Range headers of the GET requests for `path`, in arrival order ("" for
// a GET without one).
inline std::vector<std::string> GetRanges(const TestHttpServer& server, const std::string& path) {
    std::vector<std::string> ranges;
    for (const auto& request : server.Requests(path)) {
        if (request.method == "GET") ranges.push_back(request.range);
    }
    return ranges;
}

inline int64_t SizeOf(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? -1 : static_cast<int64_t>(size);
}

inline bool Exists(const std::string& path) { return std::filesystem::exists(path); }

}  // namespace testsupport
