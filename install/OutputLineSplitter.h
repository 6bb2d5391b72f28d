// Cuts a child's output, as it arrives in reads of any size, into lines.
// The bytes after the last line feed of a read are kept and put in front of
// the next one, so a line reaches its handler whole, however the child's
// writes and our reads split it, and can be decoded once in one piece. The
// line feed is dropped; a carriage return before it stays in the line.
// Finish hands over a last piece without line feed. A line longer than
// kMaxLineBytes is cut to its first kMaxLineBytes bytes (the protocol's
// texts fit well within that). Splitting bytes at 0x0A is safe for every
// code page the children announce (ANSI, UTF-8, CP936): none uses that
// byte inside a character. One owner thread.
#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

class OutputLineSplitter {
public:
    static constexpr size_t kMaxLineBytes = 8192;
    using LineHandler = std::function<void(std::string_view line)>;

    void Feed(std::string_view bytes, const LineHandler& onLine);
    void Finish(const LineHandler& onLine);

private:
    void Keep(std::string_view piece);

    std::string pending_;
};
