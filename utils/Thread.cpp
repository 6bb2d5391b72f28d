#include "utils/Thread.h"

#include <system_error>

#include "platform/ProcessInfo.h"
#include "platform/ThreadName.h"
#include "utils/Encoding.h"
#include "utils/Log.h"

namespace Utils {

Thread::Thread(void* param, std::wstring name, Body body)
    : param_(param), name_(std::move(name)), body_(std::move(body)) {
    try {
        worker_ = std::thread([this] { CallBack(); });
    } catch (const std::system_error&) {
        return;  // no handle: the job never runs, as the owners expect
    }
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [this] { return named_; });
}

void Thread::CallBack() {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        threadId_ = platform::CurrentThreadId();
        debuggerName_ = name_.empty() ? "t" + std::to_string(threadId_) : WideToMultiByte(name_, CP_ACP);
        platform::NameCurrentThread(debuggerName_);
        named_ = true;
        cv_.notify_all();
        cv_.wait(lock, [this] { return gate_ != Gate::Parked; });
        if (gate_ == Gate::Released) return;
    }
    LOG_DEBUG_LINE(L"THREAD BEGIN");
    body_(param_);
    LOG_DEBUG_LINE(L"THREAD END");
}

void Thread::Resume() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (worker_.joinable() && gate_ == Gate::Parked) {
        gate_ = Gate::Resumed;
        cv_.notify_all();
    }
}

void Thread::Wait() {
    if (!worker_.joinable()) return;
    worker_.join();
    threadId_ = kNoThread;
}

Thread::~Thread() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (gate_ == Gate::Parked) {
            gate_ = Gate::Released;
            cv_.notify_all();
        }
    }
    Wait();
}

}  // namespace Utils
