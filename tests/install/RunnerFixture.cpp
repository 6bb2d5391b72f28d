#include "tests/install/RunnerFixture.h"

#include <algorithm>
#include <cstdio>

#include "platform/Utf8.h"

namespace testsupport {

void PrintTo(const Event& e, std::ostream* os) {
    *os << "{" << e.code << ", " << e.value << ", \"" << platform::WideToUtf8(e.text) << "\"}";
}

ProgressCallback EventLog::Callback() {
    return [this](int code, double value, const wchar_t* text) {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back({code, value, text != nullptr ? text : L""});
        changed_.notify_all();
    };
}

bool EventLog::WaitFor(const std::function<bool(const std::vector<Event>&)>& done, std::chrono::seconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return done(events_); });
}

bool EventLog::WaitForAny(std::initializer_list<int> codes, std::chrono::seconds limit) {
    const std::vector<int> wanted(codes);
    return WaitFor(
        [&](const std::vector<Event>& events) {
            return std::any_of(events.begin(), events.end(), [&](const Event& e) {
                return std::find(wanted.begin(), wanted.end(), e.code) != wanted.end();
            });
        },
        limit);
}

std::vector<Event> EventLog::Events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
}

std::string Out(const std::string& bytes, bool lineFeed) {
    std::string command = "out ";
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\') command += "\\\\";
        else if (c == '\n') command += "\\n";
        else if (c == '\r') command += "\\r";
        else if (u < 0x20 || u >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof(hex), "\\x%02X", u);
            command += hex;
        } else command += c;
    }
    if (lineFeed) command += "\\n";
    return command;
}

std::vector<std::string> PrintLines(const std::vector<std::string>& lines) {
    std::vector<std::string> script;
    for (const std::string& line : lines) script.push_back(Out(line));
    return script;
}

}  // namespace testsupport
