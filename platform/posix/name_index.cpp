#include "platform/posix/name_index.h"

#include <dirent.h>

#include <algorithm>
#include <cstring>
#include <ctime>

#include "platform/text_rules.h"

namespace tolvex::posix {

namespace {

int64_t Nanoseconds(const struct timespec& ts) {
  return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

int64_t RealTimeNs() {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return Nanoseconds(now);
}

bool StatFolder(const std::string& folder, FolderKey* key) {
  struct stat st;
  if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  *key = FolderKeyOf(st);
  return true;
}

bool ReadNames(const std::string& folder, FolderNames* names) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return false;
  while (const dirent* entry = readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    names->Add(entry->d_name);
  }
  closedir(dir);
  return true;
}

}  // namespace

FolderKey FolderKeyOf(const struct stat& st) {
  FolderKey key;
  key.device = st.st_dev;
  key.inode = st.st_ino;
  key.mtime_ns = Nanoseconds(st.st_mtim);
  key.ctime_ns = Nanoseconds(st.st_ctim);
  return key;
}

bool NameIndex::IsRacy(const FolderKey& key, int64_t read_started_ns) const {
  const int64_t limit = read_started_ns - racy_window_ns_;
  return key.mtime_ns >= limit || key.ctime_ns >= limit;
}

NameIndex::NameIndex(size_t max_folders, size_t max_names)
    : max_folders_(max_folders), max_names_(max_names) {}

std::optional<std::string> NameIndex::FindCaseless(const std::string& folder,
                                                   const std::string& name,
                                                   const FolderKey* folder_key) {
  FolderKey key;
  if (folder_key) {
    key = *folder_key;
  } else if (!StatFolder(folder, &key)) {
    return std::nullopt;
  }
  Listing* listing = Current(folder, key);
  if (!listing || listing->racy) listing = ReadFolder(folder);
  if (!listing) return std::nullopt;
  if (!listing->indexed) Index(listing);
  // The first spelling in byte order, as the scan's listings answer.
  const char* found = nullptr;
  listing->table.ForEachMatch(
      name, [listing](uint32_t id) { return std::string_view(&listing->names[listing->offsets[id]]); },
      [&](uint32_t id) {
        const char* spelling = &listing->names[listing->offsets[id]];
        if (found == nullptr || std::strcmp(spelling, found) < 0) found = spelling;
      });
  if (found == nullptr) return std::nullopt;
  return std::string(found);
}

void NameIndex::Remember(const std::string& folder, const FolderKey& key, int64_t read_started_ns,
                         FolderNames names) {
  Store(folder, key, IsRacy(key, read_started_ns), std::move(names));
}

FolderChange NameIndex::BeginChange(const std::string& folder, const FolderKey* folder_key) {
  FolderChange change;
  change.folder = folder;
  // No listing kept: nothing to keep current, and no look at the folder.
  if (listings_.find(folder) == listings_.end()) return change;
  FolderKey key;
  const bool known = folder_key ? (key = *folder_key, true) : StatFolder(folder, &key);
  change.listing_was_current = known && Current(folder, key) != nullptr;
  return change;
}

void NameIndex::EndChange(const FolderChange& change, const std::string& added,
                          const std::string& removed) {
  const auto found = listings_.find(change.folder);
  if (found == listings_.end()) return;
  FolderKey key;
  if (!change.listing_was_current || !StatFolder(change.folder, &key)) {
    Drop(change.folder);
    return;
  }
  Listing& listing = found->second;
  if (!listing.indexed) Index(&listing);
  const size_t before = listing.count;
  if (!removed.empty()) RemoveName(&listing, removed);
  if (!added.empty()) AddName(&listing, added);
  total_names_ = total_names_ - before + listing.count;
  listing.key = key;
  // Our own change is the one the new key stands for.
  listing.racy = false;
}

void NameIndex::Forget(const std::string& folder) {
  Drop(folder);
}

void NameIndex::Drop(const std::string& folder) {
  const auto found = listings_.find(folder);
  if (found == listings_.end()) return;
  total_names_ -= found->second.count;
  recency_.erase(found->second.recency);
  listings_.erase(found);
}

void NameIndex::Clear() {
  listings_.clear();
  recency_.clear();
  total_names_ = 0;
}

// The listing of `folder` if it still describes the folder as `key` shows it
// (racy or not: the caller decides).
NameIndex::Listing* NameIndex::Current(const std::string& folder, const FolderKey& key) {
  const auto found = listings_.find(folder);
  if (found == listings_.end() || !(found->second.key == key)) return nullptr;
  recency_.splice(recency_.begin(), recency_, found->second.recency);
  return &found->second;
}

NameIndex::Listing* NameIndex::ReadFolder(const std::string& folder) {
  const int64_t started = RealTimeNs();
  // The key is taken before the read: a change during the read leaves the
  // stored key stale, so the listing is read again next time.
  FolderKey key;
  FolderNames names;
  if (!StatFolder(folder, &key) || !ReadNames(folder, &names)) return nullptr;
  ++folder_reads_;
  return &Store(folder, key, IsRacy(key, started), std::move(names));
}

NameIndex::Listing& NameIndex::Store(const std::string& folder, const FolderKey& key, bool racy,
                                     FolderNames names) {
  Drop(folder);
  recency_.push_front(folder);
  Listing& listing = listings_[folder];
  listing.key = key;
  listing.racy = racy;
  listing.recency = recency_.begin();
  listing.count = names.count();
  listing.names = std::move(names.text());
  total_names_ += listing.count;
  EvictBeyondLimits();
  return listing;
}

void NameIndex::Index(Listing* listing) {
  if (listing->dead_bytes > 0) {
    // Removed names leave the block when it is made again.
    std::string kept;
    kept.reserve(listing->names.size() - listing->dead_bytes);
    for (const uint32_t offset : listing->offsets) {
      if (offset == kRemoved) continue;
      kept.append(&listing->names[offset]);
      kept.push_back('\0');
    }
    listing->names = std::move(kept);
    listing->dead_bytes = 0;
  }
  listing->offsets.clear();
  listing->offsets.reserve(listing->count);
  listing->table.Reset(listing->count);
  for (size_t at = 0; at < listing->names.size();) {
    const std::string_view name(&listing->names[at]);
    listing->table.Insert(static_cast<uint32_t>(listing->offsets.size()), name);
    listing->offsets.push_back(static_cast<uint32_t>(at));
    at += name.size() + 1;
  }
  listing->indexed = true;
}

uint32_t NameIndex::IdOf(const Listing& listing, std::string_view name) {
  uint32_t found = kRemoved;
  listing.table.ForEachMatch(
      name, [&listing](uint32_t id) { return std::string_view(&listing.names[listing.offsets[id]]); },
      [&](uint32_t id) {
        if (std::string_view(&listing.names[listing.offsets[id]]) == name) found = id;
      });
  return found;
}

void NameIndex::AddName(Listing* listing, const std::string& name) {
  if (IdOf(*listing, name) != kRemoved) return;
  const uint32_t id = static_cast<uint32_t>(listing->offsets.size());
  listing->offsets.push_back(static_cast<uint32_t>(listing->names.size()));
  listing->names.append(name);
  listing->names.push_back('\0');
  listing->table.Insert(id, name);
  ++listing->count;
}

void NameIndex::RemoveName(Listing* listing, const std::string& name) {
  const uint32_t id = IdOf(*listing, name);
  if (id == kRemoved) return;
  listing->table.Remove(id, name);
  listing->offsets[id] = kRemoved;
  listing->dead_bytes += name.size() + 1;
  --listing->count;
  // A folder emptied and filled again does not keep every name it ever held.
  if (listing->dead_bytes > 4096 && 2 * listing->dead_bytes > listing->names.size()) Index(listing);
}

// Drops the least recently used listings, never the one just stored.
void NameIndex::EvictBeyondLimits() {
  while ((listings_.size() > max_folders_ || total_names_ > max_names_) && recency_.size() > 1) {
    Drop(std::string(recency_.back()));
  }
}

}  // namespace tolvex::posix
