// The POSIX back end of the platform seam.
//
// Paths arrive in drive form ("C:\Data\x.txt") and are resolved through the
// drive table (TOLVEX_DRIVES) to native paths; names are found without
// regard to ASCII letter case as on Windows (an exact lstat first, then the
// name index), except at and below the folders a run names with
// SetExactNameFolders, where a missing name is missing. Every failure comes
// back as the Win32 code the real function would give.
//
// Choices where POSIX has no Windows counterpart:
//   - Attributes: read-only = the owner write bit is clear (files only);
//     hidden = the name starts with '.'; directory; archive on every regular
//     file. SetAttributes changes only read-only (it cannot hide a file);
//     0 gives the owner write permission back. The checks that Windows makes
//     on read-only files (delete, copy over, open for writing) are made on
//     these emulated bits, so they hold for root too.
//   - A listing yields a symbolic link as itself (kAttrSymbolicLink, with
//     the kind bits of a link to a folder or a dangling one): its own time,
//     the length of its target text as its size; nobody descends into it
//     (no loops, no escape from a drive). ReadLink gives its target text;
//     CopyOver and StageCopy copy a link source as a link (the same text,
//     the same time, a temporary link renamed over the target, made at
//     once, never staged); a copy onto a link replaces the link, whatever
//     it leads to; RemoveFile removes the link itself. A path that names a
//     link explicitly (a selection, a destination) is followed, and
//     GetAttributes, which such paths are checked with, keeps answering as
//     Windows does for a link (the reparse-point bit, the directory bit of a
//     link to a folder). GetAttributes and SetAttributes work on the link
//     itself: a link is never read-only, and no attribute change reaches
//     its target.
//   - FIFOs, sockets and devices are yielded with kAttrDevice alone (no
//     size, their time): nothing opens them (a FIFO would block a copy for
//     ever), and a scan sees that their name is taken.
//   - A name Windows cannot hold (\ : * ? " < > |, a control character, or
//     a final dot or space) travels in its mapped form (host_names.h: each
//     such character as U+F000 + its code), is yielded so and is mapped
//     back wherever a path names it: the file keeps its name on disk.
//     Where the folder's file system cannot hold such names (vfat, exfat;
//     volume_rules.h) the name is never yielded (its native path goes to
//     *unusable, and the pattern counts as matched, so the caller logs
//     it), and a path that names one there fails with 123: a vfat folder
//     would take "x." for "x". A name on disk that already holds a mapped
//     character is unusable too (it would read back as another name). A
//     path that holds a raw reserved character fails with 123. Only the
//     last name of a FindEntries pattern is stripped of final dots and
//     spaces first, as FindFirstFileA does.
//   - A hidden target does not refuse CopyOver (Windows answers 5 there):
//     on POSIX "hidden" only means the name starts with a dot, which no
//     attribute change can undo, so refusing would make every dotfile
//     impossible to update for ever. A read-only target still gives 5.
//   - No operation reaches outside its drive's folder: an operation on an
//     entry, a listing and a copy open the folder that holds the entry (or
//     is listed), check that its real place lies at or below the real place
//     of the drive's folder, and then work relative to that open folder, so
//     that no link can be swapped in between. A link to a folder outside the
//     drive (one named outright, one above the drive's root, a folder
//     replaced by such a link after the scan saw it) answers 5 (no
//     access): the drive holds nothing there for this run to touch. Links inside the drive are followed where they are named;
//     a link to a file is still the file, wherever it points.
//   - A drive whose folder is a mount point with nothing mounted on it (or
//     lies in one; mount_points.h) is not ready: every call on it answers
//     21, and its free space too, as a Windows drive without its disk.
//   - ShowHelp has no help viewer to call and returns false.
//
// Files of the back end:
//   posix_platform.cpp  path resolution, attributes, stamps, DefaultPlatform
//   posix_find.cpp      FindEntries (entry_lookups: the metadata of its entries)
//   posix_files.cpp     copy, delete, move, folders, OpenForWrite
//   posix_modes.cpp     permission bits (and the owner, for root)
//   posix_system.cpp    free space, time, profile, pump, beep, shell, text
//   drive_table, mount_points, name_index, dos_wildcard, file_copy, local_stamp,
//   private_profile, posix_pump, win32_error: the pieces they use
#pragma once

#include <dirent.h>
#include <sys/stat.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/drive_table.h"
#include "platform/posix/entry_lookups.h"
#include "platform/posix/file_copy.h"
#include "platform/posix/name_index.h"
#include "platform/posix/volume_rules.h"

namespace tolvex::posix {

// Where a path in drive form leads.
struct NativeEntry {
  std::string path;            // the full native path
  std::string folder;          // the native folder holding it; empty for a root
  std::string name;            // its native name: the stored spelling when it exists
  std::string requested_name;  // the last name as the caller spelled it
  char letter = 0;             // the drive ('A' to 'Z')
  bool is_root = false;
  bool exists = false;
  bool trailing_separator = false;
  // Set when every name was found as spelled by one lstat of the whole
  // path; `found` is that lstat, so callers need not look again.
  bool found_as_spelled = false;
  struct stat found{};
  // Set when the resolution stat'ed the folder holding the entry (a name
  // missing as spelled in a folder found as spelled); `folder_key` is that
  // stat, for the name index.
  bool folder_known = false;
  FolderKey folder_key;
};

class PosixPlatform final : public Platform {
 public:
  PosixPlatform();

  uint32_t FindEntries(const std::string& pattern, uint32_t mask, std::vector<FindEntry>* entries,
                       std::vector<std::string>* unusable) override;
  uint32_t GetAttributes(const std::string& path, uint32_t* attributes) override;
  uint32_t SetAttributes(const std::string& path, uint32_t attributes) override;
  // Permission bits (posix_modes.cpp): relative to the open folder that
  // holds the entry; never through a link.
  uint32_t GetModeInfo(const std::string& path, ModeInfo* info) override;
  uint32_t SetMode(const std::string& path, uint32_t mode) override;
  uint32_t CopyMode(const std::string& from, const std::string& to, uint32_t added,
                    uint32_t* from_mode) override;
  uint32_t CopyOver(const std::string& from, const std::string& to) override;
  // Staged copies are written and held under their temporary names;
  // completing them syncs the file systems they lie on, then renames each
  // (file_copy.h). A batch holds one descriptor a copy and one a folder.
  StageResult StageCopy(const std::string& from, const std::string& to) override;
  size_t CompleteStagedCopies(uint32_t* failure) override;
  void DropStagedCopies() override;
  uint32_t ReadLink(const std::string& path, std::string* target) override;
  uint32_t LinkOver(const std::string& existing, const std::string& to,
                    const LinkedFile& expected) override;
  uint32_t RemoveFile(const std::string& path) override;
  uint32_t MoveEntry(const std::string& from, const std::string& to) override;
  uint32_t RemoveFolder(const std::string& path) override;
  uint32_t MakeFolder(const std::string& path) override;
  uint32_t GetLastWriteStamp(const std::string& path, uint32_t* stamp) override;
  uint32_t SetLastWriteStamp(const std::string& path, uint32_t stamp) override;
  uint32_t OpenForWrite(const std::string& path, bool append, std::FILE** file) override;
  uint32_t OpenForRead(const std::string& path, std::FILE** file) override;
  uint32_t RemoveDeadTemporaries(const std::string& folder, uint32_t* removed) override;
  uint32_t LockFolder(const std::string& folder, std::unique_ptr<FolderLock>* lock) override;

  // By the folder's file system, its casefold attribute and the test
  // switch TOLVEX_TEST_VOLUMES (volume_rules.h).
  uint32_t GetFolderNameRules(const std::string& folder, FolderNameRules* rules) override;
  void SetExactNameFolders(const std::vector<std::string>& folders) override;
  uint32_t DiskFreeSpace(const std::string& root, uint64_t* free_bytes) override;
  LocalTime Now() override;
  uint64_t TickMilliseconds() override;
  int32_t LocalOffsetMinutes() override;
  uint32_t ProfileInt(const std::string& file, const std::string& section, const std::string& key,
                      uint32_t fallback) override;
  std::string ProfileString(const std::string& file, const std::string& section,
                            const std::string& key, const std::string& fallback) override;
  bool WriteProfileString(const std::string& file, const std::string& section,
                          const std::string& key, const std::string& value) override;
  bool TakeOneMessage() override;
  void Beep(uint32_t type) override;
  bool ShellOpen(const std::string& target) override;
  bool ShowHelp(const std::string& file, uint32_t context) override;

  int CompareExact(const std::string& a, const std::string& b) override;
  std::string UpperCase(const std::string& text) override;
  int32_t MulDiv(int32_t a, int32_t b, int32_t c) override;

  // Reads TOLVEX_DRIVES again; also forgets the name index and which folders
  // were listed (a new run looks for dead temporary files again).
  void ReloadDrives() override;

  // Resolves `path` (drive form) to a native entry. With `must_exist`, a
  // missing entry is 2 and a missing folder on the way 3; without it only
  // the folders must exist. 3 for an unmapped drive or a path without one,
  // 123 for a name Windows cannot hold.
  uint32_t Resolve(const std::string& path, bool must_exist, NativeEntry* out);

  // Opens the folder that holds `entry` (O_PATH) and checks that it lies
  // inside the entry's drive; -1 with *error set (5 outside the drive) on
  // failure. The caller closes it.
  int OpenHoldingFolder(const NativeEntry& entry, uint32_t* error);
  // Opens native `folder` of drive `letter` itself (O_PATH) with the same
  // check.
  int OpenFolderInDrive(const std::string& folder, char letter, uint32_t* error);
  // Opens native `folder` of drive `letter` for listing, with the same
  // check; null with *error set on failure. The caller closes it.
  DIR* OpenListingInDrive(const std::string& folder, char letter, uint32_t* error);

  // --- For tests ---
  // How often the name index read a folder to answer a lookup.
  uint64_t FolderReadsForTesting() const { return index_.folder_reads(); }
  // How soon after a folder's last change its listing is trusted (tests
  // make folders and look into them at once).
  void SetRacyWindowForTesting(int64_t nanoseconds) { index_.set_racy_window_ns(nanoseconds); }
  // How a listing looks its entries up (one at a time, batched through
  // io_uring, or batched once one waits for the disk).
  EntryLookups& LookupsForTesting() { return lookups_; }
  // Called in a listing with each batch of names read, before they are
  // looked up (null: nothing), so that a test can change the folder in
  // between.
  using BeforeLookups = std::function<void(const std::vector<std::string>& names)>;
  void SetBeforeLookupsForTesting(BeforeLookups hook) { before_lookups_ = std::move(hook); }

 private:
  uint32_t ResolveDrivePath(const DrivePath& drive_path, bool must_exist, NativeEntry* out);
  // The two looks that answer nearly every path, `path` (native, as
  // spelled) in `folder` under its last name `name`: one lstat of the
  // whole path, or, when it is missing, one stat of its folder and the
  // name index. False when neither answers (the full walk then does).
  bool ResolveAsSpelled(std::string path, std::string folder, const std::string& name,
                        bool must_exist, NativeEntry* out, uint32_t* result);
  // A path in the folder of one of the last paths resolved as spelled,
  // without splitting and mapping the folder's names again (a copy pass
  // resolves a file's source and target, folder after folder); false when
  // it is not one.
  bool ResolveInLastFolder(const std::string& path, bool must_exist, NativeEntry* out,
                           uint32_t* result);
  // The drive form of such a folder, its drive and its native path (as
  // spelled). Only the text is kept: every lookup is made again.
  struct LastFolder {
    std::string text;
    char letter = 0;
    std::string native;
  };
  std::array<LastFolder, 4> last_folders_;
  size_t next_last_folder_ = 0;  // the one replaced next
  // Sets the mode of `to` (and with `owner` its owner and group to those).
  uint32_t ChangeMode(const std::string& to, mode_t mode, const struct stat* owner);
  // The open source of a copy and its checked target's open folder.
  struct CopyEnds {
    CopyEnds() = default;
    CopyEnds(const CopyEnds&) = delete;
    CopyEnds& operator=(const CopyEnds&) = delete;
    ~CopyEnds();
    int source = -1;
    struct stat source_stat {};
    NativeEntry target;
    int folder = -1;  // kept (kCopiedInto): not closed with the ends
    // The source is a symbolic link (source_stat its lstat; no `source`
    // descriptor), copied as a link to `link_text`.
    bool link = false;
    std::string link_text;
  };
  // Opens and checks both ends as CopyOver needs them: its codes.
  uint32_t OpenCopyEnds(const std::string& from, const std::string& to, CopyEnds* ends);
  struct Staged {
    StagedCopy copy;
    std::string folder;  // native
    dev_t device;        // the file system of the folder
    bool target_existed;
  };
  struct StagedFolder {
    int fd;
    dev_t device;
  };
  // Syncs each file system the staged copies lie on; false when one
  // reported a failed write-back.
  bool SyncFileSystems();
  // Closes what the staged copies held; they must be placed or discarded.
  void ReleaseStagedCopies();
  // The stored spelling of `name` in native `folder`: the name itself when
  // it exists as given, else a caseless match from the index, else nothing.
  // A failure other than "missing" is left in *error (an errno value).
  std::optional<std::string> StoredName(const std::string& folder, const std::string& name,
                                        int* error);
  uint32_t FindFolderItself(const DrivePath& folder_path);
  uint32_t FindLiteral(const std::string& folder, const std::string& name, uint32_t mask,
                       std::vector<FindEntry>* entries);
  // Enumerates the open folder `dir` (native `folder`), which the caller
  // closes.
  uint32_t FindMatching(DIR* dir, const std::string& folder, bool is_root,
                        const std::string& pattern, uint32_t mask, std::vector<FindEntry>* entries,
                        std::vector<std::string>* unusable);
  // The native path of `drive_path` taken as spelled; false when a name
  // cannot be held or the drive is unmapped (the full resolution reports
  // those).
  bool NativeAsSpelled(const DrivePath& drive_path, std::string* native) const;
  // Removes the dead temporary files of native `folder`; their names.
  std::vector<std::string> RemoveDeadIn(const std::string& folder);
  std::string ProfilePath(const std::string& file, bool for_writing, uint32_t* error);

  // True when names Windows cannot hold can be made in native `folder`
  // (`fd` an open descriptor of it, or -1).
  bool HoldsAnyName(const std::string& folder, int fd) const;
  // `drive_path` with each name in its form on disk into *host; 123 when a
  // name is no engine form of any name. *mapped tells whether the last
  // name changed.
  uint32_t HostPath(const DrivePath& drive_path, DrivePath* host, bool* mapped) const;

  // True when the open `fd` lies at or below the real folder of `letter`.
  bool InsideDrive(int fd, char letter);
  // True when names in native `folder` are found only as spelled: it is or
  // lies below one of exact_name_folders_.
  bool FindsOnlyAsSpelled(const std::string& folder) const;

  DriveTable drives_;
  VolumeSeam volume_seam_;
  // The real folder of each mapped drive (links resolved), found when first
  // needed after the drives were loaded.
  std::array<std::string, 26> real_roots_;
  NameIndex index_;
  // Native folders (without a closing '/', "/" itself as it is) in and
  // below which no other letter case of a missing name is looked for
  // (SetExactNameFolders).
  std::vector<std::string> exact_name_folders_;
  // A listing's lookups, and its batch of names (kept for their capacity).
  EntryLookups lookups_;
  std::vector<std::string> batch_names_;
  std::vector<std::string> batch_engine_names_;  // the engine's names of the batch (mapped)
  std::vector<bool> batch_usable_;
  std::vector<EntryLookup> batch_lookups_;
  BeforeLookups before_lookups_;
  // Native folders FindEntries listed whole since the drives were loaded,
  // and those of them that held a temporary name.
  std::unordered_set<std::string> enumerated_folders_;
  std::unordered_set<std::string> folders_with_temporaries_;
  // The age after which a temporary file on a file system without locks
  // counts as dead: one hour.
  static constexpr int64_t kUnlockableTemporaryAgeMs = 3600 * 1000;
  std::vector<Staged> staged_;
  std::unordered_map<std::string, StagedFolder> staged_folders_;  // by native folder

  // The folders copies and links were read from and written into last,
  // open and checked: a run copies and links folder by folder, and opening
  // and checking a folder for each file would cost more than many a file.
  // A kept folder serves a later entry only while the entry's path still
  // leads to it (KeptFolderStillNamed) and it still lies inside its drive;
  // else the folder is opened and checked afresh. Let go wherever this
  // process moves or removes a folder (MoveEntry, RemoveFolder,
  // ReloadDrives).
  struct KeptFolder {
    std::string native;
    int fd = -1;
    bool identified = false;  // device and inode taken (on first need)
    dev_t device = 0;
    ino_t inode = 0;
    // Handed to the staged batch, which closes it (ReleaseStagedCopies).
    bool lent = false;
  };
  enum KeptRole { kLinkedFrom, kLinkedInto, kCopiedFrom, kCopiedInto, kKeptRoles };
  std::array<KeptFolder, kKeptRoles> kept_folders_;
  // The folder holding `entry` kept for `role`, or -1 when none is kept
  // for that folder. It serves only once KeptFolderServes says so.
  int KeptFolderFor(KeptRole role, const NativeEntry& entry) const;
  // True when the kept folder of `role` is still the folder `entry`'s path
  // leads to, inside its drive. `seen`: the entry looked up in that kept
  // folder (no link followed), or null. Proof of the folder's identity:
  // the folder stat the resolution took, or the entry itself (a file of a
  // single name lies in one folder only) as seen here and by the
  // resolution's lstat of the whole path, or else one stat of the folder.
  bool KeptFolderServes(KeptRole role, const NativeEntry& entry, const struct stat* seen);
  // Opens and checks the folder holding `entry` (OpenHoldingFolder) and
  // keeps it for `role` in place of the one kept; -1 with *error set.
  int KeepFolder(KeptRole role, const NativeEntry& entry, uint32_t* error);
  // The folder that will hold a copy's or a link's `target` (role
  // kCopiedInto or kLinkedInto), kept or opened afresh, with the target
  // checked there against `source` (CheckCopyTarget's code in *checked);
  // -1 with *error set when the folder cannot be opened.
  int TargetFolder(KeptRole role, const NativeEntry& target, const struct stat& source,
                   uint32_t* checked, uint32_t* error);
  // Takes the device and inode of the kept folder of `role`; false when
  // fstat fails.
  bool Identify(KeptFolder& kept);
  void ForgetKeptFolders();
};

// Native path of `name` in `folder`.
std::string JoinNative(const std::string& folder, const std::string& name);

// The emulated Windows attributes of a native entry called `name`.
uint32_t AttributesOf(const struct stat& st, std::string_view name);

}  // namespace tolvex::posix
