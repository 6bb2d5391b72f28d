#include "install/CUnInstaller.h"

#include <signal.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/install/RunnerFixture.h"
#include "tests/support/TempDir.h"
#include "tests/support/child/FakeChildFixture.h"
#include "utils/AdminChecks.h"
#include "utils/ConsoleUserName.h"
#include "utils/Encoding.h"

namespace {

using testsupport::Event;
using testsupport::Out;
using testsupport::PrintLines;
using testsupport::W;

const Event kRemovalStarts{UNIST_CODE_PROGRESS, 0.0, L""};
const Event kEndedWithoutFinalLine{UNIST_CODE_SUCCESS, 1.0, L""};
const std::wstring kMissingCopy = L"可执行卸载文件不存在";

// The uninstaller copy (the fake child) in a temporary folder with a blank.
class UninstallerFixture {
public:
    UninstallerFixture() : program_(dir_.File("Torvane Temp/Brimvale_un_asa.exe")) {
        std::filesystem::create_directory(dir_.File("Torvane Temp"));
    }

    std::vector<Event> Run(const std::vector<std::string>& script, const std::wstring& installedFolder = L"/opt/b") {
        testsupport::InstallFakeChild(program_, script);
        return RunProgram(W(program_), installedFolder);
    }

    static std::vector<Event> RunProgram(const std::wstring& program, const std::wstring& installedFolder) {
        testsupport::EventLog log;
        {
            CUnInstaller runner(log.Callback(), program, installedFolder);
            runner.Start();
            EXPECT_TRUE(log.WaitForAny({UNIST_CODE_SUCCESS, UNIST_CODE_FAIL, UNIST_CODE_ERROR}));
        }
        return log.Events();
    }

    const std::string& program() const { return program_; }
    std::string File(const std::string& name) const { return dir_.File(name); }

private:
    testsupport::TempDir dir_;
    std::string program_;
};

struct RemovalCase {
    const char* name;
    std::vector<std::string> lines;
    std::vector<Event> events;  // after the opening 5002 (0.0)
};

void PrintTo(const RemovalCase& c, std::ostream* os) { *os << c.name; }

class RemovalProtocol : public ::testing::TestWithParam<RemovalCase> {};

TEST_P(RemovalProtocol, TurnsLinesIntoEvents) {
    UninstallerFixture fixture;
    std::vector<Event> expected = {kRemovalStarts};
    expected.insert(expected.end(), GetParam().events.begin(), GetParam().events.end());
    EXPECT_EQ(fixture.Run(PrintLines(GetParam().lines)), expected);
}

const std::string kGbkNiHao = "\xC4\xE3\xBA\xC3";
const std::string kUtf8NiHao = "\xE4\xBD\xA0\xE5\xA5\xBD";

INSTANTIATE_TEST_SUITE_P(
    Table, RemovalProtocol,
    ::testing::Values(
        RemovalCase{"progress", {"Progress=0.3", "Progress=1.0"}, {{5002, 0.3, L""}, {5002, 1.0, L""}, kEndedWithoutFinalLine}},
        RemovalCase{"progress not a number", {"Progress=x"}, {{5002, 0.0, L""}, kEndedWithoutFinalLine}},
        RemovalCase{"success", {"State=Success\r"}, {{5003, 0.0, L""}}},
        RemovalCase{"success in upper case", {"State=SUCCESS"}, {kEndedWithoutFinalLine}},
        RemovalCase{"fail", {"State=Fail"}, {{5005, 0.0, L"安装包卸载失败"}}},
        RemovalCase{"error", {"Error=locked file\r"}, {{5005, 0.0, L"locked file\r"}}},
        RemovalCase{"error empty", {"Error="}, {{5005, 0.0, L""}}},
        RemovalCase{"error then success", {"Error=x", "State=Success"}, {{5005, 0.0, L"x"}, {5003, 0.0, L""}}},
        RemovalCase{"lines after a final line", {"State=Success", "Progress=0.9"}, {{5003, 0.0, L""}, {5002, 0.9, L""}}},
        RemovalCase{"encode UTF8", {"Encode=UTF8", "Error=" + kUtf8NiHao}, {{5005, 0.0, L"你好"}}},
        RemovalCase{"encode 936 is the ANSI code page", {"Encode=936", "Error=" + kGbkNiHao},
                    {{5005, 0.0, Utils::MultiByteToWide(kGbkNiHao, Utils::CP_ACP)}}},
        RemovalCase{"value over 771 characters", {"Error=" + std::string(900, 'e')}, {{5005, 0.0, std::wstring(771, L'e')}}},
        RemovalCase{"package keys are unknown here", {"Message=hi", "InstPath=/x", "StartUrl=u"}, {kEndedWithoutFinalLine}}));

TEST(CUnInstaller, ProgressThenSuccess) {
    UninstallerFixture fixture;
    EXPECT_EQ(fixture.Run(PrintLines({"Progress=0.3", "Progress=1.0", "State=Success"})),
              (std::vector<Event>{kRemovalStarts, {5002, 0.3, L""}, {5002, 1.0, L""}, {5003, 0.0, L""}}));
}

TEST(CUnInstaller, NothingPrintedIsSuccessWhateverTheExitCode) {
    for (const char* ending : {"exit 0", "exit 2", "signal 15"}) {
        SCOPED_TRACE(ending);
        UninstallerFixture fixture;
        EXPECT_EQ(fixture.Run({ending}), (std::vector<Event>{kRemovalStarts, kEndedWithoutFinalLine}));
    }
}

TEST(CUnInstaller, AMissingCopyIsReportedWithoutStartingAnything) {
    testsupport::TempDir dir;
    for (const std::wstring& program : {std::wstring(), W(dir.File("Brimvale_un_asa.exe"))}) {
        EXPECT_EQ(UninstallerFixture::RunProgram(program, L"/opt/b"),
                  (std::vector<Event>{{UNIST_CODE_FAIL, 1.0, kMissingCopy}}));
    }
}

TEST(CUnInstaller, ACopyThatCannotRunIsAStartFailure) {
    testsupport::TempDir dir;
    const std::string program = dir.File("Brimvale_un_asa.exe");
    testsupport::InstallFakeChild(program, {}, 0644);  // no execute bit at all
    EXPECT_EQ(UninstallerFixture::RunProgram(W(program), L"/opt/b"),
              (std::vector<Event>{kRemovalStarts, {UNIST_CODE_FAIL, 2.0, L""}}));
}

TEST(CUnInstaller, AnErrorPrintedJustBeforeTheExitIsNotLost) {
    UninstallerFixture fixture;
    EXPECT_EQ(fixture.Run({"fill-out 200000", Out("Error=late", false)}),
              (std::vector<Event>{kRemovalStarts, {5005, 0.0, L"late"}}));
}

TEST(CUnInstaller, TheUninstallerReceivesItsCommandLine) {
    UninstallerFixture fixture;
    const std::string record = fixture.File("record");
    fixture.Run({"record " + record}, L"/opt/Brimvale");
    std::wstring user;
    Utils::GetConsoleUserName(user);
    const std::string account = Utils::IsAdminAccount(user) == 1 ? "true" : "false";
    const std::string token = Utils::IsAdminToken() != 0 ? "true" : "false";
    // The program path has a blank: it arrives whole.
    EXPECT_EQ(testsupport::ReadFakeChildRecord(record).argv,
              (std::vector<std::string>{fixture.program(), "/S", "-adminact=" + account, "-authorizationact=" + token,
                                        "-console=show", "_?=/opt/Brimvale"}));
}

TEST(CUnInstaller, TheInstalledFolderStandsUnquotedAtTheEnd) {
    UninstallerFixture fixture;
    const std::string record = fixture.File("record");
    fixture.Run({"record " + record}, L"/opt/Brimvale Home");
    const auto argv = testsupport::ReadFakeChildRecord(record).argv;
    ASSERT_GE(argv.size(), 2u);
    EXPECT_EQ(argv[argv.size() - 2], "_?=/opt/Brimvale");
    EXPECT_EQ(argv.back(), "Home");
}

TEST(CUnInstaller, ALineSplitAcrossTwoWritesArrivesWhole) {
    UninstallerFixture fixture;
    EXPECT_EQ(fixture.Run({Out("Err", false), "sleep 100", Out("or=bro", false), "sleep 100", Out("ken")}),
              (std::vector<Event>{kRemovalStarts, {5005, 0.0, L"broken"}}));
}

TEST(CUnInstaller, MegabytesOnStandardErrorDoNotBlock) {
    UninstallerFixture fixture;
    EXPECT_EQ(fixture.Run({"fill-err 4000000", Out("State=Success")}),
              (std::vector<Event>{kRemovalStarts, {5003, 0.0, L""}}));
}

TEST(CUnInstaller, StandardInputIsClosed) {
    UninstallerFixture fixture;
    EXPECT_EQ(fixture.Run({"read-stdin", Out("State=Success")}),
              (std::vector<Event>{kRemovalStarts, {5003, 0.0, L""}}));
}

TEST(CUnInstaller, AGrandchildHoldingTheOutputDoesNotHoldTheRun) {
    UninstallerFixture fixture;
    const std::string pidFile = fixture.File("grandchild.pid");
    const auto events = fixture.Run({"grandchild 60000 " + pidFile, Out("State=Success")});
    std::ifstream in(pidFile);
    pid_t grandchild = 0;
    if (in >> grandchild && grandchild > 0) ::kill(grandchild, SIGKILL);
    EXPECT_GT(grandchild, 0);
    EXPECT_EQ(events, (std::vector<Event>{kRemovalStarts, {5003, 0.0, L""}}));
}

TEST(CUnInstaller, NoDescriptorIsLeftOpenAfterARun) {
    UninstallerFixture fixture;
    fixture.Run(PrintLines({"Progress=0.1"}));  // first use settles the process's own descriptors
    const int before = testsupport::OpenDescriptorCount();
    fixture.Run(PrintLines({"Progress=0.2", "State=Success"}));
    UninstallerFixture::RunProgram(L"", L"/opt/b");
    EXPECT_EQ(testsupport::OpenDescriptorCount(), before);
}

}  // namespace
