// Reads folder listings on a thread of its own, ahead of a scan that asks
// for them in the order it queued them.
//
// A scan's time goes into reading folders: a directory read and one
// metadata call per entry, all waiting on the kernel. The subfolder search
// learns a folder's subfolders long before it expands them, so while it
// works through one folder, this thread reads the next ones, and the
// reading of two folders overlaps whenever the scan itself reads one.
// Only a platform whose FindEntries may be called from a second thread is
// read this way (FolderListings checks); a listing read here is the very
// enumeration the scan's own thread would have made. The thread only
// enumerates: the listing, which the scan keeps, is made on the scan's
// thread, so that its memory comes from the same pool as the plan's (a
// second thread allocates from a pool of its own, whose freed blocks the
// plan could not use).
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>

#include "scan/folder_listings.h"

namespace tolvex {

class ListingReader {
 public:
  ListingReader() = default;
  // Stops the thread; listings read and not taken are dropped.
  ~ListingReader();
  ListingReader(const ListingReader&) = delete;
  ListingReader& operator=(const ListingReader&) = delete;

  // Queues `folder` (drive form, ending in a backslash) for reading; the
  // thread starts with the first folder queued.
  void Ahead(const std::string& folder);

  // The listing of a queued `folder`: as read by the thread, waiting while
  // the thread reads it, or read on the caller's thread when the thread has
  // not come to it yet. Null for a folder never queued (or queued and
  // already taken, or whose reading failed), which the caller reads itself.
  std::shared_ptr<const FolderListing> Take(const std::string& folder);

  // Listings read ahead and not yet taken, at most: the thread waits
  // beyond that, so reading ahead never holds a whole tree in memory.
  static constexpr size_t kMaxReady = 64;

 private:
  void Run();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::string> queue_;
  std::unordered_map<std::string, FolderEnumeration> ready_;
  std::string reading_;  // the folder the thread reads now; empty when none
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace tolvex
