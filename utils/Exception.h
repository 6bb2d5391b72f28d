// The utility layer's error: thrown by pipe creation and child start, caught
// by the runners as a std::exception and turned into their start-failure
// event. It carries no text: the runners report no detail.
#pragma once
#include <exception>

namespace Utils {

class Exception : public std::exception {
public:
    const char* what() const noexcept override { return ""; }
};

}  // namespace Utils
