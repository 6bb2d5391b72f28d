// What every libcurl request of the downloaders shares: the handle owners,
// the TLS and redirect rules, the answer limit of header-only requests, the
// form in which an address goes to libcurl, and the log text of a result.
// Stateless; any thread.
#pragma once
#include <curl/curl.h>

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "download/TransferOptions.h"

struct CurlHandleDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlHandle = std::unique_ptr<CURL, CurlHandleDeleter>;

struct CurlListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlList = std::unique_ptr<curl_slist, CurlListDeleter>;

inline constexpr long kConnectTimeoutSeconds = 60;

// True for an "https://" address (scheme compared without case).
bool IsHttpsUrl(std::string_view url);

// The address as libcurl takes it: UTF-8, except "file:///" addresses, which
// name a local path and go in the locale's encoding.
std::string UrlForCurl(const std::wstring& url);

// An address as libcurl got it (UrlForCurl), as a wide text for the log.
std::wstring UrlForLog(const std::string& url);

// Peer and host verification on (never off), the trusted authority of
// `options` (only that one when given), no signals (worker threads), and,
// when the start address is https, redirects to https only. Returns the
// bitwise OR of the option results (0 when all were set).
int ApplySecurityRules(CURL* handle, const TransferOptions& options, bool httpsOnly);

// The stall limit in whole seconds, kept within 1 to 60 so that a request
// always ends (0 would turn libcurl's low-speed check off).
long StallSeconds(const TransferOptions& options);

// A header-only request that must be answered: it ends when less than
// 1 byte a second arrives for the stall limit, and in any case after the
// connect time-out plus the stall limit. Returns the OR of the option results.
int ApplyAnswerLimit(CURL* handle, const TransferOptions& options);

// A write function that accepts and drops everything.
size_t DiscardData(char* data, size_t size, size_t count, void* unused);

// libcurl's text for a result (our own negative codes give its text for an
// unknown code), as a wide string for the log.
std::wstring CurlResultText(int code);
