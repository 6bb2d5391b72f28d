#include "download/ByteRanges.h"

#include <algorithm>

std::vector<ByteRange> SplitIntoRanges(int64_t length) {
    const int64_t count = std::clamp<int64_t>(length / kPartUnit, 1, kMaxParts);
    const int64_t each = length / count;
    std::vector<ByteRange> ranges;
    int64_t offset = 0;
    for (int64_t i = 0; i < count; ++i) {
        const int64_t size = i + 1 == count ? length - offset : each;
        ranges.push_back({offset, offset + size - 1});
        offset += size;
    }
    return ranges;
}

std::string RangeText(int64_t first, int64_t last) { return std::to_string(first) + "-" + std::to_string(last); }
