#include "download/CWinDownloader.h"

#include "download/DownloadEvents.h"
#include "download/SystemUrlEscape.h"
#include "platform/UrlDownload.h"

namespace {

constexpr int kTries = 3;
constexpr std::chrono::milliseconds kPauseAfterFailure{1000};
constexpr const wchar_t* kText = L"URLDownloadToFile";

}  // namespace

void CWinDownloader::CBindCallback::OnProgress(uint64_t progress, uint64_t maximum) const {
    // A notice without a total (size not known yet) gives no report; one
    // past its total would claim more than all of the file.
    if (Aborted() || maximum == 0 || progress > maximum) return;
    callback_(DL_CODE_PROGRESS, static_cast<double>(progress) / static_cast<double>(maximum), L"");
}

CWinDownloader::CWinDownloader(ProgressCallback callback, std::wstring url, std::wstring path,
                               TransferOptions options)
    : callback_(std::move(callback)),
      path_(std::move(path)),
      url_(std::move(url)),
      options_(std::move(options)),
      worker_(this, L"ABDEF", &CWinDownloader::ThreadFun) {}

CWinDownloader::~CWinDownloader() {
    // The worker reads the flag, so it is raised here, before the worker
    // (the last member) is joined.
    bindCallback_.Abort();
}

void CWinDownloader::Start() {
    if (!started_.exchange(true)) bindCallback_.SetCallback(callback_);
    worker_.Resume();
}

unsigned CWinDownloader::ThreadFun(void* param) {
    static_cast<CWinDownloader*>(param)->Run();
    return 0;
}

void CWinDownloader::Run() {
    callback_(DL_CODE_START, 1.0, L"");
    if (path_.empty()) {
        callback_(DL_CODE_FAIL, 1.0, L"");
        return;
    }
    const std::wstring address = EscapeUrlForSystemDownload(url_);
    platform::UrlDownloadSettings settings;
    settings.caFile = options_.caFile;
    settings.answerLimit = options_.stallLimit;
    settings.progress = [this](uint64_t progress, uint64_t maximum) { bindCallback_.OnProgress(progress, maximum); };
    settings.shouldAbort = [this] { return bindCallback_.Aborted(); };

    int32_t result = platform::kUrlOk;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        result = platform::DownloadUrlToFile(address, path_, settings);
        if (bindCallback_.Aborted()) return;
        if (result == platform::kUrlOk) {
            callback_(DL_CODE_SUCCESS, 0.0, kText);
            return;
        }
        if (!bindCallback_.Pause(kPauseAfterFailure)) return;
    }
    callback_(DL_CODE_FAIL, static_cast<double>(result), kText);
}
