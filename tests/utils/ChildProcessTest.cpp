#include "utils/ChildProcess.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "platform/Utf8.h"
#include "tests/support/TempDir.h"
#include "tests/support/child/FakeChildFixture.h"
#include "utils/Exception.h"

namespace {

using namespace std::chrono_literals;
using testsupport::FakeChildPath;
using testsupport::W;

// "<fake>" followed by each command as one quoted argument.
std::wstring FakeCommandLine(std::initializer_list<std::string> commands) {
    std::wstring line = L"\"" + W(FakeChildPath()) + L"\"";
    for (const std::string& c : commands) line += L" \"" + W(c) + L"\"";
    return line;
}

// Everything the child prints on stdout, until the output ends (bounded).
std::string ReadAll(Utils::ChildProcess& child) {
    std::string text;
    char buffer[1024];
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (std::chrono::steady_clock::now() < deadline) {
        const auto out = child.ReadOutput(buffer, sizeof(buffer), 100ms);
        if (out.status == Utils::ChildProcess::ReadStatus::Data) text.append(buffer, out.size);
        if (out.status == Utils::ChildProcess::ReadStatus::End) break;
    }
    return text;
}

TEST(ChildProcess, ReadsOutputAndReportsTheExitCode) {
    Utils::ChildProcess child;
    child.Start(FakeCommandLine({"out Progress=0.5\\n", "sleep 200", "out State=Success\\r\\n", "exit 7"}));
    EXPECT_FALSE(child.ExitCode().has_value());  // still in its pause
    EXPECT_EQ(ReadAll(child), "Progress=0.5\nState=Success\r\n");
    EXPECT_EQ(child.Wait(), 7);
    EXPECT_EQ(child.ExitCode(), 7);
    child.Close();
}

TEST(ChildProcess, DeathBySignalGives128PlusTheSignal) {
    Utils::ChildProcess child;
    child.Start(FakeCommandLine({"out x\\n", "signal 9"}));
    ReadAll(child);
    EXPECT_EQ(child.Wait(), 128 + 9);
}

TEST(ChildProcess, ChildGetsItsArgumentsFolderAndCleanState) {
    testsupport::TempDir dir;
    const std::string record = dir.File("record");
    // A descriptor of ours that is not close-on-exec must still not reach the child.
    const int leaked = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(leaked, 0);
    Utils::ChildProcess child;
    child.Start(FakeCommandLine({"record " + record}) + L" -instdir=\"/a b\" /D=/a b");
    ReadAll(child);
    child.Wait();
    ::close(leaked);
    const auto r = testsupport::ReadFakeChildRecord(record);
    EXPECT_EQ(r.argv, (std::vector<std::string>{FakeChildPath(), "record " + record, "-instdir=/a b", "/D=/a", "b"}));
    EXPECT_EQ(r.cwd, std::filesystem::current_path().string());
    EXPECT_EQ(r.pgid, r.pid) << "the child leads its own process group";
    EXPECT_EQ(r.sigpipe, "default") << "our ignored SIGPIPE must not be inherited";
    EXPECT_EQ(r.fds, (std::vector<int>{0, 1, 2}));
}

TEST(ChildProcess, StandardInputIsClosedAtOnce) {
    Utils::ChildProcess child;
    child.Start(FakeCommandLine({"read-stdin", "out done\\n"}));
    EXPECT_EQ(ReadAll(child), "done\n");
    EXPECT_EQ(child.Wait(), 0);
}

TEST(ChildProcess, MegabytesOnStandardErrorDoNotBlockTheChild) {
    Utils::ChildProcess child;
    child.Start(FakeCommandLine({"fill-err 4000000", "out done\\n"}));
    EXPECT_EQ(ReadAll(child), "done\n");
    EXPECT_EQ(child.Wait(), 0);
}

TEST(ChildProcess, MoreThanAPipeHoldsArrivesWhole) {
    Utils::ChildProcess child;
    child.Start(FakeCommandLine({"fill-out 300000 Message=abc"}));
    const std::string text = ReadAll(child);
    EXPECT_EQ(text.size(), 300000u);
    EXPECT_EQ(text.substr(0, 12), "Message=abc\n");
    child.Wait();
}

TEST(ChildProcess, StartFailuresThrowAndLeaveNothingOpen) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.File("not-executable"), "#!/bin/sh\n");
    const std::wstring longArgument(Utils::ChildProcess::kCommandLineLimit, L'a');
    const std::wstring cases[] = {
        L"",
        L"\"" + W(dir.File("missing.exe")) + L"\" /S",
        L"\"" + W(dir.File("not-executable")) + L"\"",
        L"no-such-program-anywhere-brim /S",
        FakeCommandLine({}) + L" " + longArgument,  // over 1023 characters
    };
    const int before = testsupport::OpenDescriptorCount();
    for (const std::wstring& line : cases) {
        Utils::ChildProcess child;
        EXPECT_THROW(child.Start(line), Utils::Exception) << platform::WideToUtf8(line).substr(0, 80);
        child.Close();
        EXPECT_FALSE(child.ExitCode().has_value());
    }
    EXPECT_EQ(testsupport::OpenDescriptorCount(), before);
}

TEST(ChildProcess, ACommandLineOfExactly1023CharactersStarts) {
    const std::wstring head = FakeCommandLine({"exit 3"}) + L" ";
    const std::wstring line = head + std::wstring(Utils::ChildProcess::kCommandLineLimit - head.size(), L'a');
    ASSERT_EQ(line.size(), 1023u);
    Utils::ChildProcess child;
    child.Start(line);
    ReadAll(child);
    EXPECT_EQ(child.Wait(), 3);
}

TEST(ChildProcess, NoDescriptorIsLeftAfterARun) {
    const int before = testsupport::OpenDescriptorCount();
    {
        Utils::ChildProcess child;
        child.Start(FakeCommandLine({"out a\\n", "err b\\n"}));
        ReadAll(child);
        child.Wait();
        child.Close();
    }
    EXPECT_EQ(testsupport::OpenDescriptorCount(), before);
}

TEST(ChildProcess, SecondStartIsRefused) {
    Utils::ChildProcess child;
    child.Start(FakeCommandLine({}));
    EXPECT_THROW(child.Start(FakeCommandLine({})), Utils::Exception);
    ReadAll(child);
    EXPECT_EQ(child.Wait(), 0);
}

}  // namespace
