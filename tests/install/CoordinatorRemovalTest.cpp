// The chain through the coordinator with a removal (the uninstaller runner
// asks the login manager over D-Bus), the system downloader, and the
// machine-wide wait for a running "Brimvale.exe".
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "tests/install/ChainTest.h"
#include "tests/support/child/FakeChildFixture.h"

extern char** environ;

namespace chaintest {
namespace {

INSTANTIATE_TEST_SUITE_P(
    Chain, ChainOutcomeTest,
    testing::Values(
        ChainCase{"RemovalThenInstall", Removal::Succeeds, Package::Sample, true,
                  {5003, 1001, 1003, 2001, 2003}, true},
        ChainCase{"RemovalError", Removal::Fails, Package::Sample, true, {5005}, false},
        ChainCase{"CopyCannotBeMade", Removal::CopyFails, Package::Sample, true, {5004}, false}),
    [](const testing::TestParamInfo<ChainCase>& info) { return info.param.name; });

TEST_F(ChainTest, SystemDownloaderFetchesThePackage) {
    GlobalInstallerSettings().DownloadType = 2;
    auto chain = Make(testsupport::ServePackage(server, testsupport::SamplePackage()), "");
    chain->Start();
    ASSERT_TRUE(events.WaitForAny(kChainEnds, kLimit));
    chain.reset();
    EXPECT_EQ(events.Codes(), (std::vector<int>{1001, 1003, 2001, 2003}));
    for (const auto& r : server.Requests()) {
        EXPECT_EQ(r.method, "GET");  // no header-only request, no ranges
        EXPECT_TRUE(r.range.empty());
    }
}

TEST_F(ChainTest, RemoverReportingSuccessTwiceStartsTheDownloadTwiceSafely) {
    const std::string uninstaller = installed + "/uninst.exe";
    std::filesystem::create_directories(installed);
    testsupport::WriteScript(uninstaller, "echo State=Success\nsleep 0.2\necho State=Success");
    CoordinatorOptions options;
    options.tempFolder = W(dir.path() + "/");
    auto chain = Make(testsupport::ServePackage(server, testsupport::SamplePackage()), uninstaller, options);
    chain->Start();
    ASSERT_TRUE(events.WaitForAny({2003, 2004, 1004}, kLimit, 2));
    chain.reset();
    EXPECT_EQ(events.Count(5003), 2u);
    EXPECT_EQ(events.Count(1003), 2u);
    EXPECT_EQ(events.Count(2003), 2u);
    EXPECT_TRUE(std::filesystem::exists(folder + "/Brimvale.exe"));
    EXPECT_FALSE(PackageLeft());
}

TEST_F(ChainTest, NothingOutlivesTheCoordinator) {
    const std::string url = testsupport::ServePackage(server, testsupport::SamplePackage());
    CoordinatorOptions options;
    options.tempFolder = W(dir.path() + "/");
    auto run = [&](Removal removal, size_t endsBefore) {
        auto chain = Make(url, Uninstaller(removal), options);
        chain->Start();
        EXPECT_TRUE(events.WaitForAny(kChainEnds, kLimit, endsBefore + 1));
    };
    // A first run pays the process's one-time set-ups (name lookup, TLS
    // library, D-Bus type system), which are not the coordinator's.
    run(Removal::Succeeds, 0);
    const int threads = testsupport::ThreadCount();
    const int fds = testsupport::OpenDescriptorCount();
    size_t ends = 1;
    for (Removal removal : {Removal::None, Removal::Succeeds, Removal::Fails}) {
        SCOPED_TRACE(static_cast<int>(removal));
        run(removal, ends++);
        EXPECT_EQ(testsupport::ThreadCount(), threads);
        EXPECT_EQ(testsupport::OpenDescriptorCount(), fds);
        int status = 0;
        EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1);  // no child left, reaped or not
    }
}

// A running "Brimvale.exe": a copy of sleep under that name.
class ProductProcess {
public:
    ProductProcess(const std::string& folder, const char* seconds) {
        const std::string exe = folder + "/Brimvale.exe";
        std::filesystem::copy_file("/bin/sleep", exe, std::filesystem::copy_options::overwrite_existing);
        ::chmod(exe.c_str(), 0755);
        char* argv[] = {const_cast<char*>(exe.c_str()), const_cast<char*>(seconds), nullptr};
        ::posix_spawn(&pid_, exe.c_str(), nullptr, nullptr, argv, environ);
    }
    ~ProductProcess() {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    // True when the process has ended (it is then reaped).
    bool Ended() {
        int status = 0;
        return ::waitpid(pid_, &status, WNOHANG) == pid_;
    }

private:
    pid_t pid_ = 0;
};

TEST_F(ChainTest, InsNewWaitsUntilTheProductHasEnded) {
    GlobalInstallerSettings().InsNew = true;
    CoordinatorOptions options;
    options.tempFolder = W(dir.path() + "/");
    auto chain = Make(testsupport::ServePackage(server, testsupport::SamplePackage()), Uninstaller(Removal::Succeeds),
                      options);
    ProductProcess product(dir.path(), "1");
    std::this_thread::sleep_for(100ms);
    ASSERT_FALSE(product.Ended());
    chain->Start();
    // Start returned: the product must be gone (a zombie counts as ended).
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(product.Ended());
    ASSERT_TRUE(events.WaitForAny(kChainEnds, kLimit));
    chain.reset();
    EXPECT_EQ(events.Codes().front(), 5003);
}

TEST_F(ChainTest, InsNewDoesNotWaitWithoutAVersionToRemove) {
    GlobalInstallerSettings().InsNew = true;
    auto chain = Make(testsupport::ServePackage(server, testsupport::SamplePackage()), "");
    ProductProcess product(dir.path(), "30");
    chain->Start();
    EXPECT_FALSE(product.Ended());
    ASSERT_TRUE(events.WaitForAny(kChainEnds, kLimit));
    chain.reset();
    EXPECT_EQ(events.Codes().back(), 2003);
}

}  // namespace
}  // namespace chaintest
