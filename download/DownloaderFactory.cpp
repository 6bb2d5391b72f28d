#include "download/DownloaderFactory.h"

#include "download/CCurlDownloader.h"
#include "download/CMTCurlDownloader.h"
#include "download/CWinDownloader.h"

std::unique_ptr<CDownloader> CreateDownloader(int downloadType, ProgressCallback callback, const std::wstring& url,
                                              const std::wstring& path, const TransferOptions& options) {
    switch (downloadType) {
        case 2: return std::make_unique<CWinDownloader>(std::move(callback), url, path, options);
        case 3: return std::make_unique<CMTCurlDownloader>(std::move(callback), url, path, options);
        default: return std::make_unique<CCurlDownloader>(std::move(callback), url, path, options);
    }
}
