// The system's own "download this URL into that file" service: one blocking
// call that stands in for Windows' URL moniker download. http and https go
// through libsoup 3, "file:" addresses through GIO's file copy.
//
// The result is an HRESULT-style signed 32-bit code, the one the URL moniker
// gives for the same outcome (table below and in docs/platform.md), so the
// layers above report the same numbers on every system.
//
// The file appears at `path` only when the whole body has arrived: the body
// goes to a temporary file beside it ("<path>.dl-<pid>-<n>"), which is
// renamed over the destination at the end and removed on any failure. A
// failed call therefore leaves the destination as it was.
//
// Threads: the call runs entirely on the calling thread, with a GLib main
// context of its own that it pushes as the thread's default for the time of
// the call (the thread must not be running another GLib context as default
// at that moment). The progress and abort callbacks are called on that
// thread, from inside the call; they must not call DownloadUrlToFile again.
#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// Result codes (values of the Windows headers).
inline constexpr int32_t kUrlOk = 0;                                                  // S_OK
inline constexpr int32_t kUrlAbort = static_cast<int32_t>(0x80004004u);               // E_ABORT
inline constexpr int32_t kUrlInvalidUrl = static_cast<int32_t>(0x800C0002u);          // INET_E_INVALID_URL
inline constexpr int32_t kUrlCannotConnect = static_cast<int32_t>(0x800C0004u);       // INET_E_CANNOT_CONNECT
inline constexpr int32_t kUrlResourceNotFound = static_cast<int32_t>(0x800C0005u);    // INET_E_RESOURCE_NOT_FOUND
inline constexpr int32_t kUrlDownloadFailure = static_cast<int32_t>(0x800C0008u);     // INET_E_DOWNLOAD_FAILURE
inline constexpr int32_t kUrlConnectionTimeout = static_cast<int32_t>(0x800C000Bu);   // INET_E_CONNECTION_TIMEOUT
inline constexpr int32_t kUrlUnknownProtocol = static_cast<int32_t>(0x800C000Du);     // INET_E_UNKNOWN_PROTOCOL
inline constexpr int32_t kUrlSecurityProblem = static_cast<int32_t>(0x800C000Eu);     // INET_E_SECURITY_PROBLEM
inline constexpr int32_t kUrlRedirectFailed = static_cast<int32_t>(0x800C0014u);      // INET_E_REDIRECT_FAILED
inline constexpr int32_t kUrlPathNotFound = static_cast<int32_t>(0x80030003u);        // STG_E_PATHNOTFOUND
inline constexpr int32_t kUrlAccessDenied = static_cast<int32_t>(0x80030005u);        // STG_E_ACCESSDENIED
inline constexpr int32_t kUrlMediumFull = static_cast<int32_t>(0x80030070u);          // STG_E_MEDIUMFULL

// Redirections followed before the call gives up with kUrlRedirectFailed.
inline constexpr int kUrlMaxRedirects = 10;

struct UrlDownloadSettings {
    // Non-empty: trust only the authorities in this PEM file (native path)
    // instead of the system's store. Verification itself is always on.
    std::string caFile;
    // Longest silence allowed: from the request to the answer's headers, and
    // between two pieces of the body (connecting included). Must be positive.
    std::chrono::milliseconds answerLimit{std::chrono::seconds(30)};
    // Called with (bytes so far, total) when the answer begins and after
    // every piece; total is 0 while the size is unknown. May be empty.
    std::function<void(uint64_t current, uint64_t maximum)> progress;
    // Polled at least every 100 ms and after every piece; true ends the call
    // with kUrlAbort. May be empty.
    std::function<bool()> shouldAbort;
};

// Downloads `url` into the file `path` (wide texts; the path and "file:"
// addresses go to the file system in the locale's character set, http(s)
// addresses as UTF-8, already escaped by the caller).
//
// Outcomes:
//   kUrlOk                 2xx answer (after redirections), body complete
//   kUrlResourceNotFound   status 404; host name not found; "file:" source
//                          missing or not a regular file
//   kUrlCannotConnect      connection refused, host or network unreachable
//   kUrlDownloadFailure    any other HTTP status of 300 or more (a 3xx that
//                          can't be followed excepted); the connection broke
//                          or ended before the announced length; the copy of
//                          a "file:" source failed while reading
//   kUrlConnectionTimeout  silence longer than answerLimit
//   kUrlSecurityProblem    TLS failure: untrusted or mismatched certificate,
//                          failed handshake, unreadable caFile
//   kUrlRedirectFailed     redirect without a usable Location, to a scheme
//                          other than http/https, from an https start to a
//                          non-https address, or more than kUrlMaxRedirects
//   kUrlInvalidUrl         the address can't be parsed
//   kUrlUnknownProtocol    a scheme other than http, https and file
//   kUrlPathNotFound       the destination's folder is missing or a file
//   kUrlMediumFull         the destination's file system is full
//   kUrlAccessDenied       the destination can't be created or written
//                          for any other reason
//   kUrlAbort              shouldAbort answered true
int32_t DownloadUrlToFile(const std::wstring& url, const std::wstring& path, const UrlDownloadSettings& settings);

}  // namespace platform
