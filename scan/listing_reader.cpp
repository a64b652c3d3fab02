#include "scan/listing_reader.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace tolvex {

ListingReader::~ListingReader() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void ListingReader::Ahead(const std::string& folder) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(folder);
  }
  // No thread is no failure: the scan's own thread then reads every folder.
  if (!thread_.joinable()) {
    try {
      thread_ = std::thread([this] { Run(); });
    } catch (...) {
    }
  }
  changed_.notify_all();
}

std::shared_ptr<const FolderListing> ListingReader::Take(const std::string& folder) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    const auto ready = ready_.find(folder);
    if (ready != ready_.end()) {
      FolderEnumeration enumeration = std::move(ready->second);
      ready_.erase(ready);
      lock.unlock();
      changed_.notify_all();  // room for the thread to read on
      return ListingOf(enumeration);
    }
    if (reading_ == folder) {
      changed_.wait(lock);
      continue;
    }
    // The scan asks in the order it queued: the folder is nearly always
    // first in the queue when the thread has not reached it.
    const auto queued = std::find(queue_.begin(), queue_.end(), folder);
    if (queued == queue_.end()) return nullptr;
    queue_.erase(queued);
    lock.unlock();
    return ReadFolderListing(folder);
  }
}

void ListingReader::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stop_) {
    if (queue_.empty() || ready_.size() >= kMaxReady) {
      changed_.wait(lock);
      continue;
    }
    const std::string folder = std::move(queue_.front());
    queue_.pop_front();
    reading_ = folder;
    lock.unlock();
    std::optional<FolderEnumeration> enumeration;
    try {
      enumeration = EnumerateFolder(folder);
    } catch (...) {
      // Out of memory here: the scan's thread reads the folder itself.
    }
    lock.lock();
    if (enumeration) ready_.emplace(folder, std::move(*enumeration));
    reading_.clear();
    changed_.notify_all();
  }
}

}  // namespace tolvex
