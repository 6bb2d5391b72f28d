// Builds the downloader that a DownloadType selects: 2 the system
// downloader, 3 the multi-part downloader, anything else the single-stream
// downloader. Nothing runs until the caller calls Start. Any thread.
#pragma once
#include <memory>
#include <string>

#include "download/CDownloader.h"
#include "download/TransferOptions.h"

std::unique_ptr<CDownloader> CreateDownloader(int downloadType, ProgressCallback callback, const std::wstring& url,
                                              const std::wstring& path, const TransferOptions& options = {});
