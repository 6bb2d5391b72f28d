// Runs brimvale-pipeline (or any program printing its event lines) as a
// separate process, bounded by a minute, and collects what it printed.
// One test thread.
#pragma once
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace testsupport {

struct PipelineRun {
    int exitCode = -1;               // -1: could not start, or killed at the limit
    std::vector<std::string> lines;  // standard output, download progress (1002) left out
    std::string output;              // all of standard output
    std::string log;                 // standard error
};

// Runs `program` with `args`; its output and log go to files in `dir`.
PipelineRun RunPipeline(const std::string& program, const std::vector<std::string>& args, const TempDir& dir);

}  // namespace testsupport
