// Splits one command-line string into argument vectors by the rules the
// Windows shell applies to a process's command line, so that the runners
// can keep building one string and the child still receives the arguments
// that program would receive there:
//   - the program (first token) ends at the next double quote when it starts
//     with one, else at the first blank; backslashes mean nothing in it;
//   - later arguments are separated by blanks (space, tab) outside quotes;
//   - 2n backslashes before a double quote give n backslashes and the quote
//     opens or closes a quoted part; 2n+1 give n backslashes and a literal
//     quote; backslashes not before a quote are literal;
//   - inside a quoted part, a doubled quote gives a literal quote and ends
//     the quoted part (every third quote of a run is literal).
// Pure function; any thread.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace platform {

std::vector<std::wstring> SplitCommandLine(std::wstring_view commandLine);

}  // namespace platform
