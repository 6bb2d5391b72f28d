#include "utils/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <future>
#include <memory>
#include <sstream>

#include "tests/support/StderrCapture.h"

namespace {

using namespace std::chrono_literals;

// The kernel's name for a thread of this process.
std::string KernelThreadName(uint32_t tid) {
    std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

TEST(Thread, CreatedSuspendedRunsOnlyAfterResume) {
    std::atomic<int> runs{0};
    std::promise<void> done;
    Utils::Thread thread(&runs, L"ABDEF", [&done](void* p) {
        static_cast<std::atomic<int>*>(p)->fetch_add(1);
        done.set_value();
        return 5u;
    });
    ASSERT_TRUE(thread.HasHandle());
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(runs.load(), 0);
    EXPECT_EQ(KernelThreadName(thread.ThreadId()), "ABDEF");
    thread.Resume();
    EXPECT_EQ(done.get_future().wait_for(10s), std::future_status::ready);
    thread.Wait();
    EXPECT_EQ(runs.load(), 1);
    EXPECT_EQ(thread.ThreadId(), Utils::Thread::kNoThread);
    EXPECT_FALSE(thread.HasHandle());
    thread.Wait();  // a second wait finds nothing to wait for
    EXPECT_EQ(runs.load(), 1);
}

TEST(Thread, EmptyNameGivesTPlusThreadId) {
    Utils::Thread thread(nullptr, L"", [](void*) { return 0u; });
    const std::string expected = "t" + std::to_string(thread.ThreadId());
    EXPECT_EQ(thread.DebuggerName(), expected);
    EXPECT_EQ(KernelThreadName(thread.ThreadId()), expected.substr(0, 15));
    thread.Resume();
}

TEST(Thread, NeverResumedThreadIsReleasedWithoutRunning) {
    std::atomic<bool> ran{false};
    testsupport::StderrCapture capture;
    {
        Utils::Thread thread(nullptr, L"UnInstaller", [&ran](void*) {
            ran = true;
            return 0u;
        });
    }  // must not hang
    EXPECT_FALSE(ran.load());
    EXPECT_EQ(capture.Text().find("THREAD BEGIN"), std::string::npos);
}

TEST(Thread, DestructionWaitsForTheBodyAndLogsAroundIt) {
    std::atomic<bool> finished{false};
    testsupport::StderrCapture capture;
    {
        Utils::Thread thread(nullptr, L"ABDEF", [&finished](void*) {
            std::this_thread::sleep_for(200ms);
            finished = true;
            return 0u;
        });
        thread.Resume();
    }
    EXPECT_TRUE(finished.load());
    const std::string log = capture.Text();
    const size_t begin = log.find("(Utils::Thread::CallBack)");
    ASSERT_NE(begin, std::string::npos) << log;
    EXPECT_NE(log.find(">: THREAD BEGIN\r\n"), std::string::npos);
    EXPECT_GT(log.find(">: THREAD END\r\n"), log.find(">: THREAD BEGIN\r\n"));
}

TEST(Thread, ResumeTwiceRunsTheBodyOnce) {
    std::atomic<int> runs{0};
    {
        Utils::Thread thread(nullptr, L"ABDEF", [&runs](void*) {
            ++runs;
            return 0u;
        });
        thread.Resume();
        thread.Resume();
    }
    EXPECT_EQ(runs.load(), 1);
}

}  // namespace
