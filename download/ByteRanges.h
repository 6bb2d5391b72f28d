// How the multi-part downloader cuts a file into byte ranges: one range per
// full 10 MiB, at least one and at most two; every range has length / count
// bytes and the last one also takes the remainder. Pure; any thread.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

inline constexpr int64_t kPartUnit = 10485760;  // 10 MiB
inline constexpr int kMaxParts = 2;

struct ByteRange {
    int64_t first;  // offset of the first byte in the whole file
    int64_t last;   // offset of the last byte, inclusive
};

// The ranges of a file of `length` bytes (length >= 1).
std::vector<ByteRange> SplitIntoRanges(int64_t length);

// The text of a range request: "first-last" in decimal.
std::string RangeText(int64_t first, int64_t last);
