#include "install/CInstaller.h"

#include <signal.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <optional>

#include "tests/install/RunnerFixture.h"
#include "tests/support/StderrCapture.h"
#include "tests/support/TempDir.h"
#include "tests/support/child/FakeChildFixture.h"

namespace {

using testsupport::Event;
using testsupport::Out;
using testsupport::PrintLines;
using testsupport::W;

struct Choices {
    std::wstring installFolder;
    bool desktopShortcut = true;
    bool quickLaunch = false;
    bool adminAccount = false;
    bool adminToken = true;
    std::wstring language;
    std::wstring instCmd;
};

// A downloaded package (the fake child, not yet executable) in a folder
// with a blank, run through a CInstaller.
class PackageFixture {
public:
    PackageFixture() : package_(dir_.File("dl dir/__Package_Brimvale.exe")) {
        std::filesystem::create_directory(dir_.File("dl dir"));
    }

    // Writes the package's script and runs it once; every event of the run.
    std::vector<Event> Run(const std::vector<std::string>& script, const Choices& choices = {}) {
        testsupport::InstallFakeChild(package_, script, 0644);
        settings_.InstCmd = choices.instCmd;
        testsupport::EventLog log;
        {
            CInstaller runner(log.Callback(), L"\"" + W(package_) + L"\"", choices.installFolder,
                              choices.desktopShortcut, choices.quickLaunch, choices.adminAccount, settings_);
            runner.SetAdminToken(choices.adminToken);
            runner.SetLanguage(choices.language);
            runner.Start();
            EXPECT_TRUE(log.WaitForAny({IST_CODE_SUCCESS, IST_CODE_FAIL})) << "the run never ended";
        }
        return log.Events();
    }

    const std::string& package() const { return package_; }
    std::string File(const std::string& name) const { return dir_.File(name); }

private:
    testsupport::TempDir dir_;
    std::string package_;
    InstallerSettings settings_;
};

// The events between the opening 2001, 2002 (0.0) and the end of a run.
std::vector<Event> Body(std::vector<Event> events) {
    const std::vector<Event> opening = {{IST_CODE_START, 0.0, L""}, {IST_CODE_PROGRESS, 0.0, L""}};
    EXPECT_GE(events.size(), 2u);
    if (events.size() < 2) return events;
    EXPECT_EQ(std::vector<Event>(events.begin(), events.begin() + 2), opening);
    return std::vector<Event>(events.begin() + 2, events.end());
}

const Event kEndedWithoutFinalLine{IST_CODE_SUCCESS, 1.0, L""};

struct ProtocolCase {
    const char* name;
    std::vector<std::string> lines;  // each printed in its own write
    std::vector<Event> events;       // after 2001, 2002 (0.0)
};

void PrintTo(const ProtocolCase& c, std::ostream* os) { *os << c.name; }

class PackageProtocol : public ::testing::TestWithParam<ProtocolCase> {};

TEST_P(PackageProtocol, TurnsLinesIntoEvents) {
    PackageFixture fixture;
    EXPECT_EQ(Body(fixture.Run(PrintLines(GetParam().lines))), GetParam().events);
}

const std::wstring kInstallFailed = L"安装包安装失败";
const std::string kGbkNiHao = "\xC4\xE3\xBA\xC3";     // 你好 in CP936
const std::string kUtf8NiHao = "\xE4\xBD\xA0\xE5\xA5\xBD";  // 你好 in UTF-8

INSTANTIATE_TEST_SUITE_P(
    Table, PackageProtocol,
    ::testing::Values(
        ProtocolCase{"progress", {"Progress=0.5"}, {{2002, 0.5, L""}, kEndedWithoutFinalLine}},
        ProtocolCase{"progress with CR", {"Progress=0.25\r"}, {{2002, 0.25, L""}, kEndedWithoutFinalLine}},
        ProtocolCase{"progress not a number", {"Progress=abc"}, {{2002, 0.0, L""}, kEndedWithoutFinalLine}},
        ProtocolCase{"install path", {"InstPath=/opt/Brimvale"}, {{3000, 0.0, L"/opt/Brimvale"}, kEndedWithoutFinalLine}},
        ProtocolCase{"install path untrimmed", {"InstPath= /opt/x \r"}, {{3000, 0.0, L" /opt/x \r"}, kEndedWithoutFinalLine}},
        ProtocolCase{"install path empty", {"InstPath="}, {{3000, 0.0, L""}, kEndedWithoutFinalLine}},
        ProtocolCase{"success", {"State=Success"}, {{2003, 0.0, L""}}},
        ProtocolCase{"success trimmed", {"State= Success\t\r"}, {{2003, 0.0, L""}}},
        ProtocolCase{"success in lower case", {"State=success"}, {kEndedWithoutFinalLine}},
        ProtocolCase{"key not at the start", {" State=Success"}, {kEndedWithoutFinalLine}},
        ProtocolCase{"fail", {"State=Fail\r"}, {{2004, 0.0, kInstallFailed}}},
        ProtocolCase{"other state", {"State=Running"}, {kEndedWithoutFinalLine}},
        ProtocolCase{"install version", {"InstallVersion=2.1.7"}, {kEndedWithoutFinalLine}},
        ProtocolCase{"exe path", {"ExePath=/opt/b/Brimvale"}, {{3001, 0.0, L"/opt/b/Brimvale"}, kEndedWithoutFinalLine}},
        ProtocolCase{"start exe", {"StartExe=/opt/b/run"}, {{3001, 0.0, L"/opt/b/run"}, kEndedWithoutFinalLine}},
        ProtocolCase{"uninstaller path", {"UninstExePath=/u/a"}, {{3002, 0.0, L"/u/a"}, kEndedWithoutFinalLine}},
        ProtocolCase{"uninstaller", {"UninstExe=/u/b"}, {{3002, 0.0, L"/u/b"}, kEndedWithoutFinalLine}},
        ProtocolCase{"uninstall entry", {"UninstEp=entry"}, {{3003, 0.0, L"entry"}, kEndedWithoutFinalLine}},
        ProtocolCase{"error", {"Error=disk full"}, {{2004, 1000.0, L"disk full"}}},
        ProtocolCase{"error empty", {"Error="}, {{2004, 1000.0, L""}}},
        ProtocolCase{"top show", {"TopShowDetention=5000"}, {{3007, 5000.0, L""}, kEndedWithoutFinalLine}},
        ProtocolCase{"top show -1", {"TopShowDetention=-1"}, {{3007, 4294967295.0, L""}, kEndedWithoutFinalLine}},
        ProtocolCase{"top show not a number", {"TopShowDetention=soon"}, {{3007, 0.0, L""}, kEndedWithoutFinalLine}},
        ProtocolCase{"finish close", {"FinsihCloseDetention=3000"}, {{3008, 3000.0, L""}, kEndedWithoutFinalLine}},
        ProtocolCase{"finish close, other spelling", {"FinishCloseDetention=3000"}, {kEndedWithoutFinalLine}},
        ProtocolCase{"start url", {"StartUrl=https://brimvale.example/"},
                     {{3004, 0.0, L"https://brimvale.example/"}, kEndedWithoutFinalLine}},
        ProtocolCase{"startup styles",
                     {"StartupStyle=NonStartup", "StartupStyle=AutoStartup", "StartupStyle=UserStartup",
                      "StartupStyle=Other", "StartupStyle= AutoStartup\r"},
                     {{3005, 0, L""}, {3005, 1, L""}, {3005, 2, L""}, {3005, 0, L""}, {3005, 1, L""},
                      kEndedWithoutFinalLine}},
        ProtocolCase{"message", {"Message=" + kUtf8NiHao}, {{3009, 0.0, L"你好"}, kEndedWithoutFinalLine}},
        ProtocolCase{"encode 936", {"Encode=936", "Message=" + kGbkNiHao}, {{3009, 0.0, L"你好"}, kEndedWithoutFinalLine}},
        ProtocolCase{"encode UTF8", {"Encode=936", "Encode=UTF8\r", "Message=" + kUtf8NiHao},
                     {{3009, 0.0, L"你好"}, kEndedWithoutFinalLine}},
        ProtocolCase{"encode abc is the ANSI code page", {"Encode=936", "Encode=abc", "Message=" + kUtf8NiHao},
                     {{3009, 0.0, L"你好"}, kEndedWithoutFinalLine}},
        ProtocolCase{"encode ACP", {"Encode=936", "Encode=ACP", "Message=" + kUtf8NiHao},
                     {{3009, 0.0, L"你好"}, kEndedWithoutFinalLine}},
        ProtocolCase{"value over 771 characters", {"Message=" + std::string(800, 'm')},
                     {{3009, 0.0, std::wstring(771, L'm')}, kEndedWithoutFinalLine}},
        ProtocolCase{"unknown keys and plain lines", {"Foo=bar", "hello", "", "progress=0.5"}, {kEndedWithoutFinalLine}},
        ProtocolCase{"nothing after a final line", {"State=Success", "Message=late", "State=Fail"}, {{2003, 0.0, L""}}},
        ProtocolCase{"error is final", {"Error=first", "Progress=0.9"}, {{2004, 1000.0, L"first"}}}));

TEST(CInstaller, ProgressThenSuccessGivesOneSuccess) {
    PackageFixture fixture;
    EXPECT_EQ(fixture.Run(PrintLines({"Progress=0.5", "State=Success"})),
              (std::vector<Event>{{2001, 0.0, L""}, {2002, 0.0, L""}, {2002, 0.5, L""}, {2003, 0.0, L""}}));
}

TEST(CInstaller, OnlyProgressEndsAsSuccessWhateverTheExitCode) {
    for (const char* ending : {"exit 0", "exit 3", "exit 255", "signal 9"}) {
        SCOPED_TRACE(ending);
        PackageFixture fixture;
        std::vector<std::string> script = PrintLines({"Progress=0.3"});
        script.push_back(ending);
        EXPECT_EQ(Body(fixture.Run(script)), (std::vector<Event>{{2002, 0.3, L""}, kEndedWithoutFinalLine}));
    }
}

TEST(CInstaller, NothingPrintedIsSuccess) {
    PackageFixture fixture;
    EXPECT_EQ(fixture.Run({}), (std::vector<Event>{{2001, 0.0, L""}, {2002, 0.0, L""}, {2003, 1.0, L""}}));
}

TEST(CInstaller, AMissingPackageIsAStartFailure) {
    testsupport::TempDir dir;
    testsupport::EventLog log;
    InstallerSettings settings;
    {
        CInstaller runner(log.Callback(), L"\"" + W(dir.File("__Package_Brimvale.exe")) + L"\"", L"", true, true,
                          true, settings);
        runner.Start();
        ASSERT_TRUE(log.WaitForAny({IST_CODE_FAIL}));
    }
    EXPECT_EQ(log.Events(), (std::vector<Event>{{2001, 0.0, L""}, {2002, 0.0, L""}, {2004, 2.0, L""}}));
}

TEST(CInstaller, AnEmptyPackagePathIsReported) {
    for (const std::wstring& path : {std::wstring(), std::wstring(L"\"\"")}) {
        testsupport::EventLog log;
        InstallerSettings settings;
        {
            CInstaller runner(log.Callback(), path, L"", true, true, true, settings);
            runner.Start();
            ASSERT_TRUE(log.WaitForAny({IST_CODE_FAIL}));
        }
        EXPECT_EQ(log.Events(), (std::vector<Event>{{2001, 0.0, L""}, {2004, 1.0, L""}}));
    }
}

TEST(CInstaller, ACommandLineOver1023CharactersIsAStartFailure) {
    PackageFixture fixture;
    Choices choices;
    choices.instCmd = L"-extra=" + std::wstring(1024, L'x');
    EXPECT_EQ(Body(fixture.Run(PrintLines({"State=Success"}), choices)), (std::vector<Event>{{2004, 2.0, L""}}));
}

TEST(CInstaller, ThePackageReceivesTheCommandLineAsBuilt) {
    PackageFixture fixture;
    const std::string record = fixture.File("record");
    const std::string folder = fixture.File("Apps/Brimvale Home");
    Choices choices{W(folder), true, false, true, true, L"zh-CN", L"-channel=web -x=\"a b\""};
    fixture.Run({"record " + record}, choices);
    EXPECT_EQ(testsupport::ReadFakeChildRecord(record).argv,
              (std::vector<std::string>{fixture.package(), "/S", "-console=show", "-version=1.0.0", "-adminact=true",
                                        "-authorizationact=true", "-dsc=true", "-ssc=false", "-inslang=zh-CN",
                                        "-channel=web", "-x=a b", "-instdir=" + folder,
                                        "/D=" + folder.substr(0, folder.find(' ')), "Home"}));
    struct stat st {};
    ASSERT_EQ(::stat(fixture.package().c_str(), &st), 0);
    EXPECT_NE(st.st_mode & S_IXUSR, 0u) << "the runner makes the package executable";
}

TEST(CInstaller, EmptyFolderAndLanguageLeaveTheirOptionsOut) {
    PackageFixture fixture;
    const std::string record = fixture.File("record");
    fixture.Run({"record " + record}, Choices{L"", false, true, false, false, L"", L""});
    EXPECT_EQ(testsupport::ReadFakeChildRecord(record).argv,
              (std::vector<std::string>{fixture.package(), "/S", "-console=show", "-version=1.0.0", "-adminact=false",
                                        "-authorizationact=false", "-dsc=false", "-ssc=true"}));
}

TEST(CInstaller, ExePathIsLogged) {
    testsupport::StderrCapture capture;
    PackageFixture fixture;
    fixture.Run(PrintLines({"ExePath=/opt/Brimvale/Brimvale.exe"}));
    const std::string log = capture.Text();
    EXPECT_NE(log.find("(CInstaller::Parse)"), std::string::npos) << log;
    EXPECT_NE(log.find(": ExePath: /opt/Brimvale/Brimvale.exe"), std::string::npos) << log;
}

TEST(CInstaller, ReportedVersionIsStoredWithoutEvent) {
    PackageFixture fixture;
    testsupport::InstallFakeChild(fixture.package(), PrintLines({"InstallVersion=2.1.7", "State=Success"}), 0644);
    testsupport::EventLog log;
    InstallerSettings settings;
    std::array<int, 3> seen{};
    std::unique_ptr<CInstaller> runner;
    const ProgressCallback record = log.Callback();
    // Read on the worker thread, inside the final event: the run owns the field.
    runner = std::make_unique<CInstaller>(
        [&](int code, double value, const wchar_t* text) {
            if (code == IST_CODE_SUCCESS) seen = runner->ReportedVersion();
            record(code, value, text);
        },
        L"\"" + W(fixture.package()) + L"\"", L"", true, true, true, settings);
    runner->Start();
    ASSERT_TRUE(log.WaitForAny({IST_CODE_SUCCESS, IST_CODE_FAIL}));
    runner.reset();
    EXPECT_EQ(seen, (std::array<int, 3>{2, 1, 7}));
    EXPECT_EQ(Body(log.Events()), (std::vector<Event>{{2003, 0.0, L""}}));
}

TEST(CInstaller, ALineSplitAcrossTwoWritesArrivesWhole) {
    PackageFixture fixture;
    EXPECT_EQ(Body(fixture.Run({Out("State=Fa", false), "sleep 100", Out("il")})),
              (std::vector<Event>{{2004, 0.0, kInstallFailed}}));
}

TEST(CInstaller, AMultiByteCharacterSplitAcrossReadsIsDecodedOnce) {
    PackageFixture fixture;
    EXPECT_EQ(Body(fixture.Run({Out("Encode=UTF8"), Out("Message=" + kUtf8NiHao.substr(0, 2), false), "sleep 100",
                                Out(kUtf8NiHao.substr(2))})),
              (std::vector<Event>{{3009, 0.0, L"你好"}, kEndedWithoutFinalLine}));
}

TEST(CInstaller, AFailureStateAfterMoreThanOneReadIsNotLost) {
    PackageFixture fixture;
    EXPECT_EQ(Body(fixture.Run({"fill-out 200000", Out("State=Fail", false)})),
              (std::vector<Event>{{2004, 0.0, kInstallFailed}}));
}

TEST(CInstaller, MegabytesOnStandardErrorDoNotBlock) {
    PackageFixture fixture;
    EXPECT_EQ(Body(fixture.Run({"fill-err 4000000", Out("State=Success")})), (std::vector<Event>{{2003, 0.0, L""}}));
}

TEST(CInstaller, MegabytesAfterTheFinalLineAreDrainedNotParsed) {
    PackageFixture fixture;
    EXPECT_EQ(Body(fixture.Run({Out("State=Success"), "fill-out 4000000 Message=late"})),
              (std::vector<Event>{{2003, 0.0, L""}}));
}

TEST(CInstaller, StandardInputIsClosed) {
    PackageFixture fixture;
    EXPECT_EQ(Body(fixture.Run({"read-stdin", Out("State=Success")})), (std::vector<Event>{{2003, 0.0, L""}}));
}

TEST(CInstaller, AGrandchildHoldingTheOutputDoesNotHoldTheRun) {
    PackageFixture fixture;
    const std::string pidFile = fixture.File("grandchild.pid");
    const auto events = fixture.Run({"grandchild 60000 " + pidFile, Out("Progress=0.5")});
    std::ifstream in(pidFile);
    pid_t grandchild = 0;
    if (in >> grandchild && grandchild > 0) ::kill(grandchild, SIGKILL);
    EXPECT_GT(grandchild, 0);
    EXPECT_EQ(Body(events), (std::vector<Event>{{2002, 0.5, L""}, kEndedWithoutFinalLine}));
}

TEST(CInstaller, NoDescriptorIsLeftOpenAfterARun) {
    PackageFixture fixture;
    fixture.Run(PrintLines({"Progress=0.1"}));  // first use settles the process's own descriptors
    const int before = testsupport::OpenDescriptorCount();
    fixture.Run(PrintLines({"Progress=0.2", "State=Success"}));
    fixture.Run({"err noise\\n", "exit 1"});
    EXPECT_EQ(testsupport::OpenDescriptorCount(), before);
}

TEST(CInstaller, TheCodePageCarriesOverAndAStartWaitsForTheEarlierRun) {
    PackageFixture fixture;
    testsupport::InstallFakeChild(fixture.package(),
                                  {Out("Progress=0.1"), "sleep 300", Out("Encode=936"), Out("State=Success")}, 0644);
    testsupport::EventLog log;
    InstallerSettings settings;
    {
        CInstaller runner(log.Callback(), L"\"" + W(fixture.package()) + L"\"", L"", true, true, true, settings);
        runner.Start();
        ASSERT_TRUE(log.WaitFor([](const std::vector<Event>& e) { return e.size() >= 3; }));
        // The first package has read its script and is in its pause: the
        // second Start must wait for it to end.
        testsupport::WriteFile(fixture.package() + ".script", Out("Message=" + kGbkNiHao) + "\n");
        runner.Start();
        ASSERT_TRUE(log.WaitFor([](const std::vector<Event>& e) { return e.size() >= 8; }));
    }
    EXPECT_EQ(log.Events(), (std::vector<Event>{{2001, 0.0, L""},
                                                {2002, 0.0, L""},
                                                {2002, 0.1, L""},
                                                {2003, 0.0, L""},
                                                {2001, 0.0, L""},
                                                {2002, 0.0, L""},
                                                {3009, 0.0, L"你好"},
                                                {2003, 1.0, L""}}));
}

}  // namespace
