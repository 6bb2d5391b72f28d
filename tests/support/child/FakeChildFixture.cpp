#include "tests/support/child/FakeChildFixture.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/TempDir.h"

namespace testsupport {

std::string FakeChildPath() { return BRIM_FAKE_CHILD_PATH; }

void InstallFakeChild(const std::string& path, const std::vector<std::string>& script, mode_t mode) {
    std::filesystem::copy_file(FakeChildPath(), path, std::filesystem::copy_options::overwrite_existing);
    ::chmod(path.c_str(), mode);
    std::string text;
    for (const std::string& line : script) text += line + "\n";
    WriteFile(path + ".script", text);
}

FakeChildRecord ReadFakeChildRecord(const std::string& path) {
    FakeChildRecord record;
    std::istringstream in(ReadFile(path));
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("pid ", 0) == 0) record.pid = std::stoi(line.substr(4));
        else if (line.rfind("pgid ", 0) == 0) record.pgid = std::stoi(line.substr(5));
        else if (line.rfind("cwd ", 0) == 0) record.cwd = line.substr(4);
        else if (line.rfind("sigpipe ", 0) == 0) record.sigpipe = line.substr(8);
        else if (line.rfind("fd ", 0) == 0) record.fds.push_back(std::stoi(line.substr(3)));
        else if (line.rfind("arg ", 0) == 0) record.argv.push_back(line.substr(4));
    }
    return record;
}

namespace {
int EntryCount(const char* folder) {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
    return count;
}
}  // namespace

int OpenDescriptorCount() { return EntryCount("/proc/self/fd"); }
int ThreadCount() { return EntryCount("/proc/self/task"); }

}  // namespace testsupport
