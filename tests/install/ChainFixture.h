// Shared pieces of the end-to-end tests of the installation chain: script
// packages and uninstallers padded or written as real files, and a test
// server that serves a package under a URL with its MD5 segment.
#pragma once
#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "tests/support/http/TestHttpServer.h"

namespace testsupport {

// A shell-script package padded beyond 1 MiB (the single-stream downloader
// refuses smaller files). `body` runs under /bin/sh.
std::string ScriptPackage(const std::string& body);

// The sample package that the build makes (assets/).
std::string SamplePackage();

// Writes an executable shell script.
void WriteScript(const std::string& path, const std::string& body);

// Serves `content` at /<md5 of `served md5 source`>/Brimvale_setup.exe and
// returns the URL. With `matching` false the MD5 segment belongs to other
// content, so every check fails.
std::string ServePackage(TestHttpServer& server, const std::string& content, bool matching = true);

// The MD5 text of a byte string.
std::string Md5Of(const std::string& content);

// Lines of a file.
std::vector<std::string> ReadLines(const std::string& path);

}  // namespace testsupport
