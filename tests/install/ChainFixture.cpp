#include "tests/install/ChainFixture.h"

#include <sys/stat.h>

#include <fstream>

#include "download/Md5.h"

namespace testsupport {

std::string ScriptPackage(const std::string& body) {
    std::string script = "#!/bin/sh\n" + body + "\nexit 0\n";
    const std::string pad = "# padding so that the package is larger than 1 MiB ..........................\n";
    while (script.size() < 1100 * 1024) script += pad;
    return script;
}

std::string SamplePackage() { return ReadFile(BRIM_SAMPLE_PACKAGE); }

void WriteScript(const std::string& path, const std::string& body) {
    WriteFile(path, "#!/bin/sh\n" + body + "\n");
    ::chmod(path.c_str(), 0755);
}

std::string Md5Of(const std::string& content) {
    TempDir dir;
    WriteFile(dir.File("content"), content);
    return GetFileMd5(dir.File("content"));
}

std::string ServePackage(TestHttpServer& server, const std::string& content, bool matching) {
    const std::string md5 = Md5Of(matching ? content : content + "other");
    const std::string path = "/" + md5 + "/Brimvale_setup.exe";
    Resource resource;
    resource.body = content;
    server.Serve(path, resource);
    return server.Url(path);
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace testsupport
