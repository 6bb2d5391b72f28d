#include "utils/ChildProcess.h"

#include "platform/CommandLineSplit.h"
#include "utils/Exception.h"

namespace Utils {

ChildProcess::~ChildProcess() {
    Close();
    if (pid_ != 0 && !exitCode_) exitCode_ = platform::ReapChild(pid_);
}

void ChildProcess::Start(const std::wstring& commandLine) {
    if (pid_ != 0 || commandLine.size() > kCommandLineLimit) throw Exception();
    commandLine_ = commandLine;
    try {
        error_.Create();
        output_.Create();
        input_.Create();
    } catch (const Exception&) {
        Close();
        throw;
    }
    pid_ = platform::SpawnChild(platform::SplitCommandLine(commandLine_), input_.ReadEnd(), output_.WriteEnd(),
                                error_.WriteEnd());
    if (pid_ == 0) {
        Close();
        throw Exception();
    }
    exitNotifier_ = platform::OpenExitNotifier(pid_);
    // The child holds its own copies now; the parent keeps only the read
    // ends of output and error. Nothing is ever written to the child.
    output_.CloseWriteEnd();
    error_.CloseWriteEnd();
    input_.Close();
}

void ChildProcess::Close() {
    input_.Close();
    output_.Close();
    error_.Close();
    platform::CloseDescriptor(exitNotifier_);
}

std::optional<int> ChildProcess::ExitCode() {
    if (!exitCode_ && pid_ != 0) {
        int code = 0;
        if (platform::TryReapChild(pid_, code)) exitCode_ = code;
    }
    return exitCode_;
}

int ChildProcess::Wait() {
    if (!exitCode_ && pid_ != 0) exitCode_ = platform::ReapChild(pid_);
    return exitCode_.value_or(-1);
}

void ChildProcess::DiscardErrorOutput() {
    char scratch[4096];
    if (platform::ReadDescriptor(error_.ReadEnd(), scratch, sizeof(scratch)).status != platform::ReadStatus::Data)
        error_.CloseReadEnd();
}

ChildProcess::Output ChildProcess::ReadOutput(char* buffer, size_t capacity, std::chrono::milliseconds wait) {
    const bool outputOpen = output_.ReadEnd() != platform::kNoDescriptor;
    if (!outputOpen && (exitCode_ || pid_ == 0)) return {ReadStatus::End, 0};
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        const platform::Descriptor fds[3] = {output_.ReadEnd(), error_.ReadEnd(),
                                             exitCode_ ? platform::kNoDescriptor : exitNotifier_};
        bool ready[3];
        if (left.count() < 0 || !platform::WaitReadable(fds, ready, 3, left))
            return {outputOpen ? ReadStatus::Silent : ReadStatus::End, 0};
        if (ready[1]) DiscardErrorOutput();
        if (ready[0]) {
            const platform::ReadOutcome r = platform::ReadDescriptor(output_.ReadEnd(), buffer, capacity);
            if (r.status == platform::ReadStatus::Data) return {ReadStatus::Data, r.size};
            output_.CloseReadEnd();  // a failed read counts as the end: retrying would spin
            return {ReadStatus::End, 0};
        }
        if (ready[2]) return {outputOpen ? ReadStatus::Silent : ReadStatus::End, 0};
    }
}

}  // namespace Utils
