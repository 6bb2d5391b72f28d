// The system downloader (DownloadType 2): hands the whole transfer to the
// system's URL download (platform/UrlDownload) and follows its progress.
// Up to three tries with 1000 ms after each failed one; no resume, no MD5
// check, never DL_CODE_RETRY.
//
// Events: DL_CODE_START (1.0); DL_CODE_PROGRESS for every progress notice
// that carries a total (bytes so far / total, never above 1); then
// DL_CODE_SUCCESS (0.0, "URLDownloadToFile") or, after the third failure and
// its pause, DL_CODE_FAIL with the last result code as a signed 32-bit
// number and "URLDownloadToFile". An empty destination path gives
// DL_CODE_FAIL (1.0, empty text) right after DL_CODE_START and no download.
//
// Threads: built, started and destroyed by the owner. The constructor
// creates the worker ("ABDEF") suspended; Start resumes it (a second Start
// has no effect). Every event comes from the worker. Destruction raises the
// abort flag, which ends a running download within about 100 ms and cuts a
// pause short, sends no further event and joins the worker; a worker that
// was never started is released without running.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "download/AbortSignal.h"
#include "download/CDownloader.h"
#include "download/TransferOptions.h"
#include "utils/Thread.h"

class CWinDownloader : public CDownloader {
public:
    CWinDownloader(ProgressCallback callback, std::wstring url, std::wstring path, TransferOptions options = {});
    ~CWinDownloader() override;
    CWinDownloader(const CWinDownloader&) = delete;
    CWinDownloader& operator=(const CWinDownloader&) = delete;

    void Start() override;

private:
    // What the system download calls back into while it runs (on the
    // worker): progress notices and the abort question.
    class CBindCallback {
    public:
        // Before the worker runs (Start).
        void SetCallback(ProgressCallback callback) { callback_ = std::move(callback); }
        void OnProgress(uint64_t progress, uint64_t maximum) const;
        bool Aborted() const { return abort_.Raised(); }
        void Abort() { abort_.Raise(); }
        // The pause after a failed try; false when cut short by the abort.
        bool Pause(std::chrono::milliseconds duration) { return abort_.SleepFor(duration); }

    private:
        ProgressCallback callback_;
        AbortSignal abort_;
    };

    static unsigned ThreadFun(void* param);
    void Run();

    CBindCallback bindCallback_;
    const ProgressCallback callback_;
    const std::wstring path_;
    const std::wstring url_;
    const TransferOptions options_;
    std::atomic<bool> started_{false};
    Utils::Thread worker_;  // last: joined before everything it uses goes
};
