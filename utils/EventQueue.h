// A queue that hands items from any number of producer threads, in the order
// they were pushed, to one consuming thread. Push never blocks for long (it
// only takes the lock). The optional waker runs on the producer's thread
// after each push, outside the lock, so that a consumer sleeping in another
// loop (a window system's) can be told to drain the queue; it must not call
// back into the queue's Pop.
#pragma once
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>

namespace Utils {

template <typename T>
class EventQueue {
public:
    explicit EventQueue(std::function<void()> waker = {}) : waker_(std::move(waker)) {}

    void Push(T item) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            items_.push_back(std::move(item));
        }
        ready_.notify_one();
        if (waker_) waker_();
    }

    // Waits up to `timeout` for the next item.
    std::optional<T> Pop(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!ready_.wait_for(lock, timeout, [this] { return !items_.empty(); })) return std::nullopt;
        T item = std::move(items_.front());
        items_.pop_front();
        return item;
    }

    std::optional<T> TryPop() { return Pop(std::chrono::milliseconds(0)); }

private:
    std::function<void()> waker_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<T> items_;
};

}  // namespace Utils
