// The fixture of the end-to-end tests of the chain and its table-driven
// outcome test; each test program instantiates its own rows.
#pragma once
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <ostream>

#include "app/InstallerSettings.h"
#include "install/CDownloadInstaller.h"
#include "tests/install/ChainFixture.h"
#include "tests/support/EventRecorder.h"

namespace chaintest {

using namespace std::chrono_literals;
using testsupport::EventRecorder;
using testsupport::TempDir;
using testsupport::W;

constexpr auto kLimit = 60s;
inline const std::initializer_list<int> kChainEnds = {2003, 2004, 1004, 5004, 5005};

enum class Removal { None, Missing, Succeeds, Fails, CopyFails };
enum class Package { Sample, Fails };

class ChainTest : public testing::Test {
protected:
    TempDir dir;
    testsupport::TestHttpServer server;
    EventRecorder events;
    std::string folder = dir.File("My Apps/Brimvale");
    std::string installed = dir.File("installed/Brimvale");

    std::string Uninstaller(Removal removal) {
        const std::string path = installed + "/uninst.exe";
        std::filesystem::create_directories(installed);
        switch (removal) {
            case Removal::None: return "";
            case Removal::Missing: return path;
            case Removal::Succeeds:
            case Removal::CopyFails:
                testsupport::WriteScript(path, "echo Progress=0.3\necho State=Success");
                return path;
            case Removal::Fails:
                testsupport::WriteScript(path, "echo Progress=0.3\necho 'Error=cannot remove: in use'");
                return path;
        }
        return "";
    }

    std::string PackageContent(Package package) {
        return package == Package::Sample ? testsupport::SamplePackage()
                                          : testsupport::ScriptPackage("echo Progress=0.5\necho State=Fail");
    }

    std::unique_ptr<CDownloadInstaller> Make(const std::string& url, const std::string& uninstaller,
                                             CoordinatorOptions options = {}) {
        auto chain = std::make_unique<CDownloadInstaller>(events.Callback(), L"", L"", L"", true, true, true,
                                                          std::move(options));
        chain->Init(W(url), W(uninstaller), W(folder), true, false, true, false, L"");
        return chain;
    }

    bool PackageLeft() { return std::filesystem::exists(folder + "/__Package_Brimvale.exe"); }
};

struct ChainCase {
    const char* name;
    Removal removal;
    Package package;
    bool matchingMd5;
    std::vector<int> codes;
    bool downloads;
};

inline void PrintTo(const ChainCase& c, std::ostream* os) { *os << c.name; }

class ChainOutcomeTest : public ChainTest, public testing::WithParamInterface<ChainCase> {};

TEST_P(ChainOutcomeTest, EventsAndCleanUp) {
    const ChainCase& c = GetParam();
    const std::string url = testsupport::ServePackage(server, PackageContent(c.package), c.matchingMd5);
    CoordinatorOptions options;
    if (c.removal == Removal::CopyFails) {
        testsupport::WriteFile(dir.File("plainfile"), "x");
        options.tempFolder = W(dir.File("plainfile/sub/"));  // a file where a folder must be
    } else {
        options.tempFolder = W(dir.path() + "/");
    }
    auto chain = Make(url, Uninstaller(c.removal), options);
    chain->Start();
    ASSERT_TRUE(events.WaitForAny(kChainEnds, kLimit));
    chain->WaitForRemoval();
    // A chain that stopped at the removal starts nothing more; destruction
    // waits for whatever still runs.
    if (c.downloads) {
        ASSERT_TRUE(events.WaitForAny({2003, 2004, 1004}, kLimit));
    }
    chain.reset();
    EXPECT_EQ(events.Codes(), c.codes);
    EXPECT_FALSE(PackageLeft());
    EXPECT_EQ(server.Requests().empty(), !c.downloads);
}

}  // namespace chaintest
