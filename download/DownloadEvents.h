// The events every downloader reports through its progress callback, and
// their names for the log and for tools. Header-only, so that every
// downloader library can use it without linking anything.
#pragma once

inline constexpr int DL_CODE_START = 1001;     // an attempt begins (value 1.0)
inline constexpr int DL_CODE_PROGRESS = 1002;  // fraction done, 0 to 1
inline constexpr int DL_CODE_SUCCESS = 1003;   // the file is complete at the destination
inline constexpr int DL_CODE_FAIL = 1004;      // failed for good (value: the error code)
inline constexpr int DL_CODE_RETRY = 1005;     // this attempt failed; call Start once more
inline constexpr int DL_CODE_MD5 = 1006;       // digest notice; never ends an attempt

// "DL_CODE_START" ... "DL_CODE_MD5"; an empty text for any other code.
constexpr const wchar_t* DownloadEventName(int code) {
    switch (code) {
        case DL_CODE_START: return L"DL_CODE_START";
        case DL_CODE_PROGRESS: return L"DL_CODE_PROGRESS";
        case DL_CODE_SUCCESS: return L"DL_CODE_SUCCESS";
        case DL_CODE_FAIL: return L"DL_CODE_FAIL";
        case DL_CODE_RETRY: return L"DL_CODE_RETRY";
        case DL_CODE_MD5: return L"DL_CODE_MD5";
        default: return L"";
    }
}
