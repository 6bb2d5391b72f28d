// Runs the helper programs of the HTTP fixtures (nginx, openssl) as child
// processes without a shell. Their standard output and error go to a file,
// never to ours, so a test that reads our standard error sees only the log.
// Any thread; each call owns the child it starts.
#pragma once
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace testsupport {

// The program's full path if `name` is found in PATH or in /usr/sbin and
// /sbin (where Debian keeps nginx); empty otherwise.
std::string FindProgram(const std::string& name);

// Starts argv[0] (a path) with its standard output appended to `outputFile`
// and its standard error to `errorFile` (empty: the same file as the
// output); -1 if it could not be started.
pid_t StartProgram(const std::vector<std::string>& argv, const std::string& outputFile,
                   const std::string& errorFile = {});

// Waits up to `limit` for the child to end; its exit status (0-255), 128 +
// signal number for a signal, or -1 if it is still running.
int WaitProgram(pid_t pid, std::chrono::milliseconds limit);

// Sends SIGTERM, waits up to `grace`, then SIGKILL and waits for the end.
void StopProgram(pid_t pid, std::chrono::milliseconds grace);

// Starts, then waits up to `limit`; a child still running then is killed.
// The exit status, or -1 if it could not start or was killed.
int RunProgram(const std::vector<std::string>& argv, const std::string& outputFile,
               std::chrono::milliseconds limit = std::chrono::seconds(60), const std::string& errorFile = {});

}  // namespace testsupport
