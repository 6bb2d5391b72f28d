// Codes of the removal, install and information events that the package
// runner and the uninstaller runner send, and the callback that carries
// them. A text passed with an event points into the sender's buffer and is
// valid only during the call: a receiver that keeps it copies it.
#pragma once
#include "utils/ProgressCallback.h"

// Removal of the installed version.
inline constexpr int UNIST_CODE_PROGRESS = 5002;
inline constexpr int UNIST_CODE_SUCCESS = 5003;
inline constexpr int UNIST_CODE_FAIL = 5004;
inline constexpr int UNIST_CODE_ERROR = 5005;

// Installation by the package.
inline constexpr int IST_CODE_START = 2001;
inline constexpr int IST_CODE_PROGRESS = 2002;
inline constexpr int IST_CODE_SUCCESS = 2003;
inline constexpr int IST_CODE_FAIL = 2004;

// Facts the package reports while it installs (there is no 3006).
inline constexpr int IST_INFO_INST_PATH = 3000;
inline constexpr int IST_INFO_EXE_PATH = 3001;
inline constexpr int IST_INFO_UNINST_EXE = 3002;
inline constexpr int IST_INFO_UNINST_EP = 3003;
inline constexpr int IST_INFO_START_URL = 3004;
inline constexpr int IST_INFO_STARTUP_STYLE = 3005;
inline constexpr int IST_INFO_TOP_SHOW_DETENTION = 3007;
inline constexpr int IST_INFO_FINISH_CLOSE_DETENTION = 3008;
inline constexpr int IST_INFO_MESSAGE = 3009;
