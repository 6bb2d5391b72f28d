// The chain through the coordinator without a removal: a real server on
// loopback, real packages (shell scripts), real files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/install/ChainTest.h"

namespace chaintest {
namespace {

INSTANTIATE_TEST_SUITE_P(
    Chain, ChainOutcomeTest,
    testing::Values(
        ChainCase{"NoInstalledVersion", Removal::None, Package::Sample, true, {1001, 1003, 2001, 2003}, true},
        ChainCase{"UninstallerGone", Removal::Missing, Package::Sample, true, {1001, 1003, 2001, 2003}, true},
        ChainCase{"DigestMismatchTwice", Removal::None, Package::Sample, false,
                  {1001, 1006, 1005, 1001, 1006, 1004}, true},
        ChainCase{"InstallFails", Removal::None, Package::Fails, true, {1001, 1003, 2001, 2004}, true}),
    [](const testing::TestParamInfo<ChainCase>& info) { return info.param.name; });

TEST_F(ChainTest, FirstEventsAndTextsOfASuccessfulRun) {
    auto chain = Make(testsupport::ServePackage(server, testsupport::SamplePackage()), "");
    chain->Start();
    ASSERT_TRUE(events.WaitForAny(kChainEnds, kLimit));
    chain.reset();
    const auto all = events.Events();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.front().code, 1001);
    EXPECT_DOUBLE_EQ(all.front().value, 1.0);
    bool sawInstPath = false;
    for (const auto& e : all) {
        if (e.code == 1003) {
            EXPECT_EQ(e.text, L"LibCurl");
        }
        if (e.code == 3000) {
            sawInstPath = true;
            EXPECT_EQ(e.text, W(folder));
        }
    }
    EXPECT_TRUE(sawInstPath);
    EXPECT_TRUE(std::filesystem::exists(folder + "/Brimvale.exe"));
    EXPECT_TRUE(std::filesystem::exists(folder + "/uninst.ep"));
}

TEST_F(ChainTest, RetryRestartsTheSameDownloaderWhichThenSucceeds) {
    const std::string good = testsupport::SamplePackage();
    const std::string md5 = testsupport::Md5Of(good);
    const std::string path = "/" + md5 + "/Brimvale_setup.exe";
    testsupport::Resource wrong;
    wrong.body = good;
    wrong.body[100] ^= 1;
    server.Serve(path, wrong);
    // The window sees 1005 before the coordinator restarts the download:
    // by then the server has the right content.
    events.OnCode(1005, [&] {
        testsupport::Resource right;
        right.body = good;
        server.Serve(path, right);
    });
    auto chain = Make(server.Url(path), "");
    chain->Start();
    ASSERT_TRUE(events.WaitForAny(kChainEnds, kLimit));
    chain.reset();
    EXPECT_EQ(events.Codes(), (std::vector<int>{1001, 1006, 1005, 1001, 1003, 2001, 2003}));
    EXPECT_TRUE(std::filesystem::exists(folder + "/Brimvale.exe"));
}

TEST_F(ChainTest, SecondStartAfterFailureRunsTheSameDownloaderWithoutAnotherRetry) {
    auto chain = Make(testsupport::ServePackage(server, testsupport::SamplePackage(), false), "");
    chain->Start();
    ASSERT_TRUE(events.WaitForAny({1004}, kLimit));
    chain->Start();
    ASSERT_TRUE(events.WaitForAny({1004}, kLimit, 2));
    chain.reset();
    EXPECT_EQ(events.Codes(), (std::vector<int>{1001, 1006, 1005, 1001, 1006, 1004, 1001, 1006, 1004}));
    EXPECT_FALSE(PackageLeft());
}

struct TypeCase {
    int type;
    bool head;
    bool ranges;
};

void PrintTo(const TypeCase& c, std::ostream* os) { *os << "type " << c.type; }

class DownloadTypeTest : public ChainTest, public testing::WithParamInterface<TypeCase> {};

TEST_P(DownloadTypeTest, TypeSelectsTheDownloader) {
    GlobalInstallerSettings().DownloadType = GetParam().type;
    auto chain = Make(testsupport::ServePackage(server, testsupport::SamplePackage()), "");
    chain->Start();
    ASSERT_TRUE(events.WaitForAny(kChainEnds, kLimit));
    chain.reset();
    EXPECT_EQ(events.Codes().back(), 2003);
    bool head = false, ranges = false;
    for (const auto& r : server.Requests()) {
        head = head || r.method == "HEAD";
        ranges = ranges || !r.range.empty();
    }
    EXPECT_EQ(head, GetParam().head);
    EXPECT_EQ(ranges, GetParam().ranges);
}

INSTANTIATE_TEST_SUITE_P(Chain, DownloadTypeTest,
                         testing::Values(TypeCase{1, true, false}, TypeCase{7, true, false}, TypeCase{3, true, true}),
                         [](const testing::TestParamInfo<TypeCase>& info) {
                             return "Type" + std::to_string(info.param.type);
                         });

TEST_F(ChainTest, PackageReceivesTheCommandLine) {
    const std::string record = dir.File("argv.txt");
    GlobalInstallerSettings().InstCmd = L"-extra=\"x y\"";
    const std::string url = testsupport::ServePackage(
        server, testsupport::ScriptPackage("printf '%s\\n' \"$0\" \"$@\" > '" + record + "'\necho State=Success"));
    auto chain = std::make_unique<CDownloadInstaller>(events.Callback(), L"", L"", L"", true, true, true);
    chain->Init(W(url), L"", W(folder), true, false, true, false, L"zh-CN");
    chain->Start();
    ASSERT_TRUE(events.WaitForAny(kChainEnds, kLimit));
    chain.reset();
    const std::vector<std::string> expected = {
        folder + "/__Package_Brimvale.exe", "/S", "-console=show", "-version=1.0.0", "-adminact=true",
        "-authorizationact=false", "-dsc=true", "-ssc=false", "-inslang=zh-CN", "-extra=x y",
        "-instdir=" + folder,
        // "/D=" stands unquoted: the blank in the folder splits it.
        "/D=" + dir.File("My"), "Apps/Brimvale"};
    EXPECT_EQ(testsupport::ReadLines(record), expected);
}

TEST(CDownloadInstallerPaths, PackagePathIsInTheInstallFolder) {
    EXPECT_EQ(CDownloadInstaller::PackagePathFor(L"/opt/Apps/Brimvale"), L"/opt/Apps/Brimvale/__Package_Brimvale.exe");
}

}  // namespace
}  // namespace chaintest
