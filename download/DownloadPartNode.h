// One byte range of the multi-part downloader and the state of its
// transfer. Owned by CMTCurlDownloader; while its part worker runs, the
// file, the handle, the offsets and the status belong to that worker alone;
// `received` is also read by the shared progress function on the other
// part workers, hence atomic.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "download/CurlRequestRules.h"
#include "download/FileHandle.h"

struct DownloadPartNode {
    static constexpr int kToDownload = -1;
    static constexpr int kComplete = 0;
    static constexpr int kPartFileUnusable = -2;

    FileHandle file;          // the part file, open for appending, or null
    int64_t nextOffset = 0;   // offset in the whole file of the next byte to receive
    int64_t lastOffset = -1;  // offset of the range's last byte (inclusive)
    CurlHandle handle;
    std::string url;       // the final address
    std::string partPath;  // in the locale's encoding
    int status = kToDownload;  // else kComplete, kPartFileUnusable, or the last libcurl result
    std::atomic<int64_t> received{0};  // bytes held in the part file

    bool Full() const { return nextOffset > lastOffset; }
};
