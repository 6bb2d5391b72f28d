// Records the events a coordinator forwards, from any of its workers, and
// lets a test wait (bounded) for the chain's end.
#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "download/CDownloader.h"

namespace testsupport {

struct ChainEvent {
    int code;
    double value;
    std::wstring text;
};

class ChainRecorder {
public:
    ProgressCallback Callback() {
        return [this](int code, double value, const wchar_t* text) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                events_.push_back({code, value, text ? text : L""});
            }
            changed_.notify_all();
            if (code == hookCode_ && hook_) hook_();
        };
    }

    // Runs `hook` inside every event with `code`, on the sender's thread,
    // before the coordinator reacts to it. Set before Start.
    void OnCode(int code, std::function<void()> hook) {
        hookCode_ = code;
        hook_ = std::move(hook);
    }

    // Waits until one of `codes` has arrived `count` times in all.
    bool WaitForAny(std::initializer_list<int> codes, std::chrono::seconds limit, size_t count = 1) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, limit, [&] {
            size_t seen = 0;
            for (const auto& e : events_)
                for (int c : codes) seen += e.code == c ? 1 : 0;
            return seen >= count;
        });
    }

    std::vector<ChainEvent> Events() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }

    // The codes in order, every kind of progress (1002, 2002, 5002) and the
    // information events left out.
    std::vector<int> Codes() const {
        std::vector<int> codes;
        for (const auto& e : Events())
            if (e.code != 1002 && e.code != 2002 && e.code != 5002 && !(e.code >= 3000 && e.code <= 3009))
                codes.push_back(e.code);
        return codes;
    }

    size_t Count(int code) const {
        size_t n = 0;
        for (const auto& e : Events()) n += e.code == code ? 1 : 0;
        return n;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<ChainEvent> events_;
    int hookCode_ = 0;
    std::function<void()> hook_;
};

}  // namespace testsupport
