// Records the events a downloader sends, from whichever of its threads, and
// lets the test wait (bounded) for the end of a run. An optional retry
// answer runs inside the DL_CODE_RETRY event on the downloader's thread, as
// the installer's coordinator answers it; set it before Start.
#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "download/CDownloader.h"
#include "download/DownloadEvents.h"

namespace testsupport {

struct RecordedEvent {
    int code;
    double value;
    std::wstring text;
    std::chrono::steady_clock::time_point at;
};

class EventRecorder {
public:
    ProgressCallback Callback() {
        return [this](int code, double value, const wchar_t* text) { OnEvent(code, value, text); };
    }

    void AnswerRetryWith(std::function<void()> answer) { retryAnswer_ = std::move(answer); }

    // Waits until a run has ended `runs` times: DL_CODE_SUCCESS,
    // DL_CODE_FAIL, or a DL_CODE_RETRY that no answer restarts; false after
    // `limit`.
    bool WaitForEnd(std::chrono::seconds limit, int runs = 1) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return ends_ >= runs; });
    }

    // Waits until `count` events with `code` have arrived.
    bool WaitFor(int code, std::chrono::seconds limit, size_t count = 1) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return CountLocked(code) >= count; });
    }

    std::vector<RecordedEvent> Events() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }

    // The codes in order, progress left out.
    std::vector<int> Codes() const {
        std::vector<int> codes;
        for (const auto& event : Events()) {
            if (event.code != DL_CODE_PROGRESS) codes.push_back(event.code);
        }
        return codes;
    }

    std::vector<double> ProgressValues() const {
        std::vector<double> values;
        for (const auto& event : Events()) {
            if (event.code == DL_CODE_PROGRESS) values.push_back(event.value);
        }
        return values;
    }

private:
    void OnEvent(int code, double value, const wchar_t* text) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            events_.push_back({code, value, text ? text : L"(null)", std::chrono::steady_clock::now()});
            if (code == DL_CODE_SUCCESS || code == DL_CODE_FAIL || (code == DL_CODE_RETRY && !retryAnswer_)) ++ends_;
        }
        changed_.notify_all();
        if (code == DL_CODE_RETRY && retryAnswer_) retryAnswer_();
    }

    size_t CountLocked(int code) const {
        size_t count = 0;
        for (const auto& event : events_) count += event.code == code ? 1 : 0;
        return count;
    }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<RecordedEvent> events_;
    int ends_ = 0;
    std::function<void()> retryAnswer_;
};

}  // namespace testsupport
