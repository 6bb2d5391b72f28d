// brimvale-pipeline --download-only as a separate process against our test
// server: its exit code and the event lines on its standard output.

#include <gtest/gtest.h>


#include "tests/download/DownloadFixtures.h"
#include "tests/support/http/PipelineRun.h"

namespace {

using testsupport::MakeResource;
using testsupport::PatternBody;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::TestHttpServer;

using testsupport::PipelineRun;

PipelineRun RunPipeline(const std::vector<std::string>& args, const TempDir& dir) {
    return testsupport::RunPipeline(BRIM_PIPELINE_PATH, args, dir);
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
