// Folder listings shared by the steps of one scan, so that each folder is
// read once per run: the subfolder search, the file pattern "*.*" and the
// counterpart lookups of the files of the paired folder all answer from one
// enumeration of "<folder>*.*".
//
// Reading a folder costs one metadata call per entry. Without sharing, a
// scan of two trees read every folder for its subfolders, again for its
// files, and looked up every counterpart with a call of its own that has to
// resolve the whole path; sharing leaves one call per file and side, which
// is what a dry run of rsync costs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/caseless_name_table.h"
#include "platform/platform.h"

namespace tolvex {

// The mask under which an enumeration yields every entry: it shares a bit
// with every entry that carries hidden, system or directory.
inline constexpr uint32_t kEveryEntryMask = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrDirectory;

// One entry of a listing, as the listing hands it out: valid while the
// listing lives.
struct ListedEntry {
  std::string_view name;
  uint64_t size = 0;
  uint32_t attributes = 0;
  uint32_t stamp = 0;
  uint32_t fraction = kNoFraction;  // FindEntry::fraction
  uint16_t mode = 0;                // FindEntry::mode
};

// One enumeration of "<folder>*.*" with kEveryEntryMask.
//
// A scan keeps the listings of both trees from the subfolder search to the
// file search, so their size is the scan's size: each entry is kept in 32
// bytes and its name in one block of text with the others (an enumeration's
// FindEntry takes 48 bytes and, for a name of 16 bytes or more, a block of
// its own besides).
class FolderListing {
 public:
  FolderListing(const std::vector<FindEntry>& entries, std::vector<std::string> unusable,
                bool readable = true, bool missing = false);

  // False when the folder exists but could not be read (no access, an I/O
  // error): its emptiness then says nothing about what it holds.
  bool readable() const { return readable_; }
  // True when the folder was not there to read (path not found). For a
  // folder the scan has seen in its parent, that is a failure too: it
  // vanished, or the read failed on the way (a network drive).
  bool missing() const { return missing_; }

  // The entries in enumeration order, "." and ".." included where the
  // platform yields them.
  size_t size() const { return records_.size(); }
  ListedEntry entry(size_t i) const {
    const Record& record = records_[i];
    return ListedEntry{std::string_view(names_).substr(record.name_at, record.name_size),
                       record.size, record.attributes, record.stamp, record.fraction,
                       record.mode};
  }
  // Native paths of the names the platform could not represent.
  const std::vector<std::string>& unusable() const { return unusable_; }

  // What enumerating "<folder><name>" (a name without wildcards) with `mask`
  // yields: the entry of exactly that name, else the first in byte order of
  // those equal to it when ASCII letter case is ignored; nothing when there
  // is none or the mask hides it. Sets *answered to false, and returns
  // nothing, for names the listing cannot answer for alike on every
  // platform: names ending in a dot or a space (the platform strips those),
  // and a miss for a name with bytes above 127 (Windows folds more than
  // ASCII letters). With `exact` (a folder whose pair tells letter case
  // apart) only the entry of exactly that name is found.
  std::optional<ListedEntry> FindName(std::string_view name, uint32_t mask, bool exact,
                                      bool* answered) const;

  // The entries whose names equal `name` when letter case is ignored as the
  // file system ignores it (NameCaseKey), in byte order of their names.
  std::vector<ListedEntry> Spellings(std::string_view name) const;
  // True when this folder holds `name` in two spellings or more (on a file
  // system that tells letter case apart): names Windows cannot tell apart
  // (on Windows also by letters beyond ASCII, "\xC4.txt" and "\xE4.txt").
  bool HoldsCaseTwinsOf(std::string_view name) const;
  // True when this folder holds, as an unusable name, `name` followed by
  // dots or spaces ("x." for "x"): Windows strips those and reads both as
  // one name.
  bool HoldsUnusableAlike(std::string_view name) const;

 private:
  struct Record {
    uint32_t name_at;
    uint32_t name_size;
    uint64_t size;
    uint32_t attributes;
    uint32_t stamp;
    uint32_t fraction;
    uint16_t mode;  // in what was the record's padding: still 32 bytes
  };
  static_assert(sizeof(Record) <= 32, "a listing keeps each entry in 32 bytes");
  std::string_view NameOf(uint32_t i) const {
    return std::string_view(names_).substr(records_[i].name_at, records_[i].name_size);
  }
  void IndexNames() const;
  // Calls visit(index) for each spelling of `name`, in no order.
  template <typename Visit>
  void VisitSpellings(std::string_view name, Visit visit) const;

  std::vector<Record> records_;
  std::string names_;
  std::vector<std::string> unusable_;
  bool readable_ = true;
  bool missing_ = false;
  // The entries by name, letter case ignored; built on the first lookup,
  // which also learns whether any two names differ only in letter case
  // (most folders hold no such pair, and then no file needs a lookup to
  // know it has no twin).
  mutable CaselessNameTable by_name_;
  mutable bool indexed_ = false;
  mutable bool has_case_twins_ = false;
  // Windows, a folder with names beyond ASCII: the entries by NameCaseKey,
  // which folds those letters as the file system does (the table above
  // folds A-Z only).
  mutable std::unordered_map<std::string, std::vector<uint32_t>> by_key_;
  mutable bool keyed_ = false;
  // The unusable names that end in dots or spaces, stripped of them, ASCII
  // upper case; built on the first HoldsUnusableAlike.
  mutable std::unordered_set<std::string> unusable_alike_;
  mutable bool alike_built_ = false;
};

// True for the results of an enumeration that tell what a folder holds:
// success, nothing matched (2), a missing folder (3) and a name no folder
// can hold (123). Any other error (no access, a path too long to reach, an
// I/O error) leaves the content unknown.
inline bool TellsContent(uint32_t find_result) {
  return find_result == kErrOk || find_result == kErrFileNotFound ||
         find_result == kErrPathNotFound || find_result == kErrInvalidName;
}

// Enumerates "<folder>*.*" with kEveryEntryMask.
std::shared_ptr<const FolderListing> ReadFolderListing(const std::string& folder);

// The listings of one scan. Until PlanUses, every listing read is kept (the
// subfolder search reads the folders the file search visits later); from
// then on a listing is kept only while planned uses of its folder remain.
// Listings beyond `max_entries` entries in all are not kept but read again
// when needed, which bounds the memory of very large trees.
class FolderListings {
 public:
  static constexpr size_t kDefaultMaxEntries = size_t{1} << 20;
  explicit FolderListings(size_t max_entries = kDefaultMaxEntries) : max_entries_(max_entries) {}

  // The listing of `folder` (drive form, ending in a backslash).
  std::shared_ptr<const FolderListing> Get(const std::string& folder);
  // Each element of `folders` is one use to come; kept listings of folders
  // with none are dropped.
  void PlanUses(const std::vector<std::string>& folders);
  // One planned use of `folder` is over.
  void UseDone(const std::string& folder);

  // The entries of the kept listing of `folder`; 0 when none is kept.
  size_t KeptEntriesOf(const std::string& folder) const {
    const auto kept = kept_.find(folder);
    return kept == kept_.end() ? 0 : kept->second->size();
  }

  // How many folders were read, for the benchmark and the tests.
  size_t reads() const { return reads_; }

 private:
  void Drop(const std::string& folder);

  size_t max_entries_;
  size_t kept_entries_ = 0;
  size_t reads_ = 0;
  bool planned_ = false;
  std::unordered_map<std::string, std::shared_ptr<const FolderListing>> kept_;
  std::unordered_map<std::string, size_t> uses_;
};

}  // namespace tolvex
