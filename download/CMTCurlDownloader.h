// The multi-part downloader (DownloadType 3): one header-only request finds
// the final address and the length; the file is cut into one or two byte
// ranges (ByteRanges.h), each fetched by a part worker of its own into
// "<destination>_<index>"; a finisher then appends the part files into the
// destination and checks the MD5 segment of the final address.
//
// A range try ends when less than 1 byte a second arrives for 5 s; a part
// gets a budget of 12 (18 costs 1, other failures 2) with 400 ms between
// tries, and every retry asks only for its missing bytes. One DL_CODE_RETRY
// per object, for a failed part or a digest mismatch.
//
// Threads: built, started and destroyed by the owner. Each attempt runs a
// controller (a Utils::Thread "ABDEF": DL_CODE_START, the early
// DL_CODE_FAIL), part workers started 100 ms apart (DL_CODE_PROGRESS, sent
// under the progress lock so that values never fall back), and a finisher
// that polls every 200 ms, joins the part workers and sends the attempt's
// last events. All are owned and joined by this object. Start may be called
// from inside the finisher's DL_CODE_RETRY event: that finisher ends when the
// event returns and is joined at the next Start or at destruction (called
// from elsewhere while an attempt runs, Start waits for it to end). The
// callback must not call Start from a progress event. Destruction aborts the
// running attempt (transfers end at their next callback), sends no further
// event and joins every thread.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "download/AbortSignal.h"
#include "download/CDownloader.h"
#include "download/DownloadPartNode.h"
#include "download/TransferOptions.h"
#include "utils/Thread.h"

class CMTCurlDownloader : public CDownloader {
public:
    static constexpr int64_t kMinFileLength = 256;

    // Deletes the destination and the part files 0 and 1.
    CMTCurlDownloader(ProgressCallback callback, std::wstring url, std::wstring path, TransferOptions options = {});
    ~CMTCurlDownloader() override;

    void Start() override;

private:
    void Start_Down();
    bool getRealDownloadUrl(const std::string& url);
    int downloadExe(DownloadPartNode& node);
    void downloadThreadFun(DownloadPartNode& node);
    void waitForFinishThreadFun();
    // Appends the part files into the destination: 0, else the failure code.
    int JoinPartFiles(const std::string& path);
    void ReportFailure(int code);
    void ClearParts();
    std::string PartPath(int index) const;
    void DeletePartFiles() const;

    static size_t PartWriter(char* data, size_t size, size_t count, void* node);
    static int SharedProgress(void* downloader, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

    std::vector<std::unique_ptr<DownloadPartNode>> parts_;
    const ProgressCallback callback_;
    const std::wstring path_;
    const std::wstring url_;
    const TransferOptions options_;
    const bool httpsOnly_;
    std::string finalUrl_;
    int64_t fileLength_ = -1;
    std::string expectedMd5_;
    std::atomic<int> runningParts_{0};
    bool retried_ = false;

    std::mutex progressLock_;  // guards the two fields below
    double lastPercent_ = 0.0;
    std::optional<std::chrono::steady_clock::time_point> lastProgress_;

    std::unique_ptr<Utils::Thread> worker_;  // the controller
    std::unique_ptr<Utils::Thread> retiredWorker_;  // one that called Start from its own event
    std::vector<std::thread> partWorkers_;
    std::thread finisher_;
    std::thread retiredFinisher_;  // one that called Start from its own event

    AbortSignal abort_;
};
