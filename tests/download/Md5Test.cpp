// The digest check's two pieces: MD5 text of a file and the MD5 segment of
// an address.
#include "download/Md5.h"

#include <gtest/gtest.h>

#include "tests/support/TempDir.h"

namespace {

using testsupport::TempDir;
using testsupport::WriteFile;

struct FileCase {
    const char* name;
    std::string content;
    const char* md5;
};

class FileMd5 : public testing::TestWithParam<FileCase> {};

TEST_P(FileMd5, MatchesPublishedDigest) {
    TempDir dir;
    WriteFile(dir.File("f"), GetParam().content);
    EXPECT_EQ(GetFileMd5(dir.File("f")), GetParam().md5);
}

// The test suite of RFC 1321, plus inputs around the 64-byte block and the
// 1024-byte read, and a million bytes.
INSTANTIATE_TEST_SUITE_P(
    Rfc1321, FileMd5,
    testing::Values(
        FileCase{"empty", "", "d41d8cd98f00b204e9800998ecf8427e"},
        FileCase{"a", "a", "0cc175b9c0f1b6a831c399e269772661"},
        FileCase{"abc", "abc", "900150983cd24fb0d6963f7d28e17f72"},
        FileCase{"message_digest", "message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        FileCase{"alphabet", "abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        FileCase{"alphanumeric", "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
                 "d174ab98d277d9f5a5611c2c9f419d9f"},
        FileCase{"digits80", "12345678901234567890123456789012345678901234567890123456789012345678901234567890",
                 "57edf4a22be3c955ac49da2e2107b67a"},
        FileCase{"a55", std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
        FileCase{"a56", std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
        FileCase{"a64", std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
        FileCase{"a1025", std::string(1025, 'a'), "ae187e1febee2a150b64849c32d566ca"},
        FileCase{"a_million", std::string(1000000, 'a'), "7707d6ae4e027c70eea2a935c2296f21"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FileMd5Failures, MissingEmptyPathAndFolderGiveEmptyText) {
    TempDir dir;
    EXPECT_EQ(GetFileMd5(dir.File("missing")), "");
    EXPECT_EQ(GetFileMd5(""), "");
    // A folder opens but can't be read: no digest rather than a wrong one.
    EXPECT_EQ(GetFileMd5(dir.path()), "");
}

TEST(FileMd5Failures, NonAsciiPathInTheLocaleEncoding) {
    TempDir dir;
    const std::string path = dir.File("\xe5\x9b\xbe pkg.exe");  // "图 pkg.exe" in UTF-8 (the C locale's set here)
    WriteFile(path, "abc");
    EXPECT_EQ(GetFileMd5(path), "900150983cd24fb0d6963f7d28e17f72");
}

struct UrlCase {
    const char* url;
    const char* segment;
};

class UrlMd5 : public testing::TestWithParam<UrlCase> {};

TEST_P(UrlMd5, TakesTheSegmentBeforeTheFileName) { EXPECT_EQ(GetUrlMd5(GetParam().url), GetParam().segment); }

INSTANTIATE_TEST_SUITE_P(
    Segments, UrlMd5,
    testing::Values(UrlCase{"http://h/files/0123456789abcdef0123456789abcdef/pkg.exe", "0123456789abcdef0123456789abcdef"},
                    UrlCase{"http://h/files/D41D8CD98F00B204E9800998ECF8427E/setup.exe",
                            "D41D8CD98F00B204E9800998ECF8427E"},
                    UrlCase{"http://h/files/setup.exe", "files"}, UrlCase{"http://h/a/b/", "b"},
                    UrlCase{"no slash at all", ""}, UrlCase{"", ""}, UrlCase{"/pkg.exe", ""},
                    UrlCase{"pkg/x.exe", ""}, UrlCase{"http://h/x?u=a/b", "x?u=a"}));

}  // namespace
