#include "download/CurlClient.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "download/FileHandle.h"
#include "download/FileSize.h"
#include "download/RangeAnswerCheck.h"
#include "utils/Encoding.h"
#include "utils/Log.h"

CurlClient::CurlClient(std::wstring url, std::wstring path, ProgressFunction progress, TransferOptions options)
    : url_(std::move(url)),
      path_(std::move(path)),
      progress_(std::move(progress)),
      options_(std::move(options)),
      httpsOnly_(IsHttpsUrl(UrlForCurl(url_))) {}

CurlClient::~CurlClient() {
    abort_ = true;
    std::remove(PartPath().c_str());
}

std::string CurlClient::PartPath() const { return Utils::WideToMultiByte(path_ + L".part", Utils::CP_ACP); }

int CurlClient::Start() {
    LOG_DEBUG_LINE(L"start download");
    const std::string partPath = PartPath();
    const std::string path = Utils::WideToMultiByte(path_, Utils::CP_ACP);
    const std::string url = UrlForCurl(url_);

    if (finalUrl_.empty() || fileLength_ < kMinFileLength) {
        const CurlHandle head = Head(url);
        finalUrl_ = GetRealUrl(head.get());
        fileLength_ = GetDownloadFileLength(head.get());
    }
    int result = 0;
    if (finalUrl_.empty() || fileLength_ < kMinFileLength) {
        finalUrl_ = GetRealUrl_Str(url);
        if (!finalUrl_.empty()) fileLength_ = GetDownloadFileLength_Str(finalUrl_);
        if (fileLength_ < kMinFileLength) result = kFileTooSmall;
    }
    if (result == 0) result = Transfer(partPath);
    LOG_DEBUG_LINE(L"error:%d:%ls", result, CurlResultText(result).c_str());

    if (result == 0) {
        std::remove(path.c_str());
        // Without the rename the destination holds nothing: a failed try,
        // not a success (the complete part file is used again next time).
        if (std::rename(partPath.c_str(), path.c_str()) != 0) {
            result = CURLE_WRITE_ERROR;
            LOG_DEBUG_LINE(L"error:%d:%ls", result, CurlResultText(result).c_str());
        }
    }
    LOG_DEBUG_LINE(L"end download");
    return result;
}

int CurlClient::Transfer(const std::string& partPath) {
    const CurlHandle handle(curl_easy_init());
    if (!handle) return kNoHandle;
    FileHandle part(std::fopen(partPath.c_str(), "ab+"));
    if (!part) return kPartFileUnusable;

    resumeOffset_ = FileSize(partPath);
    if (resumeOffset_ > fileLength_) {
        // Longer than the file: these bytes are not a prefix of it.
        part.reset();
        std::remove(partPath.c_str());
        part.reset(std::fopen(partPath.c_str(), "ab+"));
        if (!part) return kPartFileUnusable;
        resumeOffset_ = 0;
    }
    // Everything is there already (an earlier try ended after its last
    // byte): asking for more would only get 416.
    if (resumeOffset_ == fileLength_) return 0;
    const int64_t held = std::max<int64_t>(resumeOffset_, 0);

    const CurlList headers(curl_slist_append(nullptr, "Connection: keep-alive"));
    CURL* h = handle.get();
    int options = 0;
    options |= curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    options |= curl_easy_setopt(h, CURLOPT_TCP_KEEPALIVE, 1L);
    options |= curl_easy_setopt(h, CURLOPT_TCP_KEEPIDLE, 10L);
    options |= curl_easy_setopt(h, CURLOPT_TCP_KEEPINTVL, 10L);
    options |= curl_easy_setopt(h, CURLOPT_TIMEOUT, 0L);
    options |= curl_easy_setopt(h, CURLOPT_URL, finalUrl_.c_str());
    options |= curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    options |= curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &CurlClient::WriteCallback);
    options |= curl_easy_setopt(h, CURLOPT_WRITEDATA, this);
    options |= curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &RangeAnswerCheck::CurlHeaderCallback);
    options |= curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    options |= curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &CurlClient::ProgressCallback);
    options |= curl_easy_setopt(h, CURLOPT_XFERINFODATA, this);
    options |= curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
    options |= curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    // A stream that stays open and sends nothing ends the try; it resumes.
    options |= curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    options |= curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, StallSeconds(options_));
    options |= ApplySecurityRules(h, options_, httpsOnly_);
    if (held > 0) options |= curl_easy_setopt(h, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(held));
    RangeAnswerCheck check(held, fileLength_ - 1, fileLength_);
    options |= curl_easy_setopt(h, CURLOPT_HEADERDATA, &check);
    if (options != 0) return options;

    handle_ = h;
    part_ = part.get();
    written_ = 0;
    int result = curl_easy_perform(h);
    handle_ = nullptr;
    part_ = nullptr;

    if (check.Refused()) {
        // The server can't be trusted to resume: start again from byte 0.
        part.reset();
        std::remove(partPath.c_str());
        return CURLE_RANGE_ERROR;
    }
    if (result == CURLE_OK && held + written_ < fileLength_) result = CURLE_PARTIAL_FILE;
    if (result == CURLE_OK && std::fflush(part.get()) != 0) result = CURLE_WRITE_ERROR;
    return result;
}

size_t CurlClient::WriteCallback(char* data, size_t size, size_t count, void* client) {
    auto* self = static_cast<CurlClient*>(client);
    if (self->abort_) return 0;
    const size_t offered = size * count;
    // Never beyond the length: the part file stays a prefix of the file.
    const int64_t room = self->fileLength_ - std::max<int64_t>(self->resumeOffset_, 0) - self->written_;
    const size_t take = static_cast<size_t>(std::clamp<int64_t>(room, 0, static_cast<int64_t>(offered)));
    const size_t stored = std::fwrite(data, 1, take, self->part_);
    self->written_ += static_cast<int64_t>(stored);
    return stored;
}

int CurlClient::ProgressCallback(void* client, curl_off_t totalToDownload, curl_off_t downloadedNow, curl_off_t,
                                 curl_off_t) {
    auto* self = static_cast<CurlClient*>(client);
    if (self->abort_) return 1;
    const auto now = std::chrono::steady_clock::now();
    if (self->lastReport_ && now - *self->lastReport_ < std::chrono::seconds(1)) return 0;
    self->lastReport_ = now;

    curl_off_t speedValue = 0;
    const double speed =
        curl_easy_getinfo(self->handle_, CURLINFO_SPEED_DOWNLOAD_T, &speedValue) == CURLE_OK
            ? static_cast<double>(speedValue)
            : 0.0;
    double percent = 0.0;
    if (self->fileLength_ > kMinFileLength) {
        // A resumed request counts from 0 again: add what the part file held.
        const int64_t held = std::max<int64_t>(self->resumeOffset_, 0);
        percent = static_cast<double>(downloadedNow + held) / static_cast<double>(self->fileLength_) * 100.0;
    } else {
        if (downloadedNow <= 0 || totalToDownload <= 0) return 0;
        percent = static_cast<double>(downloadedNow) * 100.0 / static_cast<double>(totalToDownload);
    }
    if (percent == 0.0) return 0;
    if (self->progress_) self->progress_(speed, 0.0, percent);
    if (totalToDownload != 0) {
        LOG_DEBUG(L" %dM %dM   progress:%f%%  speed:%f \n", static_cast<int>(downloadedNow / 1048576),
                  static_cast<int>(totalToDownload / 1048576), static_cast<double>(static_cast<float>(percent)),
                  static_cast<double>(static_cast<float>(speed / 1024)));
    }
    return 0;
}

int CurlClient::SetHeadOptions(CURL* handle, const std::string& url, bool followRedirects) {
    int result = 0;
    result |= curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    if (followRedirects) result |= curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    else result |= curl_easy_setopt(handle, CURLOPT_HEADER, 1L);
    result |= curl_easy_setopt(handle, CURLOPT_NOBODY, 1L);
    result |= curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &DiscardData);
    result |= curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    result |= ApplyAnswerLimit(handle, options_);
    result |= ApplySecurityRules(handle, options_, httpsOnly_);
    return result;
}

CurlHandle CurlClient::Head(const std::string& url) {
    CurlHandle handle(curl_easy_init());
    int code = 0;
    if (handle) {
        code = SetHeadOptions(handle.get(), url, true);
        if (code == 0) {
            code = curl_easy_perform(handle.get());
            if (code != 0) LOG_DEBUG(L"error:%d:%ls", code, CurlResultText(code).c_str());
        }
    }
    LOG_DEBUG_LINE(L"error:%d:%ls", code, CurlResultText(code).c_str());
    return handle;
}

std::string CurlClient::GetRealUrl(CURL* handle) {
    char* effective = nullptr;
    if (handle == nullptr || curl_easy_getinfo(handle, CURLINFO_EFFECTIVE_URL, &effective) != CURLE_OK ||
        effective == nullptr)
        return {};
    return effective;
}

int64_t CurlClient::GetDownloadFileLength(CURL* handle) {
    if (handle == nullptr) return -1;
    curl_off_t length = -1;
    const CURLcode query = curl_easy_getinfo(handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    if (query != CURLE_OK) length = -1;
    LOG_DEBUG_LINE(L"error:%d:%ls", static_cast<int>(query), CurlResultText(query).c_str());
    long status = 0;
    if (curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status < 200 || status > 399)
        return -1;
    return length;
}

std::string CurlClient::GetRealUrl_Str(const std::string& url) {
    std::string effective;
    const CurlHandle handle(curl_easy_init());
    if (handle) {
        int code = SetHeadOptions(handle.get(), url, true);
        if (code == 0) code = curl_easy_perform(handle.get());
        if (code != 0) LOG_DEBUG(L"error:%d:%ls", code, CurlResultText(code).c_str());
        else effective = GetRealUrl(handle.get());
    }
    return effective.empty() ? url : effective;
}

int64_t CurlClient::GetDownloadFileLength_Str(const std::string& url) {
    const CurlHandle handle(curl_easy_init());
    if (!handle) return -1;
    if (SetHeadOptions(handle.get(), url, false) == 0) curl_easy_perform(handle.get());
    curl_off_t length = -1;
    const CURLcode query = curl_easy_getinfo(handle.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    if (query != CURLE_OK) length = -1;
    LOG_DEBUG_LINE(L"error:%d:%ls", static_cast<int>(query), CurlResultText(query).c_str());
    return length;
}
