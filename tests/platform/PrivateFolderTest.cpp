#include "platform/PrivateFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/TempDir.h"

namespace {

TEST(PrivateFolder, CreatesA0700FolderAndAcceptsItAgain) {
    testsupport::TempDir dir;
    const std::string path = dir.File("private");
    ASSERT_TRUE(platform::EnsurePrivateFolder(path));
    struct stat st {};
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    EXPECT_TRUE(platform::EnsurePrivateFolder(path));
}

TEST(PrivateFolder, RefusesWhatAnotherUserCouldTamperWith) {
    testsupport::TempDir dir;
    const std::string open = dir.File("open");
    ASSERT_EQ(::mkdir(open.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(open.c_str(), 0777), 0);
    EXPECT_FALSE(platform::EnsurePrivateFolder(open));

    const std::string target = dir.File("target");
    ASSERT_TRUE(platform::EnsurePrivateFolder(target));
    const std::string link = dir.File("link");
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    EXPECT_FALSE(platform::EnsurePrivateFolder(link));

    const std::string file = dir.File("file");
    testsupport::WriteFile(file, "x");
    EXPECT_FALSE(platform::EnsurePrivateFolder(file));
    EXPECT_FALSE(platform::EnsurePrivateFolder(file + "/below"));
}

TEST(PrivateFolder, UserTempFolderIsPrivateAndEndsInSeparator) {
    const std::wstring folder = platform::UserTempFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), L'/');
    EXPECT_TRUE(platform::EnsurePrivateFolder(platform::UserRuntimeFolder()) || ::getenv("XDG_RUNTIME_DIR"));
}

}  // namespace
