#include "download/RangeAnswerCheck.h"

#include <cctype>
#include <charconv>

namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

bool HasName(std::string_view line, std::string_view name) {
    if (line.size() <= name.size() || line[name.size()] != ':') return false;
    for (size_t i = 0; i < name.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(line[i])) != name[i]) return false;
    }
    return true;
}

// A decimal number making up all of `text`; -1 otherwise.
int64_t ParseCount(std::string_view text) {
    int64_t value = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) return -1;
    return value;
}

}  // namespace

RangeAnswerCheck::RangeAnswerCheck(int64_t first, int64_t last, int64_t total)
    : first_(first), last_(last), total_(total) {}

bool RangeAnswerCheck::OnHeaderLine(std::string_view line) {
    if (refused_) return false;
    if (line.rfind("HTTP/", 0) == 0) {
        // A new answer begins (the next hop of a redirect chain, or the
        // answer after an interim one).
        const size_t space = line.find(' ');
        status_ = space == std::string_view::npos ? 0 : static_cast<int>(ParseCount(Trim(line.substr(space + 1, 3))));
        hasLocation_ = false;
        contentRange_.clear();
        contentLength_ = -1;
        return true;
    }
    const std::string_view content = Trim(line);
    if (content.empty()) {
        if (status_ >= 100 && status_ < 200) return true;
        if (status_ >= 300 && status_ < 400 && hasLocation_) return true;
        if (status_ >= 400) return true;
        refused_ = !FinalAnswerAcceptable();
        return !refused_;
    }
    if (HasName(content, "location")) hasLocation_ = true;
    else if (HasName(content, "content-range")) contentRange_ = std::string(Trim(content.substr(14)));
    else if (HasName(content, "content-length")) contentLength_ = ParseCount(Trim(content.substr(15)));
    return true;
}

bool RangeAnswerCheck::FinalAnswerAcceptable() const {
    if (status_ == 200) {
        const bool wholeFile = first_ == 0 && last_ == total_ - 1;
        return wholeFile && (contentLength_ < 0 || contentLength_ == total_);
    }
    if (status_ != 206) return false;
    // "bytes first-last/total" (total may be "*").
    std::string_view text = contentRange_;
    constexpr std::string_view kUnit = "bytes ";
    if (text.rfind(kUnit, 0) != 0) return false;
    text.remove_prefix(kUnit.size());
    const size_t dash = text.find('-');
    const size_t slash = text.find('/');
    if (dash == std::string_view::npos || slash == std::string_view::npos || slash < dash) return false;
    const int64_t first = ParseCount(Trim(text.substr(0, dash)));
    const int64_t last = ParseCount(Trim(text.substr(dash + 1, slash - dash - 1)));
    const std::string_view totalText = Trim(text.substr(slash + 1));
    if (first != first_ || last != last_) return false;
    if (totalText != "*" && ParseCount(totalText) != total_) return false;
    return contentLength_ < 0 || contentLength_ == last - first + 1;
}

size_t RangeAnswerCheck::CurlHeaderCallback(char* data, size_t size, size_t count, void* check) {
    const size_t length = size * count;
    return static_cast<RangeAnswerCheck*>(check)->OnHeaderLine(std::string_view(data, length)) ? length : 0;
}
