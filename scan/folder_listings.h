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
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/platform.h"

namespace tolvex {

// The mask under which an enumeration yields every entry: it shares a bit
// with every entry that carries hidden, system or directory.
inline constexpr uint32_t kEveryEntryMask = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrDirectory;

// One enumeration of "<folder>*.*" with kEveryEntryMask.
class FolderListing {
 public:
  FolderListing(std::vector<FindEntry> entries, std::vector<std::string> unusable,
                bool readable = true, bool missing = false);

  // False when the folder exists but could not be read (no access, an I/O
  // error): its emptiness then says nothing about what it holds.
  bool readable() const { return readable_; }
  // True when the folder was not there to read (path not found). For a
  // folder the scan has seen in its parent, that is a failure too: it
  // vanished, or the read failed on the way (a network drive).
  bool missing() const { return missing_; }

  // In enumeration order, "." and ".." included where the platform yields them.
  const std::vector<FindEntry>& entries() const { return entries_; }
  // Native paths of the names the platform could not represent.
  const std::vector<std::string>& unusable() const { return unusable_; }

  // What enumerating "<folder><name>" (a name without wildcards) with `mask`
  // yields: the entry of exactly that name, else the first in byte order of
  // those equal to it when ASCII letter case is ignored; null when there is
  // none or the mask hides it. Sets *answered to false, and returns null,
  // for names the listing cannot answer for alike on every platform: names
  // ending in a dot or a space (the platform strips those), and a miss for a
  // name with bytes above 127 (Windows folds more than ASCII letters).
  const FindEntry* FindName(const std::string& name, uint32_t mask, bool* answered) const;

  // The entries whose names equal `name` when ASCII letter case is ignored,
  // in byte order of their names.
  std::vector<const FindEntry*> Spellings(const std::string& name) const;
  // True when this folder holds `name` in two spellings or more (on a file
  // system that tells letter case apart): names Windows cannot tell apart.
  bool HoldsCaseTwinsOf(const std::string& name) const {
    const auto [first, last] = SpellingRange(name);
    return last - first > 1;
  }
  // True when this folder holds, as an unusable name, `name` followed by
  // dots or spaces ("x." for "x"): Windows strips those and reads both as
  // one name.
  bool HoldsUnusableAlike(const std::string& name) const;

 private:
  void SortNames() const;
  // The range of by_name_ that holds the spellings of `name`.
  std::pair<std::vector<uint32_t>::const_iterator, std::vector<uint32_t>::const_iterator>
  SpellingRange(const std::string& name) const;

  std::vector<FindEntry> entries_;
  std::vector<std::string> unusable_;
  bool readable_ = true;
  bool missing_ = false;
  // Indices into entries_ ordered by ASCII-folded name, then by the bytes of
  // the name; built on the first FindName.
  mutable std::vector<uint32_t> by_name_;
  mutable bool sorted_ = false;
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
