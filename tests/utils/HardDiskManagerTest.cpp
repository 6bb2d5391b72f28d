#include "utils/HardDiskManager.h"

#include <gtest/gtest.h>

#include "tests/support/StderrCapture.h"
#include "tests/support/TempDir.h"

namespace {

TEST(HardDiskManager, FillsTheCountersOfTheFolderVolume) {
    testsupport::TempDir dir;
    Utils::HardDiskManager disk;
    ASSERT_TRUE(disk.CheckFreeSpace(dir.WFile("")));
    EXPECT_GT(disk.totalBytes, 0u);
    EXPECT_LE(disk.totalFreeBytes, disk.totalBytes);
    EXPECT_LE(disk.freeBytesAvailable, disk.totalFreeBytes);
}

TEST(HardDiskManager, AFolderNotMadeYetIsCheckedOnItsNearestExistingAncestor) {
    testsupport::TempDir dir;
    Utils::HardDiskManager existing;
    Utils::HardDiskManager future;
    ASSERT_TRUE(existing.CheckFreeSpace(dir.WFile("")));
    ASSERT_TRUE(future.CheckFreeSpace(dir.WFile("not/made/yet/")));
    EXPECT_EQ(future.totalBytes, existing.totalBytes);
}

struct FailureCase {
    const char* name;
    std::wstring path;
    long code;
};

TEST(HardDiskManager, FailureLogsTheCodeAndLeavesTheCounters) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.File("file"), "x");
    const FailureCase cases[] = {
        {"empty", L"", 2},
        {"relative (no such drive)", L"C:", 2},
        {"a file where a folder must be", dir.WFile("file/sub"), 20},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::StderrCapture capture;
        Utils::HardDiskManager disk;
        disk.freeBytesAvailable = 7;
        EXPECT_FALSE(disk.CheckFreeSpace(c.path));
        EXPECT_EQ(disk.freeBytesAvailable, 7u);
        EXPECT_EQ(disk.totalBytes, 0u);
        EXPECT_EQ(disk.totalFreeBytes, 0u);
        const std::string expected = "(Utils::HardDiskManager::CheckFreeSpace)";
        const std::string log = capture.Text();
        EXPECT_NE(log.find(expected), std::string::npos) << log;
        EXPECT_NE(log.find(": HardDiskManager::CheckFreeSpace FAIL code=" + std::to_string(c.code) + "\r\n"),
                  std::string::npos)
            << log;
    }
}

TEST(HardDiskManager, FreeGigabytesUseBinaryUnits) {
    Utils::HardDiskManager disk;
    disk.freeBytesAvailable = 900ull << 20;
    EXPECT_DOUBLE_EQ(disk.FreeGigabytes(), 0.87890625);
    EXPECT_LT(disk.FreeGigabytes(), 1.0);
    disk.freeBytesAvailable = 1ull << 30;
    EXPECT_DOUBLE_EQ(disk.FreeGigabytes(), 1.0);
}

}  // namespace
