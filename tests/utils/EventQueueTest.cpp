#include "utils/EventQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

TEST(EventQueue, KeepsEachProducersOrderAndLosesNothing) {
    std::atomic<int> wakes{0};
    Utils::EventQueue<std::pair<int, int>> queue([&wakes] { ++wakes; });
    constexpr int kProducers = 4, kItems = 2000;
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p)
        producers.emplace_back([&queue, p] {
            for (int i = 0; i < kItems; ++i) queue.Push({p, i});
        });
    std::vector<int> next(kProducers, 0);
    for (int received = 0; received < kProducers * kItems; ++received) {
        auto item = queue.Pop(10s);
        ASSERT_TRUE(item.has_value());
        EXPECT_EQ(item->second, next[item->first]++);
    }
    for (auto& t : producers) t.join();
    EXPECT_FALSE(queue.TryPop().has_value());
    EXPECT_EQ(wakes.load(), kProducers * kItems);
}

TEST(EventQueue, PopTimesOutWhenEmpty) {
    Utils::EventQueue<int> queue;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(queue.Pop(50ms).has_value());
    EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
}

}  // namespace
