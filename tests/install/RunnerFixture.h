// Shared pieces of the runner tests: recording the events a runner sends,
// and writing fake-child scripts that print given bytes.
#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "install/InstallEvents.h"

namespace testsupport {

struct Event {
    int code;
    double value;
    std::wstring text;
    bool operator==(const Event& o) const { return code == o.code && value == o.value && text == o.text; }
};
void PrintTo(const Event& e, std::ostream* os);

// Collects events from any thread; the test thread waits for and reads them.
class EventLog {
public:
    ProgressCallback Callback();
    // Waits (bounded) until `done` holds for the events so far.
    bool WaitFor(const std::function<bool(const std::vector<Event>&)>& done,
                 std::chrono::seconds limit = std::chrono::seconds(30));
    // Waits (bounded) until an event with one of `codes` has arrived.
    bool WaitForAny(std::initializer_list<int> codes, std::chrono::seconds limit = std::chrono::seconds(30));
    std::vector<Event> Events() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Event> events_;
};

// The fake child's command that prints `bytes` (plus a line feed unless
// `lineFeed` is false) in one write.
std::string Out(const std::string& bytes, bool lineFeed = true);

// "out" commands for each line, each in its own write.
std::vector<std::string> PrintLines(const std::vector<std::string>& lines);

}  // namespace testsupport
