#include "install/OutputLineSplitter.h"

void OutputLineSplitter::Keep(std::string_view piece) {
    if (pending_.size() < kMaxLineBytes) pending_.append(piece.substr(0, kMaxLineBytes - pending_.size()));
}

void OutputLineSplitter::Feed(std::string_view bytes, const LineHandler& onLine) {
    for (size_t lf = bytes.find('\n'); lf != std::string_view::npos; lf = bytes.find('\n')) {
        Keep(bytes.substr(0, lf));
        const std::string line = std::move(pending_);
        pending_.clear();
        onLine(line);
        bytes.remove_prefix(lf + 1);
    }
    Keep(bytes);
}

void OutputLineSplitter::Finish(const LineHandler& onLine) {
    if (pending_.empty()) return;
    const std::string line = std::move(pending_);
    pending_.clear();
    onLine(line);
}
