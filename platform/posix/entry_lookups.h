// The metadata of a listing's entries: lstat, and stat for a link's
// target, of the names read from one open folder.
//
// One at a time, every lookup that misses the cache waits for the disk
// before the next is asked, so a disk that could answer several requests
// at once is never asked to. On Linux, where the kernel allows io_uring
// (5.6 and later, not switched off by /proc/sys/kernel/io_uring_disabled
// or a seccomp filter), the lookups of a batch of names are submitted
// together as statx requests; the kernel's own workers run them (no thread
// of the library's, no polling thread). The results are exactly those of
// fstatat, entry by entry: a request that fails with anything but "no such
// entry" is asked again with fstatat, whose answer counts.
//
// Submitting costs more than a lookup answered from the page cache, so by
// default (kAdaptive) a folder's entries are looked up one at a time until
// one of them waits for the disk (it took kSlowLookupNs or more, and the
// thread slept meanwhile: a lookup merely put aside on a busy machine does
// not count); the rest of that folder then goes through the ring. Whether the ring can be had is found out
// once, when it is first needed; where it cannot (no liburing in the
// build, an old kernel, io_uring switched off or filtered), every lookup is
// made one at a time for the rest of the process. TOLVEX_IO_URING=off
// (also "always", for measurements) and SetNewerCallsMissingForTesting
// choose the path.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace tolvex::posix {

struct EntryLookup {
  const char* name = nullptr;  // in the open folder; valid until Run returns
  int error = 0;               // 0 or the errno value of lstat
  struct stat st {};
  bool followed = false;       // set when st is a link and its target was looked up
  int target_error = 0;        // 0 or the errno value of stat following the link
  struct stat target {};
};

enum class LookupMode {
  kAdaptive,    // one at a time until a lookup waits for the disk, then batched
  kBatched,     // every lookup through the ring (where it can be had)
  kOneAtATime,  // never the ring
};

class EntryLookups {
 public:
  // Names looked up together at most.
  static constexpr size_t kBatch = 64;
  // A lookup that took this long was not answered from the cache.
  static constexpr int64_t kSlowLookupNs = 150'000;

  EntryLookups();
  ~EntryLookups();
  EntryLookups(const EntryLookups&) = delete;
  EntryLookups& operator=(const EntryLookups&) = delete;

  // A new folder: kAdaptive starts one at a time again.
  void BeginFolder() { batching_ = mode_ == LookupMode::kBatched; }
  // Looks up every entry of `lookups` in the open folder `folder_fd`: lstat,
  // then, for each link, stat following it.
  void Run(int folder_fd, std::vector<EntryLookup>& lookups);

  // --- For tests and measurements ---
  void SetMode(LookupMode mode) { mode_ = mode; }
  LookupMode mode() const { return mode_; }
  // True when the ring was set up (it is set up when first needed).
  bool RingAvailableForTesting();
  // Lookups the ring answered since the process started.
  uint64_t batched_lookups() const { return batched_lookups_; }

 private:
  class Ring;
  // The ring, set up on first use; null where it cannot be had.
  Ring* ring();
  // Through the ring from `first` on; false when the ring cannot be had
  // (the caller then goes on one at a time).
  bool RunBatched(int folder_fd, std::vector<EntryLookup>& lookups, size_t first, bool follow);

  LookupMode mode_;
  bool batching_ = false;
  bool ring_tried_ = false;
  std::unique_ptr<Ring> ring_;
  uint64_t batched_lookups_ = 0;
};

// The mode TOLVEX_IO_URING asks for: "off" one at a time, "always"
// batched, anything else (or nothing) adaptive.
LookupMode LookupModeFromEnvironment();

}  // namespace tolvex::posix
