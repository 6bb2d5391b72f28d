// Helpers for tests that run tests/support/child/fake_child: placing a copy
// of it under the name a runner expects, writing its script, and reading
// what it recorded. One test thread.
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

namespace testsupport {

// The built fake child program.
std::string FakeChildPath();

// Copies the fake to `path` with `mode` (0644: not yet executable, like a
// download) and writes its script "<path>.script", one command a line.
void InstallFakeChild(const std::string& path, const std::vector<std::string>& script, mode_t mode = 0755);

struct FakeChildRecord {
    pid_t pid = 0;
    pid_t pgid = 0;
    std::string cwd;
    std::string sigpipe;
    std::vector<int> fds;
    std::vector<std::string> argv;
};

// What a "record PATH" command wrote; empty when nothing was written.
FakeChildRecord ReadFakeChildRecord(const std::string& path);

// The number of descriptors this process has open (entries of /proc/self/fd).
int OpenDescriptorCount();
// The number of threads of this process (entries of /proc/self/task).
int ThreadCount();

}  // namespace testsupport
