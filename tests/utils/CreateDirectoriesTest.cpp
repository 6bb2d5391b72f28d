#include "utils/CreateDirectories.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Utf8.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;

struct ChainCase {
    const char* name;
    std::string relative;  // under the test's folder
    std::vector<std::string> made;
};

void PrintTo(const ChainCase& c, std::ostream* os) { *os << c.name; }

class CreateDirectories : public ::testing::TestWithParam<ChainCase> {};

TEST_P(CreateDirectories, CreatesEveryMissingLevel) {
    testsupport::TempDir dir;
    fs::create_directory(dir.File("have"));
    EXPECT_EQ(Utils::CreateDirectories(platform::Utf8ToWide(dir.File(GetParam().relative))), 1);
    for (const std::string& level : GetParam().made) EXPECT_TRUE(fs::is_directory(dir.File(level))) << level;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CreateDirectories,
    ::testing::Values(ChainCase{"all exist", "have", {"have"}},
                      ChainCase{"all exist, trailing separator", "have/", {"have"}},
                      ChainCase{"partial", "have/a/b", {"have/a", "have/a/b"}},
                      ChainCase{"partial, trailing separator", "have/a/b/", {"have/a", "have/a/b"}},
                      ChainCase{"none", "x/y", {"x", "x/y"}},
                      ChainCase{"doubled separator", "have//c", {"have/c"}}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (char& c : n)
            if (!isalnum(static_cast<unsigned char>(c))) c = '_';
        return n;
    });

TEST(CreateDirectoriesFailure, StopsAtAFileWhereAFolderMustBe) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.File("file"), "x");
    const auto create = [&](const std::string& relative) {
        return Utils::CreateDirectories(platform::Utf8ToWide(dir.File(relative)));
    };
    EXPECT_EQ(create("file/b"), 0);
    EXPECT_EQ(create("file/b/"), 0);
    // Levels made before the failing one stay ("new", then "new/../file/" is the file).
    EXPECT_EQ(create("new/../file/b"), 0);
    EXPECT_TRUE(fs::is_directory(dir.File("new")));
    EXPECT_TRUE(fs::is_regular_file(dir.File("file")));
    // An existing file as the last level is not a folder chain either.
    EXPECT_EQ(create("file"), 0);
}

TEST(CreateDirectoriesFailure, RefusesEmptyAndOverlongPaths) {
    testsupport::TempDir dir;
    EXPECT_EQ(Utils::CreateDirectories(L""), 0);
    const std::string longPath = dir.File(std::string(4096, 'a'));
    EXPECT_EQ(Utils::CreateDirectories(platform::Utf8ToWide(longPath)), 0);
    EXPECT_TRUE(fs::is_empty(dir.path())) << "nothing touched";
}

}  // namespace
