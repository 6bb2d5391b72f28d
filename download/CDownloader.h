// The one interface of the three downloaders: fetch one URL into one file.
//
// Events (see DownloadEvents.h) arrive through the ProgressCallback that each
// downloader copies at construction: (code, value, text). The text is a
// constant of the downloader and stays valid after the call. The callback is
// called synchronously from the downloader's own threads, possibly several
// at once; it must return quickly. It may call Start from inside a
// DL_CODE_RETRY event; it must not destroy the downloader from inside any
// event.
#pragma once
#include "utils/ProgressCallback.h"

class CDownloader {
public:
    virtual ~CDownloader() = default;

    // Begins an attempt on a worker thread and returns at once; every outcome
    // arrives later through the callback. After DL_CODE_RETRY it is called
    // once more on the same object (also from inside that event) and the
    // downloader keeps what it learned.
    virtual void Start() = 0;
};
