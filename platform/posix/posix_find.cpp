// FindEntries: FindFirstFileA / FindNextFileA over a native folder.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <unistd.h>

#include "platform/dos_stamp.h"
#include "platform/posix/dos_wildcard.h"
#include "platform/posix/entry_lookups.h"
#include "platform/posix/file_copy.h"
#include "platform/posix/host_names.h"
#include "platform/posix/local_stamp.h"
#include "platform/posix/posix_platform.h"
#include "platform/posix/win32_error.h"

namespace tolvex::posix {

namespace {

bool IsDotEntry(const char* name) { return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0; }

int64_t RealTimeNs() {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// Fills *entry for the entry `name` from its lstat `st` and, for a link,
// `target`, the stat of what it points to (null when it dangles); `stamps`
// makes the stamp. A symbolic link is described as itself
// (kAttrSymbolicLink): its own time, the length of its target text as its
// size, never read-only, and what it leads to (a folder, nothing) in its
// kind bits; a backup copies it as a link and nobody reads through it. An
// entry that is neither file, folder nor link (a FIFO, a socket, a device)
// is yielded with kAttrDevice and nothing else to say of it (no mode), so
// that no scan takes its name for a free one.
bool DescribeStat(const struct stat& st, const struct stat* target, std::string_view name,
                  StampMaker& stamps, FindEntry* entry) {
  entry->name.assign(name);
  if (S_ISLNK(st.st_mode)) {
    uint32_t attributes = kAttrSymbolicLink | kAttrArchive;
    if (target == nullptr) {
      attributes |= kAttrLinkDangling;
    } else if (S_ISDIR(target->st_mode)) {
      attributes |= kAttrLinkToFolder;
    }
    if (!name.empty() && name[0] == '.') attributes |= kAttrHidden;
    entry->size = static_cast<uint64_t>(st.st_size);
    entry->attributes = attributes;
    entry->mode = 0;  // a link has no mode of its own to keep
    entry->stamp = stamps(st.st_mtim.tv_sec);
    entry->fraction = StampFraction(entry->stamp, st.st_mtim.tv_sec,
                                    static_cast<uint32_t>(st.st_mtim.tv_nsec));
    return true;
  }
  if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
    entry->size = 0;
    entry->attributes = kAttrDevice;
    entry->mode = 0;
    entry->stamp = stamps(st.st_mtim.tv_sec);
    return true;
  }
  entry->size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
  // "." and ".." are the folders themselves, not hidden files.
  entry->attributes = AttributesOf(st, IsDotEntry(entry->name.c_str()) ? std::string_view() : name);
  entry->mode = static_cast<uint16_t>(kModeKnown | (st.st_mode & kModeBits));
  entry->stamp = stamps(st.st_mtim.tv_sec);
  entry->fraction = StampFraction(entry->stamp, st.st_mtim.tv_sec, static_cast<uint32_t>(st.st_mtim.tv_nsec));
  return true;
}

// The same from a lookup of the entry (entry_lookups.h); false for an
// entry that vanished meanwhile or could not be looked up.
bool DescribeLookup(const EntryLookup& lookup, std::string_view name, StampMaker& stamps,
                    FindEntry* entry) {
  if (lookup.error != 0) return false;
  const bool target_found = lookup.followed && lookup.target_error == 0;
  return DescribeStat(lookup.st, target_found ? &lookup.target : nullptr, name, stamps, entry);
}

// The same, looking the entry `where` up first, relative to the open folder
// `folder_fd` (or AT_FDCWD).
bool Describe(int folder_fd, const char* where, std::string_view name, StampMaker& stamps,
              FindEntry* entry) {
  EntryLookup lookup;
  lookup.error = fstatat(folder_fd, where, &lookup.st, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
  if (lookup.error == 0 && S_ISLNK(lookup.st.st_mode)) {
    lookup.followed = true;
    lookup.target_error = fstatat(folder_fd, where, &lookup.target, 0) == 0 ? 0 : errno;
  }
  return DescribeLookup(lookup, name, stamps, entry);
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The last name of a pattern may hold wildcards, but nothing else that a
// Windows name cannot.
bool CanBePatternName(const std::string& name) {
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) return false;
  }
  return name.find_first_of(":|\\/") == std::string::npos;
}

// A folder opened for listing (by OpenListingInDrive, so inside its drive).
class FolderReader {
 public:
  explicit FolderReader(DIR* dir) : dir_(dir) {}
  ~FolderReader() {
    if (dir_) closedir(dir_);
  }
  FolderReader(const FolderReader&) = delete;
  FolderReader& operator=(const FolderReader&) = delete;
  bool ok() const { return dir_ != nullptr; }
  DIR* get() const { return dir_; }

 private:
  DIR* dir_;
};

}  // namespace

uint32_t PosixPlatform::FindEntries(const std::string& pattern, uint32_t mask,
                                    std::vector<FindEntry>* entries,
                                    std::vector<std::string>* unusable) {
  if (pattern.find('\0') != std::string::npos) return kErrInvalidName;
  DrivePath folder_path;
  if (!SplitDrivePath(pattern, &folder_path)) return kErrPathNotFound;
  if (folder_path.trailing_separator || folder_path.names.empty()) {
    return FindFolderItself(folder_path);
  }
  const std::string last = folder_path.names.back();
  folder_path.names.pop_back();
  const std::string stripped = WithoutTrailingDotsAndSpaces(last);
  if (stripped.empty()) return kErrFileNotFound;
  if (!CanBePatternName(stripped)) return kErrInvalidName;

  // A scan names folders as they are stored: opening the path as spelled
  // settles every name on the way with one walk (each exists as given, so
  // the resolution would take it as given, and the last is a folder). Any
  // failure goes the full way, which finds other spellings and gives the
  // codes.
  std::string native;
  if (HasWildcard(stripped) && !folder_path.names.empty() &&
      NativeAsSpelled(folder_path, &native)) {
    uint32_t ignored = kErrOk;
    FolderReader reader(OpenListingInDrive(native, folder_path.letter, &ignored));
    if (reader.ok()) return FindMatching(reader.get(), native, false, last, mask, entries, unusable);
  }

  NativeEntry folder;
  const uint32_t error = ResolveDrivePath(folder_path, true, &folder);
  if (error == kErrFileNotFound) return kErrPathNotFound;  // the folder itself is missing
  if (error != kErrOk) return error;
  const bool known_folder = folder.found_as_spelled && S_ISDIR(folder.found.st_mode);
  if (!known_folder && !IsFolder(folder.path)) return kErrPathNotFound;
  if (!HasWildcard(stripped)) {
    std::string host = stripped;
    if (HoldsMappedCharacter(stripped)) {
      if (!HostNameOf(stripped, &host)) return kErrInvalidName;
      // A folder that cannot hold the name does not have it (a vfat
      // folder would find "x." as "x").
      if (host != stripped && !HoldsAnyName(folder.path, -1)) return kErrFileNotFound;
    }
    return FindLiteral(folder.path, host, mask, entries);
  }
  uint32_t refused = kErrOk;
  FolderReader reader(OpenListingInDrive(folder.path, folder.letter, &refused));
  if (!reader.ok()) return refused != kErrOk ? refused : Win32FromErrno(errno, ErrnoSite::kFolder);
  return FindMatching(reader.get(), folder.path, folder.is_root, last, mask, entries, unusable);
}

// A pattern that names a folder with its backslash ("C:\a\") finds
// nothing: 2 when the folder exists, 3 when it does not.
uint32_t PosixPlatform::FindFolderItself(const DrivePath& folder_path) {
  NativeEntry folder;
  const uint32_t error = ResolveDrivePath(folder_path, true, &folder);
  if (error != kErrOk) return error == kErrFileNotFound ? kErrPathNotFound : error;
  if (folder.found_as_spelled && S_ISDIR(folder.found.st_mode)) return kErrFileNotFound;
  return IsFolder(folder.path) ? kErrFileNotFound : kErrPathNotFound;
}

uint32_t PosixPlatform::FindLiteral(const std::string& folder, const std::string& name,
                                    uint32_t mask, std::vector<FindEntry>* entries) {
  int error = 0;
  const std::optional<std::string> stored = StoredName(folder, name, &error);
  if (error != 0) return Win32FromErrno(error, ErrnoSite::kEntry);
  if (!stored || IsReservedName(*stored)) return kErrFileNotFound;
  std::string engine_name = *stored;
  switch (FitOfHostName(*stored)) {
    case HostNameFit::kAsIs:
      break;
    case HostNameFit::kMapped:
      if (!HoldsAnyName(folder, -1)) return kErrFileNotFound;
      engine_name = EngineNameOf(*stored);
      break;
    case HostNameFit::kUnusable:
      return kErrFileNotFound;
  }
  FindEntry entry;
  StampMaker stamps(LocalOffsetNow());
  if (!Describe(AT_FDCWD, JoinNative(folder, *stored).c_str(), engine_name, stamps, &entry)) {
    return kErrFileNotFound;
  }
  if (PassesAttributeMask(entry.attributes, mask)) entries->push_back(std::move(entry));
  return kErrOk;
}

uint32_t PosixPlatform::FindMatching(DIR* dir, const std::string& folder, bool is_root,
                                     const std::string& pattern, uint32_t mask,
                                     std::vector<FindEntry>* entries,
                                     std::vector<std::string>* unusable) {
  const DosPattern matcher(pattern);
  const int64_t started = RealTimeNs();
  const int folder_fd = dirfd(dir);
  // The open folder's own stat: no second walk of the path, and it is the
  // very folder read below (taken before the read, as the index needs).
  struct stat folder_stat;
  if (fstat(folder_fd, &folder_stat) != 0) return Win32FromErrno(errno, ErrnoSite::kFolder);
  // One look at the zone per listing, not one per entry.
  StampMaker stamps(LocalOffsetNow());
  FolderNames listing;
  bool matched = false;
  bool holds_temporaries = false;
  // What a described entry adds: kept in *entries, reported as unusable,
  // or left out.
  const auto take = [&](std::string_view name, bool usable, bool described) {
    const uint32_t attributes = entries->back().attributes;
    if (described && PassesAttributeMask(attributes, mask) && usable) {
      matched = true;
      return;
    }
    entries->pop_back();
    if (!described) return;
    if (!PassesAttributeMask(attributes, mask)) {
      // A usable name the mask filters has still matched; an unusable one
      // that nobody would have seen is not worth a report.
      matched = matched || usable;
      return;
    }
    matched = true;
    if (unusable) unusable->push_back(JoinNative(folder, std::string(name)));
  };
  // The matching names are looked up a batch at a time, in the order read
  // (entry_lookups.h).
  std::vector<std::string>& names = batch_names_;  // as on disk
  std::vector<std::string>& engine_names = batch_engine_names_;
  std::vector<bool>& usable_names = batch_usable_;
  std::vector<EntryLookup>& lookups = batch_lookups_;
  names.clear();
  engine_names.clear();
  usable_names.clear();
  lookups_.BeginFolder();
  const auto describe_batch = [&] {
    if (names.empty()) return;
    if (before_lookups_) before_lookups_(names);
    lookups.assign(names.size(), EntryLookup());
    for (size_t i = 0; i < names.size(); ++i) lookups[i].name = names[i].c_str();
    lookups_.Run(folder_fd, lookups);
    for (size_t i = 0; i < names.size(); ++i) {
      // Described in place, so that the entry's name is the only copy made.
      FindEntry& entry = entries->emplace_back();
      take(names[i], usable_names[i], DescribeLookup(lookups[i], engine_names[i], stamps, &entry));
    }
    names.clear();
    engine_names.clear();
    usable_names.clear();
  };
  int holds_any_name = -1;  // not asked yet
  for (;;) {
    // readdir tells the end of the folder from a failed read (an I/O error,
    // a folder removed on a network share) only by errno: a cut listing
    // taken for a whole one would make every file after the cut an orphan.
    errno = 0;
    const dirent* item = readdir(dir);
    if (item == nullptr) {
      const int error = errno;
      // What was read before the failure is kept, as the seam promises.
      describe_batch();
      if (error != 0) return Win32FromErrno(error, ErrnoSite::kFolder);
      break;
    }
    const std::string_view name(item->d_name);
    const bool dot_entry = IsDotEntry(item->d_name);
    if (dot_entry && is_root) continue;  // a drive root has no "." and ".."
    if (!dot_entry) listing.Add(name);
    if (IsReservedName(name)) {
      holds_temporaries = holds_temporaries || IsTemporaryName(name);
      continue;
    }
    // The engine's name for it: the name itself nearly always; its mapped
    // form where the folder holds such names (asked once a listing).
    std::string mapped;
    std::string_view engine_name = name;
    bool usable = true;
    if (!WindowsCanHoldName(name) || name.find('\xEF') != std::string_view::npos) {
      const HostNameFit fit = FitOfHostName(name);
      if (fit == HostNameFit::kMapped && holds_any_name < 0) {
        holds_any_name = HoldsAnyName(folder, folder_fd) ? 1 : 0;
      }
      usable = fit == HostNameFit::kAsIs || (fit == HostNameFit::kMapped && holds_any_name == 1);
      if (usable && fit == HostNameFit::kMapped) {
        mapped = EngineNameOf(name);
        engine_name = mapped;
      }
    }
    if (!matcher.Matches(engine_name)) continue;
    if (name == ".") {
      // The open folder's own stat, in its place among the entries.
      describe_batch();
      FindEntry& entry = entries->emplace_back();
      take(name, usable, DescribeStat(folder_stat, nullptr, engine_name, stamps, &entry));
      continue;
    }
    names.emplace_back(name);
    engine_names.emplace_back(engine_name);
    usable_names.push_back(usable);
    if (names.size() == EntryLookups::kBatch) describe_batch();
  }
  describe_batch();
  // The listing is complete: counterpart lookups in this folder need no read.
  index_.Remember(folder, FolderKeyOf(folder_stat), started, std::move(listing));
  enumerated_folders_.insert(folder);
  if (holds_temporaries) folders_with_temporaries_.insert(folder);
  return matched ? kErrOk : kErrFileNotFound;
}

}  // namespace tolvex::posix
