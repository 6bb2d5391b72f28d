#include "utils/FindProcess.h"

#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/Utf8.h"
#include "tests/support/TempDir.h"
#include "tests/support/child/FakeChildFixture.h"
#include "utils/ChildProcess.h"

namespace {

using namespace std::chrono_literals;

// A sleeping fake child started as `program`. It says "ready" once it runs
// its own code: right after the start the kernel may not have set up its
// arguments yet.
class SleepingChild {
public:
    explicit SleepingChild(const std::string& program) {
        child_.Start(L"\"" + platform::Utf8ToWide(program) + L"\" \"out ready\\n\" \"sleep 30000\"");
        char buffer[64];
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline &&
               child_.ReadOutput(buffer, sizeof(buffer), std::chrono::milliseconds(100)).status ==
                   Utils::ChildProcess::ReadStatus::Silent) {
        }
    }
    ~SleepingChild() {
        Stop();
        child_.Wait();
    }
    uint32_t pid() const { return static_cast<uint32_t>(child_.ProcessId()); }
    void Stop() { ::kill(child_.ProcessId(), SIGKILL); }

private:
    Utils::ChildProcess child_;
};

TEST(FindProcess, FindsARunningProgramByItsExactName) {
    testsupport::TempDir dir;
    const std::string program = dir.File("Brimvale.exe");
    std::filesystem::copy_file(testsupport::FakeChildPath(), program);
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    EXPECT_EQ(Utils::FindProcess(L"Brimvale.exe"), 0u) << "another Brimvale.exe runs on this machine";
    {
        SleepingChild child(program);
        EXPECT_EQ(Utils::FindProcess(L"Brimvale.exe"), child.pid());
        EXPECT_EQ(Utils::FindProcess(L"brimvale.exe"), 0u);
        EXPECT_EQ(Utils::FindProcess(L"Brimvale"), 0u);
        EXPECT_EQ(Utils::FindProcess(L""), 0u);
    }
    EXPECT_EQ(Utils::FindProcess(L"Brimvale.exe"), 0u);
}

TEST(FindProcess, FindsAProgramStartedUnderThatNameThroughALink) {
    // The executable is the fake itself; only argv[0] carries the name.
    testsupport::TempDir dir;
    const std::string link = dir.File("Brimvale.exe");
    std::filesystem::create_symlink(testsupport::FakeChildPath(), link);
    SleepingChild child(link);
    EXPECT_EQ(Utils::FindProcess(L"Brimvale.exe"), child.pid());
}

TEST(FindProcess, AnEndedButUnreapedProcessIsNotRunning) {
    testsupport::TempDir dir;
    const std::string program = dir.File("Brimvale.exe");
    std::filesystem::copy_file(testsupport::FakeChildPath(), program);
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    SleepingChild child(program);
    ASSERT_EQ(Utils::FindProcess(L"Brimvale.exe"), child.pid());
    child.Stop();
    // Nobody reaps it until the fixture goes: wait (bounded) for the zombie.
    const std::string stat = "/proc/" + std::to_string(child.pid()) + "/stat";
    for (int i = 0; i < 200 && testsupport::ReadFile(stat).find(") Z ") == std::string::npos; ++i)
        std::this_thread::sleep_for(10ms);
    ASSERT_NE(testsupport::ReadFile(stat).find(") Z "), std::string::npos);
    EXPECT_EQ(Utils::FindProcess(L"Brimvale.exe"), 0u);
}

}  // namespace
