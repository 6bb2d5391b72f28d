#include "utils/Log.h"

#include <cstdarg>
#include <cwchar>
#include <new>

#include "platform/DebugOutput.h"
#include "platform/TextCodec.h"

namespace Utils {

namespace {
// A line longer than this is a runaway format, not a message.
constexpr size_t kMaxLineChars = size_t{64} << 20;
}  // namespace

bool FormatWide(std::wstring& out, const wchar_t* format, va_list args) {
    if (format == nullptr) return false;
    size_t capacity = 256;
    while (capacity <= kMaxLineChars) {
        try {
            out.resize(capacity);
        } catch (const std::bad_alloc&) {
            return false;
        }
        va_list copy;
        va_copy(copy, args);
        const int n = std::vswprintf(out.data(), out.size(), format, copy);
        va_end(copy);
        if (n >= 0 && static_cast<size_t>(n) < out.size()) {
            out.resize(static_cast<size_t>(n));
            return true;
        }
        // glibc answers -1 both for "too small" and for a malformed format;
        // growing tells them apart within the bound.
        capacity *= 4;
    }
    return false;
}

void DebugPrint(std::wstring_view line) { platform::WriteDebugOutput(line); }

std::wstring FormatLogPrefix(uint32_t pid, uint32_t tid, const platform::LocalTime& t, const std::wstring& function,
                             int line) {
    std::wstring out;
    auto format = [&out](const wchar_t* f, ...) {
        va_list args;
        va_start(args, f);
        FormatWide(out, f, args);
        va_end(args);
    };
    format(kLogPrefixFormat, static_cast<int>(pid), static_cast<int>(tid), t.year, t.month, t.day, t.hour, t.minute,
           t.second, t.milliseconds, function.c_str(), line);
    return out;
}

std::wstring QualifiedFunctionName(std::string_view pretty) {
    // Cut at the last top-level parameter list (the logging function's own),
    // dropping qualifiers after it; parentheses inside template arguments or
    // a lambda's "<lambda(...)>" are not top-level.
    int angle = 0, paren = 0;
    size_t cut = pretty.size();
    for (size_t i = 0; i < pretty.size(); ++i) {
        const char c = pretty[i];
        if (c == '<') ++angle;
        else if (c == '>' && angle > 0) --angle;
        else if (c == '(') {
            if (angle == 0 && paren == 0) cut = i;
            ++paren;
        } else if (c == ')' && paren > 0) --paren;
    }
    // Drop the parameter lists of enclosing functions ("Start()::Local").
    std::string head;
    paren = 0;
    for (const char c : pretty.substr(0, cut)) {
        if (c == '(') ++paren;
        else if (c == ')' && paren > 0) --paren;
        else if (paren == 0) head.push_back(c);
    }
    // Drop the return type: the text up to the last blank outside templates.
    angle = 0;
    size_t start = 0;
    for (size_t i = head.size(); i > 0; --i) {
        const char c = head[i - 1];
        if (c == '>') ++angle;
        else if (c == '<' && angle > 0) --angle;
        else if (c == ' ' && angle == 0) {
            start = i;
            break;
        }
    }
    std::wstring name(head.begin() + static_cast<std::ptrdiff_t>(start), head.end());
    // Functions in unnamed namespaces log under their plain qualified name.
    constexpr std::wstring_view kAnonymous = L"{anonymous}::";
    for (size_t at = name.find(kAnonymous); at != std::wstring::npos; at = name.find(kAnonymous))
        name.erase(at, kAnonymous.size());
    return name;
}

void LogWrite(bool addLineEnd, const char* prettyFunction, int line, const wchar_t* format, ...) {
    const platform::LocalTime now = platform::CurrentLocalTime();
    std::wstring complete = FormatLogPrefix(platform::CurrentProcessId(), platform::CurrentThreadId(), now,
                                            QualifiedFunctionName(prettyFunction), line);
    std::wstring message;
    va_list args;
    va_start(args, format);
    const bool ok = FormatWide(message, format, args);
    va_end(args);
    if (!ok) return;
    complete += message;
    if (addLineEnd) complete += L"\r\n";
    DebugPrint(complete);
}

}  // namespace Utils
