#include "tests/support/StderrCapture.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace testsupport {

StderrCapture::StderrCapture() {
    char name[] = "/tmp/brim-stderr-XXXXXX";
    const int fd = ::mkstemp(name);
    path_ = name;
    savedFd_ = ::dup(STDERR_FILENO);
    ::dup2(fd, STDERR_FILENO);
    ::close(fd);
}

StderrCapture::~StderrCapture() {
    ::dup2(savedFd_, STDERR_FILENO);
    ::close(savedFd_);
    ::unlink(path_.c_str());
}

std::string StderrCapture::Text() const {
    std::ifstream in(path_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace testsupport
