// Records the events a stage sends (a downloader, a runner, the
// coordinator), from whichever of its threads, and lets a test wait
// (bounded) for what it expects. A hook may run inside the events of one
// code on the sender's thread, before the sender reacts to it, as a
// receiver answers DL_CODE_RETRY; set it before Start. Header-only: it
// needs only the event codes, no stage library.
#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <string>
#include <vector>

#include "download/DownloadEvents.h"
#include "install/InstallEvents.h"
#include "utils/ProgressCallback.h"

namespace testsupport {

// An event that tells where a run stands: not progress (of any stage,
// 1002, 2002, 5002) and not an information event (3000-3009).
inline bool IsMilestone(int code) {
    const bool progress = code == DL_CODE_PROGRESS || code == IST_CODE_PROGRESS || code == UNIST_CODE_PROGRESS;
    const bool information = code >= IST_INFO_INST_PATH && code <= IST_INFO_MESSAGE;
    return !progress && !information;
}

struct RecordedEvent {
    int code;
    double value;
    std::wstring text;
    std::chrono::steady_clock::time_point at;
};

class EventRecorder {
public:
    using Clock = std::chrono::steady_clock;

    // Valid while the recorder lives: destroy the sender first.
    ProgressCallback Callback() {
        return [this](int code, double value, const wchar_t* text) { OnEvent(code, value, text); };
    }

    // Runs `hook` inside every event with `code` (one code per recorder).
    void OnCode(int code, std::function<void()> hook) {
        hookCode_ = code;
        hook_ = std::move(hook);
    }

    // Waits until a downloader run has ended `runs` times: DL_CODE_SUCCESS,
    // DL_CODE_FAIL, or a DL_CODE_RETRY that no hook answers; false after
    // `limit`.
    bool WaitForEnd(std::chrono::seconds limit, int runs = 1) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return ends_ >= runs; });
    }

    // Waits until any of `codes` has arrived `count` times in all.
    bool WaitForAny(std::initializer_list<int> codes, std::chrono::seconds limit, size_t count = 1) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, limit, [&] {
            size_t seen = 0;
            for (int code : codes) seen += CountLocked(code);
            return seen >= count;
        });
    }

    std::vector<RecordedEvent> Events() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }

    // The codes of the milestones (see IsMilestone) in order.
    std::vector<int> Codes() const {
        std::vector<int> codes;
        for (const auto& event : Events()) {
            if (IsMilestone(event.code)) codes.push_back(event.code);
        }
        return codes;
    }

    // The values of the download progress events.
    std::vector<double> ProgressValues() const {
        std::vector<double> values;
        for (const auto& event : Events()) {
            if (event.code == DL_CODE_PROGRESS) values.push_back(event.value);
        }
        return values;
    }

    // The last event; there must be one.
    RecordedEvent Last() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_.back();
    }

    // When the latest end of a run arrived; Clock::time_point{} before that.
    Clock::time_point EndedAt() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return endedAt_;
    }

    size_t Count(int code) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return CountLocked(code);
    }

private:
    void OnEvent(int code, double value, const wchar_t* text) {
        const bool hooked = hook_ && code == hookCode_;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            // A null text shows as "(null)", so that it never passes for "".
            events_.push_back({code, value, text ? text : L"(null)", Clock::now()});
            if (code == DL_CODE_SUCCESS || code == DL_CODE_FAIL || (code == DL_CODE_RETRY && !hooked)) {
                ++ends_;
                endedAt_ = events_.back().at;
            }
        }
        changed_.notify_all();
        if (hooked) hook_();
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
    Clock::time_point endedAt_{};
    int hookCode_ = 0;
    std::function<void()> hook_;
};

}  // namespace testsupport
