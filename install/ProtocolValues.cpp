#include "install/ProtocolValues.h"

#include <cerrno>
#include <climits>
#include <cwchar>

namespace protocol {

namespace {

constexpr std::wstring_view kWhiteSpace = L" \t\r\n\v\f";

struct Integer {
    bool ok;        // a number was there
    bool overflow;  // beyond 32 bits
    long long value;
    size_t used;  // characters taken, white space included
};

// wcstoll on a terminated copy.
Integer LeadingInteger(std::wstring_view value) {
    const std::wstring text(value);
    wchar_t* end = nullptr;
    errno = 0;
    const long long n = std::wcstoll(text.c_str(), &end, 10);
    return {end != text.c_str(), errno == ERANGE || n > INT_MAX || n < INT_MIN, n,
            static_cast<size_t>(end - text.c_str())};
}

int Clamped(const Integer& n) {
    if (!n.overflow) return static_cast<int>(n.value);
    return n.value < 0 ? INT_MIN : INT_MAX;
}

}  // namespace

std::optional<std::wstring_view> ValueAfter(std::wstring_view line, std::wstring_view key) {
    if (line.substr(0, key.size()) != key) return std::nullopt;
    return line.substr(key.size());
}

std::wstring TextValue(std::wstring_view value) { return std::wstring(value.substr(0, kTextLimit)); }

std::wstring_view ComparedValue(std::wstring_view value) { return Trimmed(value.substr(0, kTextLimit)); }

std::wstring_view Trimmed(std::wstring_view value) {
    const size_t first = value.find_first_not_of(kWhiteSpace);
    if (first == std::wstring_view::npos) return {};
    const size_t last = value.find_last_not_of(kWhiteSpace);
    return value.substr(first, last - first + 1);
}

double NumberValue(std::wstring_view value) {
    const std::wstring text(value);
    wchar_t* end = nullptr;
    const double n = std::wcstod(text.c_str(), &end);
    return end == text.c_str() ? 0.0 : n;
}

int IntegerValue(std::wstring_view value) {
    const Integer n = LeadingInteger(value);
    return n.ok ? Clamped(n) : 0;
}

void ReadVersion(std::wstring_view value, std::array<int, 3>& version) {
    for (size_t i = 0; i < version.size(); ++i) {
        if (i > 0) {
            if (value.empty() || value[0] != L'.') return;
            value.remove_prefix(1);
        }
        const Integer n = LeadingInteger(value);
        if (!n.ok) return;
        version[i] = Clamped(n);
        value.remove_prefix(n.used);
    }
}

int CodePageNumber(std::wstring_view value) {
    const Integer n = LeadingInteger(value);
    return n.ok && !n.overflow ? static_cast<int>(n.value) : 0;
}

}  // namespace protocol
