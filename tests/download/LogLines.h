// Reading the diagnostic log back in tests: how many lines a function wrote
// with exactly a given message (the line form's "\r\n" not included).
#pragma once
#include <sstream>
#include <string>

namespace testsupport {

inline int CountLogLines(const std::string& log, const std::string& function, const std::string& message) {
    int count = 0;
    std::istringstream lines(log);
    std::string line;
    const std::string owner = "(" + function + ")<";
    const std::string tail = ">: " + message;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t at = line.find(owner);
        if (at == std::string::npos) continue;
        const size_t end = line.find(tail, at);
        if (end != std::string::npos && end + tail.size() == line.size()) ++count;
    }
    return count;
}

}  // namespace testsupport
