#include "platform/copy_progress.h"

#include <utility>

#include "platform/stop_request.h"

namespace tolvex {

namespace {

CopyWatcher current_watcher;

}  // namespace

CopyWatchScope::CopyWatchScope(CopyWatcher watcher)
    : previous_(std::exchange(current_watcher, std::move(watcher))) {}

CopyWatchScope::~CopyWatchScope() { current_watcher = std::move(previous_); }

bool ReportCopyProgress(uint64_t done, uint64_t size) {
  if (CopyStopRequested()) return false;
  return !current_watcher || current_watcher(done, size);
}

}  // namespace tolvex
