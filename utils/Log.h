// The diagnostic log. Every line has a fixed prefix naming the process, the
// thread, the local time, the logging function and its source line, then a
// printf-style wide message:
//   <P%05d><T%05d><%04d-%02d-%02d %02d:%02d:%02d.%03d>(%ls)<%04d>: message
// Wide-string arguments are passed with %ls. LOG_DEBUG writes the message as
// given (it carries its own line end, if any); LOG_DEBUG_LINE adds "\r\n".
// Lines are never cut. Any thread may log; the log keeps no state.
#pragma once
#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ProcessInfo.h"

namespace Utils {

// The prefix format shared by both forms.
inline constexpr const wchar_t* kLogPrefixFormat =
    L"<P%05d><T%05d><%04d-%02d-%02d %02d:%02d:%02d.%03d>(%ls)<%04d>: ";

// The sink: writes one complete, already formatted line in one piece.
void DebugPrint(std::wstring_view line);

// Formats `format` with a va_list into a string of any length; false when the
// format can't be formatted.
bool FormatWide(std::wstring& out, const wchar_t* format, va_list args);

// The prefix for the given ids, time, function and line (pure).
std::wstring FormatLogPrefix(uint32_t pid, uint32_t tid, const platform::LocalTime& time,
                             const std::wstring& function, int line);

// "ns::Class::Method" from __PRETTY_FUNCTION__ (return type and parameter
// list dropped). Lambdas keep the name of the function they sit in.
std::wstring QualifiedFunctionName(std::string_view prettyFunction);

// Used by the macros: prefix + format (+ "\r\n" when `addLineEnd`).
void LogWrite(bool addLineEnd, const char* prettyFunction, int line, const wchar_t* format, ...);

}  // namespace Utils

#define LOG_DEBUG(format, ...) ::Utils::LogWrite(false, __PRETTY_FUNCTION__, __LINE__, format __VA_OPT__(, ) __VA_ARGS__)
#define LOG_DEBUG_LINE(format, ...) ::Utils::LogWrite(true, __PRETTY_FUNCTION__, __LINE__, format __VA_OPT__(, ) __VA_ARGS__)
