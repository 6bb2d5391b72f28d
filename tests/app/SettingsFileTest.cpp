#include "app/SettingsFile.h"

#include <gtest/gtest.h>

#include "tests/support/TempDir.h"

namespace {

class SettingsFileTest : public testing::Test {
protected:
    testsupport::TempDir dir;
    InstallerSettings settings = DefaultInstallerSettings();
    void Load(const std::string& content) {
        testsupport::WriteFile(dir.File("TorvaneInstallerConfig.ini"), content);
        LoadSettingsFile(settings, SettingsFilePath(dir.WFile("installer")));
    }
};

TEST_F(SettingsFileTest, DefaultsWithoutAFile) {
    LoadSettingsFile(settings, SettingsFilePath(dir.WFile("installer")));
    EXPECT_EQ(settings.DownloadUrl, L"https://dl.torvane.com/software/515");
    EXPECT_EQ(settings.DownloadType, 1);
    EXPECT_FALSE(settings.IsCheckNet);
    EXPECT_DOUBLE_EQ(settings.DownloadScale, 0.7);
    EXPECT_EQ(settings.InstCmd, L"");
    EXPECT_TRUE(settings.CurlReady);
    EXPECT_EQ(settings.Language, -1);
    EXPECT_FALSE(settings.InsNew);
}

TEST_F(SettingsFileTest, FileBesideTheExecutable) {
    EXPECT_EQ(SettingsFilePath(L"/opt/inst/brimvale-installer"), L"/opt/inst/TorvaneInstallerConfig.ini");
}

TEST_F(SettingsFileTest, PresentFileWithoutKeysGivesMissingKeyValues) {
    Load("[Install]\n");
    EXPECT_TRUE(settings.IsCheckNet);  // the missing-key value, not the default
    EXPECT_EQ(settings.DownloadType, 1);
    EXPECT_DOUBLE_EQ(settings.DownloadScale, 0.7);
    EXPECT_EQ(settings.DownloadUrl, L"https://dl.torvane.com/software/515");
}

TEST_F(SettingsFileTest, EveryKeyOverridesTheDefault) {
    Load("[Install]\nDownloadUrl=http://127.0.0.1/${ROUTE}/x.exe\nDownloadType=3\nIsCheckNet=false\n"
         "DownloadScale=0.25\nInstCmd=-a -b \"c d\"\n");
    EXPECT_EQ(settings.DownloadUrl, L"http://127.0.0.1/download_silent/x.exe");
    EXPECT_EQ(settings.DownloadType, 3);
    EXPECT_FALSE(settings.IsCheckNet);
    EXPECT_DOUBLE_EQ(settings.DownloadScale, 0.25);
    EXPECT_EQ(settings.InstCmd, L"-a -b \"c d\"");
}

TEST_F(SettingsFileTest, ValueConversions) {
    struct {
        const char* line;
        bool isCheckNet;
        double scale;
        int type;
    } cases[] = {
        {"IsCheckNet=True\nDownloadScale=abc\nDownloadType=abc", false, 0.0, 0},
        {"IsCheckNet=1\nDownloadScale=0.5xyz\nDownloadType=2abc", false, 0.5, 2},
        {"IsCheckNet=true\nDownloadScale=\nDownloadType=", true, 0.0, 0},
        {"DownloadScale=nan\nDownloadType=4294967298", true, 0.0, 2147483647},
        {"DownloadScale=1e999\nDownloadType=-4294967298", true, 1.0, -2147483647 - 1},
        {"DownloadScale=-0.5", true, 0.0, 1},
    };
    for (const auto& c : cases) {
        settings = DefaultInstallerSettings();
        Load(std::string("[Install]\n") + c.line + "\n");
        EXPECT_EQ(settings.IsCheckNet, c.isCheckNet) << c.line;
        EXPECT_DOUBLE_EQ(settings.DownloadScale, c.scale) << c.line;
        EXPECT_EQ(settings.DownloadType, c.type) << c.line;
    }
}

}  // namespace
