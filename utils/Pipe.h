// One anonymous pipe: a read end and a write end, both close-on-exec (a
// child receives an end only when its start places it on a standard
// stream). Owned by one Utils::ChildProcess and used on its thread; the
// ends are closed by Close or by the destructor.
#pragma once
#include "platform/PipeIo.h"

namespace Utils {

class Pipe {
public:
    Pipe() = default;
    ~Pipe() { Close(); }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    // Opens the pipe; throws Utils::Exception (nothing left open) on failure.
    void Create();

    platform::Descriptor ReadEnd() const { return read_; }
    platform::Descriptor WriteEnd() const { return write_; }
    void CloseReadEnd() { platform::CloseDescriptor(read_); }
    void CloseWriteEnd() { platform::CloseDescriptor(write_); }
    // Write end first, then read end; harmless when already closed.
    void Close() {
        CloseWriteEnd();
        CloseReadEnd();
    }

private:
    platform::Descriptor write_ = platform::kNoDescriptor;
    platform::Descriptor read_ = platform::kNoDescriptor;
};

}  // namespace Utils
