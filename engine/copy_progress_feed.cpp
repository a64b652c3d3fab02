#include "engine/copy_progress_feed.h"

#include "platform/platform.h"

namespace tolvex {

CopyWatcher FeedCopyProgress(CopyProgressView& view, uint64_t before, uint64_t total) {
  return [&view, before, total](uint64_t done, uint64_t size) {
    view.ShowCopiedBytes(CopiedBytes{before + done, total, done, size});
    // Only within a file: a file of one chunk adds no pump step, so the
    // steps between files stay where they were.
    if (done > 0 && done < size) Sys().PumpStep();
    return true;
  };
}

}  // namespace tolvex
