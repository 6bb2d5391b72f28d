// Redirects this process's standard error into a temporary file for the
// life of the object, so that tests can read what the diagnostic log wrote.
// One capture at a time, on the test's thread.
#pragma once
#include <string>

namespace testsupport {

class StderrCapture {
public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    // Everything written so far (UTF-8 bytes).
    std::string Text() const;

private:
    int savedFd_;
    std::string path_;
};

}  // namespace testsupport
