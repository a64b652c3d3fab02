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
#include <initializer_list>
#include <list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/caseless_name_table.h"

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

// The names of one folder as one block of text, each followed by a NUL:
// one allocation for a whole folder rather than one per name.
class FolderNames {
 public:
  FolderNames() = default;
  FolderNames(std::initializer_list<std::string_view> names) {
    for (const std::string_view name : names) Add(name);
  }
  // REQUIRES: `name` holds no NUL (no file name does).
  void Add(std::string_view name) {
    text_.append(name);
    text_.push_back('\0');
    ++count_;
  }
  size_t count() const { return count_; }
  std::string& text() { return text_; }

 private:
  std::string text_;
  size_t count_ = 0;
};

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
  // `folder_key`, when given, is the folder's stat taken by the caller just
  // now, which spares taking it again.
  std::optional<std::string> FindCaseless(const std::string& folder, const std::string& name,
                                          const FolderKey* folder_key = nullptr);

  // Hands over a complete listing of `folder` read while it had `key`;
  // `read_started_ns` is the real-time clock before the read.
  void Remember(const std::string& folder, const FolderKey& key, int64_t read_started_ns,
                FolderNames names);

  // `folder_key` as for FindCaseless.
  FolderChange BeginChange(const std::string& folder, const FolderKey* folder_key = nullptr);
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
  // A listing keeps its names as they were read, in one block of text
  // (about the names' own length and a NUL each); the offsets and the
  // caseless table are made on the first lookup or change (most listings a
  // scan hands over are never asked about another spelling).
  struct Listing {
    FolderKey key;
    bool racy = false;
    std::string names;              // each name followed by a NUL
    size_t count = 0;               // names held (removed ones not counted)
    size_t dead_bytes = 0;          // bytes of removed names still in `names`
    bool indexed = false;
    std::vector<uint32_t> offsets;  // id -> start in `names`; kRemoved once removed
    CaselessNameTable table;        // ids by name, letter case ignored
    std::list<std::string>::iterator recency;
  };
  static constexpr uint32_t kRemoved = 0xFFFFFFFF;

  Listing* Current(const std::string& folder, const FolderKey& key);
  Listing* ReadFolder(const std::string& folder);
  Listing& Store(const std::string& folder, const FolderKey& key, bool racy, FolderNames names);
  void Drop(const std::string& folder);
  // Makes the offsets and the table (again, without removed names).
  static void Index(Listing* listing);
  // The id of exactly `name`, or kRemoved.
  static uint32_t IdOf(const Listing& listing, std::string_view name);
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
