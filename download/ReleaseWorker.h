// Making way for the next worker of a downloader whose Start may be called
// from inside one of that worker's own events (the answer to DL_CODE_RETRY).
#pragma once
#include <memory>

#include "platform/ProcessInfo.h"
#include "utils/Thread.h"

// Empties `worker`. A worker can't wait for itself: when the call comes from
// its own thread it moves to `retired` (which joins the one retired before)
// and ends once its event returns; any other worker is joined here.
inline void ReleaseWorker(std::unique_ptr<Utils::Thread>& worker, std::unique_ptr<Utils::Thread>& retired) {
    if (worker && worker->ThreadId() == platform::CurrentThreadId()) retired = std::move(worker);
    worker.reset();
}
