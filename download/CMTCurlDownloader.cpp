#include "download/CMTCurlDownloader.h"

#include <algorithm>
#include <cstdio>
#include <system_error>

#include "app/InstallerSettings.h"
#include "download/ByteRanges.h"
#include "download/DownloadEvents.h"
#include "download/FileSize.h"
#include "download/Md5.h"
#include "download/RangeAnswerCheck.h"
#include "download/ReleaseWorker.h"
#include "utils/Encoding.h"
#include "utils/Log.h"

namespace {

constexpr int kPartBudget = 12;
constexpr auto kPauseBetweenTries = std::chrono::milliseconds(400);
constexpr auto kPauseBetweenPartStarts = std::chrono::milliseconds(100);
constexpr auto kFinisherPoll = std::chrono::milliseconds(200);
// A range that gets less than 1 byte a second for 5 s ends its try.
constexpr long kRangeLowSpeedLimit = 1;
constexpr long kRangeLowSpeedTime = 5;
constexpr size_t kJoinBlock = 1024;
constexpr const wchar_t* kLibCurl = L"LibCurl";

}  // namespace

CMTCurlDownloader::CMTCurlDownloader(ProgressCallback callback, std::wstring url, std::wstring path,
                                     TransferOptions options)
    : callback_(std::move(callback)),
      path_(std::move(path)),
      url_(std::move(url)),
      options_(std::move(options)),
      httpsOnly_(IsHttpsUrl(UrlForCurl(url_))) {
    std::remove(Utils::WideToMultiByte(path_, Utils::CP_ACP).c_str());
    DeletePartFiles();
}

CMTCurlDownloader::~CMTCurlDownloader() {
    abort_.Raise();
    worker_.reset();
    retiredWorker_.reset();
    // The finisher joins the part workers; without one (the controller was
    // stopped while it started them) they are joined here.
    if (finisher_.joinable()) finisher_.join();
    if (retiredFinisher_.joinable()) retiredFinisher_.join();
    for (auto& part : partWorkers_) {
        if (part.joinable()) part.join();
    }
    ClearParts();
}

void CMTCurlDownloader::Start() {
    // The controller only starts the workers, so it has ended or is about
    // to; once it is joined, the threads it left behind are stable. It can't
    // join itself when the call comes from one of its own events.
    ReleaseWorker(worker_, retiredWorker_);
    if (retiredFinisher_.joinable() && retiredFinisher_.get_id() != std::this_thread::get_id()) retiredFinisher_.join();
    if (finisher_.joinable()) {
        if (finisher_.get_id() == std::this_thread::get_id()) {
            // Called from inside the finisher's own event: it ends when the
            // event returns.
            retiredFinisher_ = std::move(finisher_);
        } else {
            finisher_.join();
        }
    }
    worker_ = std::make_unique<Utils::Thread>(this, L"ABDEF", [](void* self) {
        static_cast<CMTCurlDownloader*>(self)->Start_Down();
        return 0u;
    });
    worker_->Resume();
}

std::string CMTCurlDownloader::PartPath(int index) const {
    return Utils::WideToMultiByte(path_, Utils::CP_ACP) + "_" + std::to_string(index);
}

void CMTCurlDownloader::DeletePartFiles() const {
    for (int index = 0; index < kMaxParts; ++index) std::remove(PartPath(index).c_str());
}

void CMTCurlDownloader::ClearParts() { parts_.clear(); }

void CMTCurlDownloader::Start_Down() {
    callback_(DL_CODE_START, 1.0, L"");
    LOG_DEBUG_LINE(L"start download");
    const std::string path = Utils::WideToMultiByte(path_, Utils::CP_ACP);
    const std::string url = UrlForCurl(url_);

    std::remove(path.c_str());
    {
        std::lock_guard<std::mutex> lock(progressLock_);
        if (lastPercent_ == 0.0) DeletePartFiles();
    }
    if (finalUrl_.empty() || fileLength_ < kMinFileLength) {
        if (!getRealDownloadUrl(url)) {
            callback_(DL_CODE_FAIL, 0.0, kLibCurl);
            return;
        }
    }

    const std::vector<ByteRange> ranges = SplitIntoRanges(fileLength_);
    for (size_t index = 0; index < ranges.size(); ++index) {
        auto node = std::make_unique<DownloadPartNode>();
        node->partPath = PartPath(static_cast<int>(index));
        node->url = finalUrl_;
        const int64_t rangeLength = ranges[index].last - ranges[index].first + 1;
        int64_t existing = std::max<int64_t>(FileSize(node->partPath), 0);
        if (existing > rangeLength) {
            // Longer than its range: not a file of ours; fetch the range anew.
            std::remove(node->partPath.c_str());
            existing = 0;
        }
        node->received = existing;
        node->nextOffset = ranges[index].first + existing;
        node->lastOffset = ranges[index].last;
        node->handle.reset(curl_easy_init());
        if (node->Full()) {
            node->status = DownloadPartNode::kComplete;
        } else if (!node->handle) {
            node->status = CURLE_FAILED_INIT;
        } else {
            node->status = DownloadPartNode::kToDownload;
            node->file.reset(std::fopen(node->partPath.c_str(), "ab+"));
            if (!node->file) node->status = DownloadPartNode::kPartFileUnusable;
        }
        parts_.push_back(std::move(node));
    }

    for (auto& node : parts_) {
        if (node->status != DownloadPartNode::kToDownload) continue;
        ++runningParts_;
        DownloadPartNode* part = node.get();
        try {
            partWorkers_.emplace_back([this, part] { downloadThreadFun(*part); });
        } catch (const std::system_error&) {
            part->status = CURLE_FAILED_INIT;
            part->file.reset();
            --runningParts_;
        }
        if (!abort_.SleepFor(kPauseBetweenPartStarts)) return;
    }
    try {
        finisher_ = std::thread([this] { waitForFinishThreadFun(); });
    } catch (const std::system_error&) {
        // No thread to spare: finish on this one, so that the attempt still
        // ends with its event.
        waitForFinishThreadFun();
    }
}

bool CMTCurlDownloader::getRealDownloadUrl(const std::string& url) {
    finalUrl_.clear();
    expectedMd5_.clear();
    fileLength_ = 0;
    if (!GlobalInstallerSettings().CurlReady) return false;

    const CurlHandle handle(curl_easy_init());
    if (!handle) return false;
    CURL* h = handle.get();
    const CurlList headers(curl_slist_append(nullptr, "Connection: keep-alive"));
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    int options = 0;
    options |= curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    options |= curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    options |= curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
    options |= ApplySecurityRules(h, options_, httpsOnly_);
    options |= curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &DiscardData);
    options |= curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    options |= ApplyAnswerLimit(h, options_);
    if (options != 0) return false;
    if (curl_easy_perform(h) != CURLE_OK) return false;

    char* effective = nullptr;
    if (curl_easy_getinfo(h, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective != nullptr &&
        *effective != '\0') {
        finalUrl_ = effective;
        LOG_DEBUG_LINE(L"Download File real url %ls", UrlForLog(finalUrl_).c_str());
        expectedMd5_ = GetUrlMd5(finalUrl_);
    }
    curl_off_t length = -1;
    long status = 0;
    if (curl_easy_getinfo(h, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
        curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status >= 200 && status <= 399) {
        fileLength_ = length;
        LOG_DEBUG_LINE(L"Download File Length %lld", static_cast<long long>(fileLength_));
    }
    return !finalUrl_.empty() && fileLength_ >= kMinFileLength;
}

int CMTCurlDownloader::downloadExe(DownloadPartNode& node) {
    const std::string range = RangeText(node.nextOffset, node.lastOffset);
    RangeAnswerCheck check(node.nextOffset, node.lastOffset, fileLength_);
    CURL* h = node.handle.get();
    int result = 0;
    result |= curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    result |= curl_easy_setopt(h, CURLOPT_URL, node.url.c_str());
    result |= curl_easy_setopt(h, CURLOPT_TIMEOUT, 0L);
    result |= curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    result |= curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &CMTCurlDownloader::PartWriter);
    result |= curl_easy_setopt(h, CURLOPT_WRITEDATA, &node);
    result |= curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &RangeAnswerCheck::CurlHeaderCallback);
    result |= curl_easy_setopt(h, CURLOPT_HEADERDATA, &check);
    result |= curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    result |= curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &CMTCurlDownloader::SharedProgress);
    result |= curl_easy_setopt(h, CURLOPT_XFERINFODATA, this);
    result |= curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
    result |= curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    result |= ApplySecurityRules(h, options_, httpsOnly_);
    result |= curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, kRangeLowSpeedLimit);
    result |= curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, kRangeLowSpeedTime);
    result |= curl_easy_setopt(h, CURLOPT_RANGE, range.c_str());
    if (result == 0) {
        result = curl_easy_perform(h);
        if (check.Refused()) result = CURLE_RANGE_ERROR;
        // An answer that ends early but "cleanly" (no length, or a shorter
        // range) leaves the part incomplete: resume it.
        else if (result == CURLE_OK && !node.Full()) result = CURLE_PARTIAL_FILE;
        if (result != CURLE_OK) LOG_DEBUG_LINE(L"error:%d:%ls", result, CurlResultText(result).c_str());
        else LOG_DEBUG_LINE(L"curl_easy_cleanup");
    }
    curl_easy_reset(h);
    if (result == CURLE_OK && std::fclose(node.file.release()) != 0) result = CURLE_WRITE_ERROR;
    node.status = result;
    return result;
}

size_t CMTCurlDownloader::PartWriter(char* data, size_t size, size_t count, void* nodePointer) {
    auto& node = *static_cast<DownloadPartNode*>(nodePointer);
    if (!node.file || node.Full()) return 0;
    const int64_t offered = static_cast<int64_t>(size * count);
    const int64_t take = std::min(offered, node.lastOffset - node.nextOffset + 1);
    const size_t stored = std::fwrite(data, 1, static_cast<size_t>(take), node.file.get());
    node.nextOffset += static_cast<int64_t>(stored);
    node.received += static_cast<int64_t>(stored);
    return stored;
}

int CMTCurlDownloader::SharedProgress(void* downloader, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* self = static_cast<CMTCurlDownloader*>(downloader);
    if (self->abort_.Raised()) return 1;
    std::lock_guard<std::mutex> lock(self->progressLock_);
    const auto now = std::chrono::steady_clock::now();
    if (self->lastProgress_ && now - *self->lastProgress_ < std::chrono::seconds(1)) return 0;
    self->lastProgress_ = now;

    double percent = 0.0;
    if (self->fileLength_ >= kMinFileLength) {
        for (const auto& node : self->parts_) {
            const int64_t received = node->received;
            if (received > 0) percent += static_cast<double>(received) * 100.0 / static_cast<double>(self->fileLength_);
        }
    }
    if (percent > 100.0) return 0;
    if (percent - self->lastPercent_ >= 1.0) {
        self->lastPercent_ = percent;
        self->callback_(DL_CODE_PROGRESS, percent / 100.0, L"");
    }
    return 0;
}

void CMTCurlDownloader::downloadThreadFun(DownloadPartNode& node) {
    int budget = kPartBudget;
    int result = downloadExe(node);
    while (result != 0 && !abort_.Raised()) {
        if (budget <= 0) break;
        budget -= result == CURLE_PARTIAL_FILE ? 1 : 2;
        LOG_DEBUG_LINE(L"CurlDownLoader Code=%d", result);
        if (!abort_.SleepFor(kPauseBetweenTries)) break;
        result = downloadExe(node);
    }
    node.file.reset();
    --runningParts_;
}

void CMTCurlDownloader::waitForFinishThreadFun() {
    while (runningParts_ > 0 && abort_.SleepFor(kFinisherPoll)) {
    }
    for (auto& part : partWorkers_) part.join();
    partWorkers_.clear();
    if (abort_.Raised()) {
        ClearParts();
        return;
    }

    const std::string path = Utils::WideToMultiByte(path_, Utils::CP_ACP);
    int failure = 0;
    for (const auto& node : parts_) {
        if (node->status != DownloadPartNode::kComplete) {
            failure = node->status;
            break;
        }
    }
    if (failure == 0) {
        {
            std::lock_guard<std::mutex> lock(progressLock_);
            lastPercent_ = 0.0;
        }
        failure = JoinPartFiles(path);
    }
    if (failure != 0) {
        ReportFailure(failure);
        return;
    }

    if (expectedMd5_.size() == 32) {
        const std::string actual = GetFileMd5(path);
        if (actual.size() == 32 && actual != expectedMd5_) {
            callback_(DL_CODE_MD5, 0.0, L"mtcurl文件md5校验失败");
            std::remove(path.c_str());
            ClearParts();
            if (retried_) {
                LOG_DEBUG_LINE(L"finish recv, md5 chaek failed and retry failed.");
                callback_(DL_CODE_FAIL, 0.0, kLibCurl);
            } else {
                retried_ = true;
                LOG_DEBUG_LINE(L"finish recv, md5 chaek failed retry once.");
                callback_(DL_CODE_RETRY, 0.0, kLibCurl);
            }
            return;
        }
    } else {
        callback_(DL_CODE_MD5, 0.0, L"mtcurl获取url-md5失败");
    }
    LOG_DEBUG_LINE(L"finish recv");
    ClearParts();
    callback_(DL_CODE_SUCCESS, 0.0, kLibCurl);
}

void CMTCurlDownloader::ReportFailure(int code) {
    ClearParts();
    bool retried = false;
    {
        std::lock_guard<std::mutex> lock(progressLock_);
        // Nothing was reported yet: nothing worth keeping for a resume.
        if (lastPercent_ == 0.0) DeletePartFiles();
        retried = retried_;
        if (retried) lastPercent_ = 0.0;
    }
    if (retried) {
        callback_(DL_CODE_FAIL, code, kLibCurl);
    } else {
        retried_ = true;
        callback_(DL_CODE_RETRY, code, kLibCurl);
    }
}

int CMTCurlDownloader::JoinPartFiles(const std::string& path) {
    // Every part is complete here, so a part file that can't be read or
    // appended would leave a hole in the package: the attempt fails.
    FileHandle first(std::fopen(PartPath(0).c_str(), "ab+"));
    if (!first) return DownloadPartNode::kPartFileUnusable;
    for (size_t index = 1; index < parts_.size(); ++index) {
        const std::string partPath = PartPath(static_cast<int>(index));
        FileHandle part(std::fopen(partPath.c_str(), "rb"));
        if (!part) return DownloadPartNode::kPartFileUnusable;
        char block[kJoinBlock];
        for (;;) {
            const size_t got = std::fread(block, 1, sizeof block, part.get());
            if (got == 0) break;
            if (std::fwrite(block, 1, got, first.get()) != got) return CURLE_WRITE_ERROR;
        }
        if (std::ferror(part.get())) return CURLE_READ_ERROR;
        LOG_DEBUG_LINE(L"partPath::%ls", Utils::MultiByteToWide(partPath, Utils::CP_ACP).c_str());
    }
    if (std::fclose(first.release()) != 0) return CURLE_WRITE_ERROR;
    if (std::rename(PartPath(0).c_str(), path.c_str()) != 0) return CURLE_WRITE_ERROR;
    DeletePartFiles();
    return 0;
}
