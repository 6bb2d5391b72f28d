#include "platform/CommandLineSplit.h"

namespace platform {

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// The program token: no escapes, a leading quote runs to the next quote.
size_t ReadProgram(std::wstring_view s, std::wstring& out) {
    size_t i = 0;
    if (!s.empty() && s[0] == L'"') {
        for (i = 1; i < s.size() && s[i] != L'"'; ++i) out.push_back(s[i]);
        return i < s.size() ? i + 1 : i;
    }
    while (i < s.size() && !IsBlank(s[i]) && s[i] != L'\n' && s[i] != L'\r') out.push_back(s[i++]);
    return i;
}

}  // namespace

std::vector<std::wstring> SplitCommandLine(std::wstring_view s) {
    std::vector<std::wstring> args;
    if (s.empty()) return args;
    std::wstring current;
    size_t i = ReadProgram(s, current);
    args.push_back(std::move(current));
    current.clear();

    // quotes: 0 outside a quoted part, 1 inside, 2 just closed within a run.
    int quotes = 0;
    bool inArgument = false;
    while (i < s.size()) {
        const wchar_t c = s[i];
        if (IsBlank(c) && quotes == 0) {
            if (inArgument) args.push_back(std::move(current));
            current.clear();
            inArgument = false;
            ++i;
            continue;
        }
        inArgument = true;
        if (c == L'\\') {
            size_t run = 0;
            while (i < s.size() && s[i] == L'\\') {
                ++run;
                ++i;
            }
            if (i < s.size() && s[i] == L'"') {
                current.append(run / 2, L'\\');
                if (run % 2 == 1) {
                    current.push_back(L'"');
                    ++i;
                }
                // an even run leaves the quote to the branch below
            } else {
                current.append(run, L'\\');
            }
            continue;
        }
        if (c == L'"') {
            while (i < s.size() && s[i] == L'"') {
                if (++quotes == 3) {
                    current.push_back(L'"');
                    quotes = 0;
                }
                ++i;
            }
            if (quotes == 2) quotes = 0;
            continue;
        }
        current.push_back(c);
        ++i;
    }
    if (inArgument) args.push_back(std::move(current));
    return args;
}

}  // namespace platform
