#include "download/CCurlDownloader.h"

#include <cstdio>

#include "download/DownloadEvents.h"
#include "download/Md5.h"
#include "download/ReleaseWorker.h"
#include "utils/Encoding.h"
#include "utils/Log.h"

namespace {

constexpr int kBudget = 12;
constexpr auto kPauseBetweenTries = std::chrono::milliseconds(500);
constexpr const wchar_t* kLibCurl = L"LibCurl";

}  // namespace

CCurlDownloader::CCurlDownloader(ProgressCallback callback, std::wstring url, std::wstring path,
                                 TransferOptions options)
    : callback_(std::move(callback)),
      path_(std::move(path)),
      url_(std::move(url)),
      client_(
          url_, path_, [this](double speed, double unused, double percent) { OnProgress(speed, unused, percent); },
          std::move(options)) {
    std::remove(client_.PartPath().c_str());
}

CCurlDownloader::~CCurlDownloader() {
    client_.Abort();
    abort_.Raise();
    worker_.reset();
    retiredWorker_.reset();
}

void CCurlDownloader::Start() {
    ReleaseWorker(worker_, retiredWorker_);
    worker_ = std::make_unique<Utils::Thread>(this, L"ABDEF", [](void* self) {
        static_cast<CCurlDownloader*>(self)->dlThreadFun();
        return 0u;
    });
    worker_->Resume();
}

void CCurlDownloader::OnProgress(double speed, double, double percent) {
    if (speed > 0 && percent <= 100) callback_(DL_CODE_PROGRESS, percent / 100, L"");
}

void CCurlDownloader::dlThreadFun() {
    callback_(DL_CODE_START, 1.0, L"");
    if (path_.empty()) {
        callback_(DL_CODE_FAIL, 1.0, L"");
        return;
    }
    int budget = kBudget;
    int result = client_.Start();
    while (result != 0) {
        if (abort_.Raised()) return;
        budget -= result == CURLE_PARTIAL_FILE ? 1 : 2;
        if (budget < 1) {
            callback_(DL_CODE_FAIL, result, kLibCurl);
            return;
        }
        LOG_DEBUG_LINE(L"CurlDownLoader Code=%d", result);
        if (!abort_.SleepFor(kPauseBetweenTries)) return;
        result = client_.Start();
    }
    if (abort_.Raised()) return;

    const std::string expected = GetUrlMd5(client_.FinalUrl());
    if (expected.size() != 32) {
        callback_(DL_CODE_MD5, 0.0, L"curl获取url-md5失败");
        callback_(DL_CODE_SUCCESS, 0.0, kLibCurl);
        return;
    }
    const std::string actual = GetFileMd5(Utils::WideToMultiByte(path_, Utils::CP_ACP));
    if (actual.size() == 32 && actual != expected) {
        callback_(DL_CODE_MD5, 0.0, L"curl文件md5校验失败");
        if (!retried_) {
            retried_ = true;
            callback_(DL_CODE_RETRY, 0.0, kLibCurl);
        } else {
            callback_(DL_CODE_FAIL, 0.0, kLibCurl);
        }
        return;
    }
    callback_(DL_CODE_SUCCESS, 0.0, kLibCurl);
}
