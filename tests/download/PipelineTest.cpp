// brimvale-pipeline --download-only as a separate process against our test
// server: its exit code and the event lines on its standard output.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <sstream>

#include "tests/download/DownloadFixtures.h"
#include "tests/support/http/ChildProgram.h"

extern char** environ;

namespace {

using testsupport::MakeResource;
using testsupport::PatternBody;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::TestHttpServer;

struct PipelineRun {
    int exitCode = -1;
    std::vector<std::string> lines;  // standard output, progress lines left out
    std::string output;              // all of standard output
    std::string log;                 // standard error
};

// Runs the pipeline with `args`, its standard output and error in files of
// their own; bounded by a minute.
PipelineRun RunPipeline(const std::vector<std::string>& args, const TempDir& dir) {
    std::vector<std::string> argv{BRIM_PIPELINE_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (auto& arg : argv) raw.push_back(arg.data());
    raw.push_back(nullptr);
    const std::string out = dir.File("stdout"), err = dir.File("stderr");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, raw[0], &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    PipelineRun run;
    if (spawned != 0) return run;
    run.exitCode = testsupport::WaitProgram(pid, std::chrono::minutes(1));
    if (run.exitCode < 0) testsupport::StopProgram(pid, std::chrono::seconds(0));
    run.output = ReadFile(out);
    run.log = ReadFile(err);
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("1002\t", 0) != 0) run.lines.push_back(line);
    }
    return run;
}

class Pipeline : public testing::Test {
protected:
    TestHttpServer server_;
    TempDir dir_;
    std::string destination_ = dir_.File("pkg.exe");
};

TEST_F(Pipeline, SingleStreamDownloadPrintsEveryEventAndExitsWithZero) {
    const std::string body = PatternBody(1048576 + 99, 31);
    server_.Serve("/files/pkg.exe", MakeResource(body, [](testsupport::Resource& r) { r.bytesPerSecond = 700000; }));
    const PipelineRun run = RunPipeline({"-downloadtype=1", "-downloadurl=" + server_.Url("/files/pkg.exe"),
                                 "--download-only=" + destination_},
                                dir_);
    EXPECT_EQ(run.exitCode, 0) << run.log;
    EXPECT_EQ(run.lines, (std::vector<std::string>{"1001\t1.000000\t", "1006\t0.000000\tcurl获取url-md5失败",
                                                   "1003\t0.000000\tLibCurl"}));
    // The body trickles for 1.5 s: at least one progress line, in the format.
    EXPECT_NE(run.output.find("\n1002\t0."), std::string::npos);
    EXPECT_EQ(ReadFile(destination_), body);
    EXPECT_NE(run.log.find("(CurlClient::Start)"), std::string::npos);  // the log went to standard error
}

TEST_F(Pipeline, DownloadTypeTwoSelectsTheSystemDownloader) {
    const std::string body = PatternBody(70000, 37);
    server_.Serve("/pkg.exe", MakeResource(body));
    const PipelineRun run =
        RunPipeline({"-downloadtype=2", "-downloadurl=" + server_.Url("/pkg.exe"), "--download-only=" + destination_},
                    dir_);
    EXPECT_EQ(run.exitCode, 0) << run.log;
    EXPECT_EQ(run.lines, (std::vector<std::string>{"1001\t1.000000\t", "1003\t0.000000\tURLDownloadToFile"}));
    EXPECT_EQ(ReadFile(destination_), body);
}

TEST_F(Pipeline, AnswersTheRetryAndExitsWithOneOnTheFinalFailure) {
    const std::string path = "/dl/" + testsupport::Md5Of("something else") + "/pkg.exe";
    server_.Serve(path, MakeResource(PatternBody(4096)));
    const PipelineRun run = RunPipeline(
        {"-downloadtype=3", "-downloadurl=" + server_.Url(path), "--download-only=" + destination_}, dir_);
    EXPECT_EQ(run.exitCode, 1) << run.log;
    EXPECT_EQ(run.lines,
              (std::vector<std::string>{"1001\t1.000000\t", "1006\t0.000000\tmtcurl文件md5校验失败",
                                        "1005\t0.000000\tLibCurl", "1001\t1.000000\t",
                                        "1006\t0.000000\tmtcurl文件md5校验失败", "1004\t0.000000\tLibCurl"}));
}

TEST_F(Pipeline, FailureValueIsPrintedWithSixDecimals) {
    // Nothing to find: six tries of -998, then the failure with that value.
    const PipelineRun run = RunPipeline(
        {"-downloadtype=1", "-downloadurl=" + server_.Url("/missing"), "--download-only=" + destination_}, dir_);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.lines, (std::vector<std::string>{"1001\t1.000000\t", "1004\t-998.000000\tLibCurl"}));
    EXPECT_FALSE(testsupport::Exists(destination_));
}

TEST_F(Pipeline, WithoutAModeOrWithAnUnknownOptionItPrintsUsage) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"-downloadtype=3"}, {"--download-only="}, {"--bogus", "--download-only=x"}}) {
        const PipelineRun run = RunPipeline(args, dir_);
        EXPECT_EQ(run.exitCode, 64);
        EXPECT_EQ(run.output, "");
        EXPECT_NE(run.log.find("usage: brimvale-pipeline --download-only=PATH"), std::string::npos);
    }
}

}  // namespace
