// The size of a file as the downloaders read it before a resume.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

// The size of the file at `path` (native bytes); -1 when it is missing or
// can't be read.
inline int64_t FileSize(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? -1 : static_cast<int64_t>(size);
}
