// A named worker thread that is created suspended and runs its body once
// its owner calls Resume. Logs "THREAD BEGIN" / "THREAD END" around the body.
//
// Ownership: the owner holds the Thread (usually by std::unique_ptr) and
// builds, resumes, waits for and destroys it on its own thread. Wait blocks
// without a time limit until the body has returned; waiting twice is
// harmless. Destroying a Thread that was never resumed releases it without
// running the body; destroying a resumed one waits for the body first.
// The body must not destroy or Wait on its own Thread.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace Utils {

class Thread {
public:
    using Body = std::function<unsigned(void*)>;
    static constexpr uint32_t kNoThread = 0xFFFFFFFF;

    // Starts the OS thread, names it ("t" + id when `name` is empty) and
    // parks it before the body. If the thread can't be created, the object
    // has no handle and Resume does nothing.
    Thread(void* param, std::wstring name, Body body);
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    void Resume();
    void Wait();

    bool HasHandle() const { return worker_.joinable(); }
    uint32_t ThreadId() const { return threadId_; }
    const std::string& DebuggerName() const { return debuggerName_; }

private:
    enum class Gate { Parked, Resumed, Released };
    void CallBack();

    uint32_t threadId_ = kNoThread;
    void* param_;
    std::wstring name_;
    Body body_;
    std::string debuggerName_;
    std::mutex mutex_;
    std::condition_variable cv_;
    Gate gate_ = Gate::Parked;
    bool named_ = false;
    std::thread worker_;
};

}  // namespace Utils
