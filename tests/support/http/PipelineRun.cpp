#include "tests/support/http/PipelineRun.h"

#include <sstream>

#include "tests/support/http/ChildProgram.h"

namespace testsupport {

PipelineRun RunPipeline(const std::string& program, const std::vector<std::string>& args, const TempDir& dir) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    const std::string out = dir.File("pipeline.stdout"), err = dir.File("pipeline.stderr");
    std::remove(out.c_str());
    std::remove(err.c_str());
    PipelineRun run;
    run.exitCode = RunProgram(argv, out, std::chrono::minutes(1), err);
    run.output = ReadFile(out);
    run.log = ReadFile(err);
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("1002\t", 0) != 0) run.lines.push_back(line);
    }
    return run;
}

}  // namespace testsupport
