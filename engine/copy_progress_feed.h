// The copy pass's watcher of the copy under way (platform/copy_progress.h):
// it hands the chunks of a large file to the copy progress view and lets
// the view's keys and buttons through in between, as a pump step between
// two files does.
#pragma once

#include <cstdint>

#include "engine/run_ui.h"
#include "platform/copy_progress.h"

namespace tolvex {

// `before`: the bytes of the pass already written (copies done and staged);
// `total`: all it copies. The watcher never stops a copy: an Interrupt
// pressed meanwhile is taken as pressed after it.
CopyWatcher FeedCopyProgress(CopyProgressView& view, uint64_t before, uint64_t total);

}  // namespace tolvex
