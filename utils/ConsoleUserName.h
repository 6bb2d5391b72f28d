// The user of the active console session: on this platform the user of the
// active session on seat0, asked from the login manager with a time-out of
// about one second. Blocks the caller that long at most; any thread.
#pragma once
#include <string>

namespace Utils {

// True and `userName` set; false and `userName` untouched when there is no
// active session or the login manager can't be asked.
bool GetConsoleUserName(std::wstring& userName);

}  // namespace Utils
