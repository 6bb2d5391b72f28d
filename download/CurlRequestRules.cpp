#include "download/CurlRequestRules.h"

#include <algorithm>
#include <cctype>

#include "utils/Encoding.h"

bool IsHttpsUrl(std::string_view url) {
    constexpr std::string_view kScheme = "https://";
    if (url.size() < kScheme.size()) return false;
    for (size_t i = 0; i < kScheme.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(url[i])) != kScheme[i]) return false;
    }
    return true;
}

std::string UrlForCurl(const std::wstring& url) {
    const bool local = url.rfind(L"file:///", 0) == 0;
    return Utils::WideToMultiByte(url, local ? Utils::CP_ACP : Utils::CP_UTF8);
}

std::wstring UrlForLog(const std::string& url) {
    const bool local = url.rfind("file:///", 0) == 0;
    return Utils::MultiByteToWide(url, local ? Utils::CP_ACP : Utils::CP_UTF8);
}

int ApplySecurityRules(CURL* handle, const TransferOptions& options, bool httpsOnly) {
    int result = 0;
    result |= curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    result |= curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    result |= curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!options.caFile.empty()) {
        result |= curl_easy_setopt(handle, CURLOPT_CAINFO, options.caFile.c_str());
        result |= curl_easy_setopt(handle, CURLOPT_CAPATH, nullptr);
    }
    // An https download must not be sent to plain http, where anyone on the
    // path could replace the package (and the digest in its address).
    if (httpsOnly) result |= curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    return result;
}

long StallSeconds(const TransferOptions& options) {
    return std::clamp<long>(static_cast<long>(options.stallLimit.count()), 1, 60);
}

int ApplyAnswerLimit(CURL* handle, const TransferOptions& options) {
    const long seconds = StallSeconds(options);
    int result = 0;
    result |= curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    result |= curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, seconds);
    result |= curl_easy_setopt(handle, CURLOPT_TIMEOUT, kConnectTimeoutSeconds + seconds);
    return result;
}

size_t DiscardData(char*, size_t size, size_t count, void*) { return size * count; }

std::wstring CurlResultText(int code) {
    return Utils::MultiByteToWide(curl_easy_strerror(static_cast<CURLcode>(code)), Utils::CP_ACP);
}
