// Who watches the copy under way. The back ends' copies (CopyOver,
// StageCopy) report here between their chunks how far they are, so that a
// progress view moves within a large file; the watcher may also stop the
// copy, which then fails with kErrRequestAborted and leaves the target as
// it was, nothing of the copy behind (as after a second stop request).
//
// One watcher at a time, on the run's thread, installed for a scope; a
// scope inside another one (a test that holds a copy half-way) may hand
// each report on to the watcher it replaced.
#pragma once

#include <cstdint>
#include <functional>

namespace tolvex {

// `done` bytes of the file's `size` are written (0 before the first chunk,
// `size` once the content is complete). False stops the copy.
using CopyWatcher = std::function<bool(uint64_t done, uint64_t size)>;

class CopyWatchScope {
 public:
  explicit CopyWatchScope(CopyWatcher watcher);
  ~CopyWatchScope();
  CopyWatchScope(const CopyWatchScope&) = delete;
  CopyWatchScope& operator=(const CopyWatchScope&) = delete;

  // The watcher this scope replaced (empty when there was none).
  const CopyWatcher& previous() const { return previous_; }

 private:
  CopyWatcher previous_;
};

// For the back ends: tells the watcher, if any. False when the copy must
// stop: the watcher said so, or a second stop request came
// (CopyStopRequested).
bool ReportCopyProgress(uint64_t done, uint64_t size);

}  // namespace tolvex
