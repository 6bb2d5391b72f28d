#include "install/ChildOutputLoop.h"

#include <optional>

#include "install/OutputLineSplitter.h"

int ReadChildOutput(Utils::ChildProcess& child, const std::function<bool(std::string_view line)>& onLine) {
    using Clock = std::chrono::steady_clock;
    OutputLineSplitter splitter;
    bool parsing = true;
    const OutputLineSplitter::LineHandler deliver = [&](std::string_view line) {
        if (parsing && !onLine(line)) parsing = false;
    };
    char buffer[1024];
    std::optional<Clock::time_point> endedAt;
    for (;;) {
        const Utils::ChildProcess::Output out = child.ReadOutput(buffer, sizeof(buffer), kPass);
        const bool data = out.status == Utils::ChildProcess::ReadStatus::Data;
        if (data && parsing) splitter.Feed(std::string_view(buffer, out.size), deliver);
        if (endedAt) {
            if (!data || Clock::now() - *endedAt >= kDrainAfterEnd) break;
        } else if (child.ExitCode()) {
            endedAt = Clock::now();
        }
    }
    if (parsing) splitter.Finish(deliver);
    return child.Wait();
}
