#include "utils/OSVersionName.h"

#include <gtest/gtest.h>

namespace {

struct VersionCase {
    unsigned major, minor, build;
    bool r2;
    const wchar_t* name;
};

TEST(OSVersionName, TableGivesEveryRow) {
    const VersionCase cases[] = {
        {0, 0, 0, false, L"XP-"},      {4, 9, 1, false, L"XP-"},
        {5, 0, 2195, false, L"2K"},    {5, 1, 2600, false, L"XP"},
        {5, 2, 3790, false, L"Server 2003"}, {5, 2, 3790, true, L"Server 2003 R2"},
        {5, 3, 0, false, L"XP+"},      {5, 9, 0, true, L"XP+"},
        {6, 0, 6000, false, L"Vista"}, {6, 1, 7601, false, L"7"},
        {6, 2, 9200, false, L"8"},     {6, 3, 9600, false, L"8.1"},
        {6, 4, 0, false, L"8.1+"},     {6, 7, 0, false, L"8.1+"},
        {10, 0, 19045, false, L"10"},  {10, 0, 22000, false, L"10"},
        {10, 1, 0, false, L"10+"},     {7, 0, 1234, false, L"7.0.1234"},
        {9, 2, 5, false, L"9.2.5"},    {11, 0, 22000, false, L"11.0.22000"},
        // Release builds report flags in the upper bits: only the low 16 count.
        {11, 0, 0xF0005000u | 22000u, false, L"11.0.22000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.major << "." << c.minor << "." << c.build << " r2=" << c.r2);
        EXPECT_EQ(Utils::WindowsVersionName(c.major, c.minor, c.build, c.r2), c.name);
    }
}

TEST(OSVersionName, LinuxAnswersFamilyAndKernelRelease) {
    const auto name = Utils::GetOSVersionName();
    EXPECT_EQ(name.family, L"Linux");
    EXPECT_FALSE(name.version.empty());
    EXPECT_EQ(name.version.find(L"XP"), std::wstring::npos);
}

}  // namespace
