// Case-insensitive name lookup without a directory read per miss.
//
// Windows finds "A.TXT" when the folder holds "a.txt". The back end first
// tries the name as given (one lstat); only on a miss does it ask this
// index, which keeps the listing of each folder it has read, keyed by the
// folder's identity and change times (device, inode, mtime and ctime in
// nanoseconds). A miss then costs one stat of the folder and a hash lookup
// instead of reading the whole folder: the listing is read again only when
// the folder has changed since. Creating, renaming or removing a name
// changes the folder's mtime, so a stale listing is never trusted.
//
// Two refinements:
//   - A listing read within kRacyWindow of the folder's last change may have
//     missed a change made in the same clock tick (file systems keep coarse
//     timestamps); such a listing answers the lookup at hand but is read
//     again on the next miss.
//   - Changes this process makes itself (a copy, a new folder, a removal)
//     are applied to the listing directly, so a folder receiving thousands
//     of new files is not read again after each one. The listing is only
//     updated when it was current just before the change (checked with the
//     same stat); a change another process makes between that check and
//     ours is the one thing it can miss, and then only until the folder
//     changes again.
// Each enumeration hands its complete listing over too (Remember), so the
// counterpart lookups of a scan cost no extra directory reads.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <list>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace tolvex::posix {

// What identifies one state of a folder.
struct FolderKey {
  dev_t device = 0;
  ino_t inode = 0;
  int64_t mtime_ns = 0;
  int64_t ctime_ns = 0;
  bool operator==(const FolderKey&) const = default;
};
FolderKey FolderKeyOf(const struct stat& st);

// Taken before a change this process makes in a folder (BeginChange), handed
// back after it (EndChange).
struct FolderChange {
  std::string folder;
  bool listing_was_current = false;
};

class NameIndex {
 public:
  // Folders and names kept at most; the least recently used go first.
  explicit NameIndex(size_t max_folders = 4096, size_t max_names = 1u << 20);

  // The name in native folder `folder` that equals `name` when ASCII letter
  // case is ignored, or nothing (also when the folder cannot be read). When
  // several names differ only in case, the smallest in byte order.
  std::optional<std::string> FindCaseless(const std::string& folder, const std::string& name);

  // Hands over a complete listing of `folder` read while it had `key`;
  // `read_started_ns` is the real-time clock before the read.
  void Remember(const std::string& folder, const FolderKey& key, int64_t read_started_ns,
                std::vector<std::string> names);

  FolderChange BeginChange(const std::string& folder);
  // `added` and `removed` are native names (empty: none).
  void EndChange(const FolderChange& change, const std::string& added, const std::string& removed);
  // Forgets `folder` (it was removed or moved away).
  void Forget(const std::string& folder);
  void Clear();

  // How many times a folder was read to answer a lookup.
  uint64_t folder_reads() const { return folder_reads_; }

  // A listing read this close after the folder's last change is not trusted
  // for later lookups (well above the timestamp granularity of common file
  // systems).
  static constexpr int64_t kRacyWindowNs = 1'000'000'000;
  void set_racy_window_ns(int64_t nanoseconds) { racy_window_ns_ = nanoseconds; }

 private:
  struct Listing {
    FolderKey key;
    bool racy = false;
    // Lower-case name -> the stored names of that spelling, sorted.
    std::unordered_map<std::string, std::vector<std::string>> names;
    // Names of a folder read not yet folded into `names`: most listings
    // handed over by a scan are never asked about another spelling, so the
    // folding waits for the first lookup or change (a folder read holds
    // each name once).
    std::vector<std::string> unfolded;
    size_t count = 0;
    std::list<std::string>::iterator recency;
  };

  Listing* Current(const std::string& folder, const FolderKey& key);
  Listing* ReadFolder(const std::string& folder);
  Listing& Store(const std::string& folder, const FolderKey& key, bool racy,
                 std::vector<std::string> names);
  void Fold(Listing* listing);
  static void AddName(Listing* listing, const std::string& name);
  static void RemoveName(Listing* listing, const std::string& name);
  void EvictBeyondLimits();

  bool IsRacy(const FolderKey& key, int64_t read_started_ns) const;

  size_t max_folders_;
  size_t max_names_;
  int64_t racy_window_ns_ = kRacyWindowNs;
  size_t total_names_ = 0;
  uint64_t folder_reads_ = 0;
  std::unordered_map<std::string, Listing> listings_;
  std::list<std::string> recency_;  // most recently used first
};

}  // namespace tolvex::posix
