// Judges the answer to a GET that asks for bytes [first, last] of a file of
// `total` bytes, from the header lines libcurl hands to its header callback
// (those of every answer of a redirect chain). Accepted: a 206 whose
// Content-Range names exactly the bytes asked for (and the same total when
// the server gives one); a 200 only when the bytes asked for are the whole
// file, from byte 0, and its Content-Length (if any) is the file's length.
// Interim answers (1xx) and redirect hops (3xx with Location) are skipped;
// error statuses (400 and up) are left to CURLOPT_FAILONERROR. Anything
// else, a range answered with the whole body above all, would put wrong
// bytes at the wrong place in the file: it is refused before any body byte
// is stored.
//
// One object per request, used on the transfer's thread only.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class RangeAnswerCheck {
public:
    RangeAnswerCheck(int64_t first, int64_t last, int64_t total);

    // One header line, with or without its CR LF. False once the final
    // answer is refused: the header callback then stops the transfer.
    bool OnHeaderLine(std::string_view line);
    bool Refused() const { return refused_; }

    // libcurl's header callback (CURLOPT_HEADERFUNCTION) with the check as
    // its CURLOPT_HEADERDATA.
    static size_t CurlHeaderCallback(char* data, size_t size, size_t count, void* check);

private:
    bool FinalAnswerAcceptable() const;

    int64_t first_, last_, total_;
    int status_ = 0;
    bool hasLocation_ = false;
    std::string contentRange_;
    int64_t contentLength_ = -1;
    bool refused_ = false;
};
