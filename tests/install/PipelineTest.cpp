// brimvale-pipeline as a separate process against the test server.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/install/ChainFixture.h"
#include "tests/support/EventRecorder.h"
#include "tests/support/http/PipelineRun.h"

namespace {

struct ChainRun {
    int exitCode = -1;
    std::vector<std::string> lines;
    // The event codes in order, without progress and information events.
    std::vector<int> codes;
};

ChainRun RunPipeline(const std::vector<std::string>& args) {
    testsupport::TempDir dir;
    const testsupport::PipelineRun run = testsupport::RunPipeline(BRIM_PIPELINE_PATH, args, dir);
    ChainRun chain{run.exitCode, {}, {}};
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);) {
        chain.lines.push_back(line);
        const int code = std::stoi(line);
        if (testsupport::IsMilestone(code)) chain.codes.push_back(code);
    }
    return chain;
}

enum class Served { Sample, WrongMd5, Missing, FailingPackage };

struct PipelineCase {
    const char* name;
    Served served;
    bool removalFails;
    int exitCode;
    std::vector<int> codes;
};

void PrintTo(const PipelineCase& c, std::ostream* os) { *os << c.name; }

class PipelineTest : public testing::TestWithParam<PipelineCase> {
protected:
    testsupport::TempDir dir;
    testsupport::TestHttpServer server;
};

TEST_P(PipelineTest, ExitCodeAndEvents) {
    const PipelineCase& c = GetParam();
    std::string url;
    switch (c.served) {
        case Served::Sample: url = testsupport::ServePackage(server, testsupport::SamplePackage()); break;
        case Served::WrongMd5: url = testsupport::ServePackage(server, testsupport::SamplePackage(), false); break;
        case Served::Missing: url = server.Url("/0123456789abcdef0123456789abcdef/Brimvale_setup.exe"); break;
        case Served::FailingPackage:
            url = testsupport::ServePackage(server, testsupport::ScriptPackage("echo State=Fail"));
            break;
    }
    const std::string folder = dir.File("Brimvale");
    std::vector<std::string> args = {"-downloadurl=" + url, "--dir=" + folder};
    if (c.removalFails) {
        testsupport::WriteScript(dir.File("uninst.exe"), "echo Error=busy");
        args.push_back("--uninstaller=" + dir.File("uninst.exe"));
    }
    const ChainRun run = RunPipeline(args);
    EXPECT_EQ(run.exitCode, c.exitCode);
    EXPECT_EQ(run.codes, c.codes);
    EXPECT_FALSE(std::filesystem::exists(folder + "/__Package_Brimvale.exe"));
    EXPECT_EQ(std::filesystem::exists(folder + "/Brimvale.exe"), c.exitCode == 0);
    for (const auto& line : run.lines) {
        // code TAB value with six decimals TAB text
        const size_t tab = line.find('\t');
        ASSERT_NE(tab, std::string::npos) << line;
        const size_t tab2 = line.find('\t', tab + 1);
        ASSERT_NE(tab2, std::string::npos) << line;
        const std::string value = line.substr(tab + 1, tab2 - tab - 1);
        EXPECT_EQ(value.size() - value.find('.'), 7u) << line;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pipeline, PipelineTest,
    testing::Values(PipelineCase{"Installs", Served::Sample, false, 0, {1001, 1003, 2001, 2003}},
                    PipelineCase{"DigestMismatch", Served::WrongMd5, false, 2, {1001, 1006, 1005, 1001, 1006, 1004}},
                    PipelineCase{"NotOnServer", Served::Missing, false, 2, {1001, 1004}},
                    PipelineCase{"PackageFails", Served::FailingPackage, false, 1, {1001, 1003, 2001, 2004}},
                    PipelineCase{"RemovalFails", Served::Sample, true, 3, {5005}}),
    [](const testing::TestParamInfo<PipelineCase>& info) { return info.param.name; });

TEST(PipelineUsage, ChainWithoutFolderIsAUsageError) {
    const ChainRun run = RunPipeline({"-downloadurl=http://127.0.0.1:9/x"});
    EXPECT_EQ(run.exitCode, 64);
    EXPECT_TRUE(run.lines.empty());
}

TEST(PipelineUsage, FailureTextsArriveAsUtf8) {
    testsupport::TempDir dir;
    testsupport::TestHttpServer server;
    const std::string url = testsupport::ServePackage(server, testsupport::SamplePackage(), false);
    const ChainRun run = RunPipeline({"-downloadurl=" + url, "--download-only=" + dir.File("p.exe")});
    EXPECT_EQ(run.exitCode, 1);
    ASSERT_GE(run.lines.size(), 2u);
    bool sawMd5Notice = false;
    for (const auto& line : run.lines)
        sawMd5Notice = sawMd5Notice || line == "1006\t0.000000\tcurl文件md5校验失败";
    EXPECT_TRUE(sawMd5Notice);
}

}  // namespace
