// The single-stream downloader (every DownloadType but 2 and 3): one GET
// through CurlClient into "<destination>.part", retried from where it
// stopped, then checked against the MD5 segment of the final address.
//
// Budget: 12; a try that ends with CURLE_PARTIAL_FILE (18) costs 1, any
// other failure 2; 500 ms between tries. One DL_CODE_RETRY per object, on a
// digest mismatch.
//
// Threads: built, started and destroyed by the owner. Each attempt runs on
// a worker ("ABDEF") that sends every event. Start may be called from inside
// this downloader's own DL_CODE_RETRY event: the new worker starts at once
// and the calling one, which ends as soon as the event returns, is joined at
// the next Start or at destruction. Called from any other thread while an
// attempt runs, Start first waits for that attempt to end. Destruction aborts a running attempt
// (the transfer ends at its next callback, a pause at once), sends no
// further event, and joins every worker.
#pragma once
#include <memory>
#include <string>

#include "download/AbortSignal.h"
#include "download/CDownloader.h"
#include "download/CurlClient.h"
#include "download/TransferOptions.h"
#include "utils/Thread.h"

class CCurlDownloader : public CDownloader {
public:
    // Deletes the part file an earlier run may have left: resuming works
    // between the tries of one run, never across runs.
    CCurlDownloader(ProgressCallback callback, std::wstring url, std::wstring path, TransferOptions options = {});
    ~CCurlDownloader() override;

    void Start() override;

private:
    void dlThreadFun();
    // The progress adapter the client calls (speed, 0.0, percent).
    void OnProgress(double speed, double unused, double percent);

    const ProgressCallback callback_;
    const std::wstring path_;
    const std::wstring url_;
    CurlClient client_;
    std::unique_ptr<Utils::Thread> worker_;
    // A worker that called Start from inside its own event.
    std::unique_ptr<Utils::Thread> retiredWorker_;
    bool retried_ = false;
    AbortSignal abort_;
};
