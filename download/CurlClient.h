// The transfer engine of the single-stream downloader: finds the file's
// final address and length with header-only requests, then fetches the file
// in one GET into "<destination>.part", resuming from what an earlier try
// left there, and renames the part file to the destination on success.
//
// Results of Start: 0, a libcurl code, or our own codes kFileTooSmall
// (-998: no header-only request gave a length of at least 1 MiB),
// kNoHandle (-997) and kPartFileUnusable (-996). A GET whose answer carries
// other bytes than those asked for ends with CURLE_RANGE_ERROR and the part
// file is dropped, so that the next try starts from byte 0; the part file
// never grows beyond the file's length.
//
// Threads: built and destroyed on the owner's thread; Start and the
// progress function run on the owner's worker thread. Abort may be called
// from any thread: the transfer in flight then ends (result 42) at its next
// callback, within about a second.
//
// libcurl's global initialisation is the program's job, not this class's.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "download/CurlRequestRules.h"
#include "download/TransferOptions.h"

class CurlClient {
public:
    // (average speed in bytes a second, always 0.0, percent done); called on
    // the transfer's thread at most once a second.
    using ProgressFunction = std::function<void(double, double, double)>;

    static constexpr int kFileTooSmall = -998;
    static constexpr int kNoHandle = -997;
    static constexpr int kPartFileUnusable = -996;
    static constexpr int64_t kMinFileLength = 1048576;

    CurlClient(std::wstring url, std::wstring path, ProgressFunction progress, TransferOptions options = {});
    // Removes the part file.
    ~CurlClient();
    CurlClient(const CurlClient&) = delete;
    CurlClient& operator=(const CurlClient&) = delete;

    // One try; blocks until it ends. The final address and the length
    // survive from one call to the next, so a retry asks the server nothing
    // but the missing bytes.
    int Start();
    void Abort() { abort_ = true; }

    const std::string& FinalUrl() const { return finalUrl_; }
    int64_t FileLength() const { return fileLength_; }
    std::string PartPath() const;

    // A performed header-only request (also after a failure); null when
    // libcurl gives no handle.
    CurlHandle Head(const std::string& url);
    // The effective address of a performed request, or an empty text.
    static std::string GetRealUrl(CURL* handle);
    // The content length of a performed request whose status is 200 to
    // 399, else -1.
    static int64_t GetDownloadFileLength(CURL* handle);
    // The same from an address, each with a request of its own. The first
    // gives `url` back when there is no effective address; the second
    // doesn't follow redirects and doesn't look at the status.
    std::string GetRealUrl_Str(const std::string& url);
    int64_t GetDownloadFileLength_Str(const std::string& url);

private:
    static int ProgressCallback(void* client, curl_off_t totalToDownload, curl_off_t downloadedNow, curl_off_t,
                                curl_off_t);
    static size_t WriteCallback(char* data, size_t size, size_t count, void* client);
    // The GET into the open part file (steps after the address is known).
    int Transfer(const std::string& partPath);
    // Header-only options of the requests that look for the address.
    int SetHeadOptions(CURL* handle, const std::string& url, bool followRedirects);

    const std::wstring url_;
    const std::wstring path_;
    const ProgressFunction progress_;
    const TransferOptions options_;
    const bool httpsOnly_;

    CURL* handle_ = nullptr;  // the running GET; valid only inside Start
    int64_t fileLength_ = -1;
    int64_t resumeOffset_ = -1;
    std::FILE* part_ = nullptr;  // the open part file of the running GET
    int64_t written_ = 0;        // bytes the running GET has stored
    std::optional<std::chrono::steady_clock::time_point> lastReport_;
    std::atomic<bool> abort_{false};
    std::string finalUrl_;  // UTF-8 (locale's encoding for "file:///")
};
