#include "platform/ProfileFile.h"

#include <gtest/gtest.h>

#include "tests/support/TempDir.h"

namespace {

using testsupport::ReadFile;
using testsupport::WriteFile;

class ProfileFileTest : public testing::Test {
protected:
    testsupport::TempDir dir;
    std::string file = dir.File("set.ini");
    std::wstring wfile = dir.WFile("set.ini");
    std::wstring Read(const wchar_t* section, const wchar_t* key) {
        return platform::ReadProfileString(wfile, section, key, L"<missing>");
    }
};

TEST_F(ProfileFileTest, ReadsWithTheSystemRules) {
    WriteFile(file,
              "; comment=1\n"
              "[other]\nKey=wrong\n"
              "  [ Install ]  \n"
              "  DownloadUrl  =  http://h/a?x=1&y=2  \n"
              "quoted=\"  padded  \"\n"
              "single='x'\n"
              "lonequote=\"abc\n"
              ";Hidden=1\n"
              "dup=first\n"
              "DUP=second\n"
              "empty=\n"
              "[install]\nlater=ignored\n");
    EXPECT_EQ(Read(L"install", L"downloadurl"), L"http://h/a?x=1&y=2");
    EXPECT_EQ(Read(L"Install", L"quoted"), L"  padded  ");
    EXPECT_EQ(Read(L"Install", L"single"), L"x");
    EXPECT_EQ(Read(L"Install", L"lonequote"), L"\"abc");
    EXPECT_EQ(Read(L"Install", L"Hidden"), L"<missing>");
    EXPECT_EQ(Read(L"Install", L"dup"), L"first");
    EXPECT_EQ(Read(L"Install", L"empty"), L"");
    EXPECT_EQ(Read(L"Install", L"Key"), L"<missing>");
    EXPECT_EQ(Read(L"Install", L"later"), L"<missing>");  // only the first section counts
    EXPECT_EQ(Read(L"Nope", L"Key"), L"<missing>");
    EXPECT_EQ(platform::ReadProfileString(dir.WFile("absent.ini"), L"Install", L"k", L"fb"), L"fb");
}

TEST_F(ProfileFileTest, CutsTextsAt259Characters) {
    WriteFile(file, "[s]\nlong=" + std::string(300, 'a') + "\n");
    EXPECT_EQ(Read(L"s", L"long"), std::wstring(259, L'a'));
    EXPECT_EQ(platform::ReadProfileString(wfile, L"s", L"none", std::wstring(300, L'b')), std::wstring(259, L'b'));
}

TEST_F(ProfileFileTest, ReadsUtf8WithBomAndUtf16) {
    WriteFile(file, "\xEF\xBB\xBF[s]\r\nname=\xE5\x9B\xBE\r\n");
    EXPECT_EQ(Read(L"s", L"name"), L"图");
    // UTF-16LE with BOM: "[s]\r\nk=图\r\n"
    std::string utf16 = "\xFF\xFE";
    for (wchar_t c : std::wstring(L"[s]\r\nk=\u56FE\r\n")) {
        utf16.push_back(static_cast<char>(c & 0xFF));
        utf16.push_back(static_cast<char>(c >> 8));
    }
    WriteFile(file, utf16);
    EXPECT_EQ(Read(L"s", L"k"), L"图");
}

TEST_F(ProfileFileTest, IntegersAreTheLeadingDecimalNumber) {
    WriteFile(file, "[s]\na=3\nb=2abc\nc=abc\nd=\ne= -7\nf=99999999999\ng=-99999999999\nh=+4\n");
    struct {
        const wchar_t* key;
        int value;
    } cases[] = {{L"a", 3}, {L"b", 2}, {L"c", 0}, {L"d", 0}, {L"e", -7},
                 {L"f", 2147483647}, {L"g", -2147483647 - 1}, {L"h", 4}, {L"missing", 1}};
    for (const auto& c : cases) EXPECT_EQ(platform::ReadProfileInt(wfile, L"s", c.key, 1), c.value) << c.key;
}

TEST_F(ProfileFileTest, WriteCreatesFileAndSection) {
    ASSERT_TRUE(platform::WriteProfileString(wfile, L"Install", L"Path", L"/opt/图"));
    EXPECT_EQ(ReadFile(file), "[Install]\nPath=/opt/\xE5\x9B\xBE\n");
    ASSERT_TRUE(platform::WriteProfileString(wfile, L"Other", L"k", L"v"));
    EXPECT_EQ(ReadFile(file), "[Install]\nPath=/opt/\xE5\x9B\xBE\n[Other]\nk=v\n");
}

TEST_F(ProfileFileTest, WriteKeepsOtherLinesEncodingAndLineEnds) {
    WriteFile(file, "\xEF\xBB\xBF; keep me\r\n[A]\r\nx=1\r\nY=2\r\n\r\n[B]\r\nz=3\r\n");
    ASSERT_TRUE(platform::WriteProfileString(wfile, L"a", L"y", L"20"));
    ASSERT_TRUE(platform::WriteProfileString(wfile, L"A", L"new", L"n"));
    ASSERT_TRUE(platform::WriteProfileString(wfile, L"B", L"z", L"30"));
    EXPECT_EQ(ReadFile(file), "\xEF\xBB\xBF; keep me\r\n[A]\r\nx=1\r\ny=20\r\nnew=n\r\n\r\n[B]\r\nz=30\r\n");

    std::string utf16 = "\xFF\xFE";
    for (wchar_t c : std::wstring(L"[s]\r\nk=1\r\n")) {
        utf16.push_back(static_cast<char>(c));
        utf16.push_back('\0');
    }
    WriteFile(file, utf16);
    ASSERT_TRUE(platform::WriteProfileString(wfile, L"s", L"k", L"图"));
    EXPECT_EQ(Read(L"s", L"k"), L"图");
    EXPECT_EQ(ReadFile(file).substr(0, 2), "\xFF\xFE");
}

TEST_F(ProfileFileTest, WriteIntoAFolderThatIsAFileFails) {
    WriteFile(file, "x");
    EXPECT_FALSE(platform::WriteProfileString(dir.WFile("set.ini/inner.ini"), L"s", L"k", L"v"));
    EXPECT_EQ(ReadFile(file), "x");
}

}  // namespace
