// The "stop now" flag of a downloader that is being destroyed: raised once
// by the owner's thread, read by the downloader's workers and their
// transfer callbacks, and able to cut their pauses short.
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

class AbortSignal {
public:
    void Raise() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            raised_ = true;
        }
        wake_.notify_all();
    }

    bool Raised() const { return raised_; }

    // Sleeps for `duration`, or less once raised; false when raised.
    bool SleepFor(std::chrono::milliseconds duration) {
        std::unique_lock<std::mutex> lock(mutex_);
        return !wake_.wait_for(lock, duration, [this] { return raised_.load(); });
    }

private:
    std::atomic<bool> raised_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
};
