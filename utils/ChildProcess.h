// A hidden child program with its standard streams on pipes.
//
// Start splits the command line by the Windows shell's rules (the program
// is the first token) and starts the child in its own process group with
// the parent's environment and current folder. The child's standard input
// is a pipe whose write end is closed at once, so a child that reads its
// input sees the end instead of waiting for ever. Its standard output is
// what ReadOutput returns; its standard error is read and thrown away
// whenever ReadOutput waits, so a child can't block on a full error pipe.
//
// Ownership and threads: one owner (a runner's worker thread) creates,
// reads, waits for and closes the child; no other thread touches it. The
// owner waits for the child (Wait) before it lets the object go; the
// destructor closes the pipes and, as a last resort, still reaps a child
// that nobody waited for, blocking until it ends.
#pragma once
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

#include "platform/ChildSpawn.h"
#include "utils/Pipe.h"

namespace Utils {

class ChildProcess {
public:
    // The command line buffer holds 1024 wide characters with its zero.
    static constexpr size_t kCommandLineLimit = 1023;

    enum class ReadStatus {
        Data,    // `size` bytes of standard output are in the buffer
        Silent,  // nothing arrived within the wait, or the child just ended
        End,     // standard output has ended (every writer closed it)
    };
    struct Output {
        ReadStatus status;
        size_t size;
    };

    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Creates the error, output and input pipes (in this order) and starts
    // the child. Throws Utils::Exception, with every pipe closed again, when
    // the command line is longer than kCommandLineLimit, a pipe can't be
    // made, the child was already started, or the program can't be started.
    void Start(const std::wstring& commandLine);

    // Closes every pipe end still open (input write, input read, output
    // write, output read, error write, error read). Safe after a failed
    // start and more than once. It doesn't wait for the child.
    void Close();

    // The exit code once the child has ended (a normal exit gives its
    // status, death by signal N gives 128 + N), nothing while it runs.
    // Never blocks; the first call that sees the end reaps the child.
    std::optional<int> ExitCode();

    // Blocks until the child has ended; its exit code.
    int Wait();

    // Waits up to `wait` for standard output and reads one chunk of at most
    // `capacity` bytes. Returns early (Silent) when the child ends, so the
    // caller can look at ExitCode. Once the output has ended, returns End at
    // once if the child has been reaped, otherwise after the child's end or
    // the wait.
    Output ReadOutput(char* buffer, size_t capacity, std::chrono::milliseconds wait);

    platform::ProcessId ProcessId() const { return pid_; }

private:
    void DiscardErrorOutput();

    std::wstring commandLine_;
    Pipe error_;
    Pipe output_;
    Pipe input_;
    platform::ProcessId pid_ = 0;
    platform::Descriptor exitNotifier_ = platform::kNoDescriptor;
    std::optional<int> exitCode_;
};

}  // namespace Utils
