// The seam between the engine and the operating system.
//
// Everything the engine asks of the system goes through one `Platform`
// object: directory enumeration, file operations, free space, local time,
// the private profile, the one-message pump and a few text helpers. There
// are two back ends with the same contract, POSIX (platform/posix) and Win32
// (platform/win32); one conformance suite holds them to it.
//
// Paths keep their Windows form everywhere above the seam ("C:\Data\x.txt").
// Every operation returns a Win32 error code (0 on success) and hands its
// results back through out-parameters; no exception crosses the seam.
//
// On failure an out-parameter is left as it was, unless its method says
// otherwise. Besides the codes each method names, any method may return
// 5 (no access), 123 (a name no folder can hold), 206 (a path too long for
// the system) or another Win32 code for an I/O error; a caller treats an
// unnamed code as "failed, nothing known".
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/reserved_names.h"

namespace tolvex {

// Win32 error codes that the seam reports.
enum : uint32_t {
  kErrOk = 0,
  kErrFileNotFound = 2,
  kErrPathNotFound = 3,
  kErrAccessDenied = 5,
  kErrNoMoreFiles = 18,
  kErrNotReady = 21,  // a drive without its medium (POSIX: a mount point with no disk on it)
  kErrSharingViolation = 32,
  kErrDiffers = 13,  // ERROR_INVALID_DATA: LinkOver's file is not as described
  kErrNotSameDevice = 17,
  kErrNotSupported = 50,
  kErrFileExists = 80,
  kErrInvalidParameter = 87,
  kErrDiskFull = 112,
  kErrInvalidName = 123,
  kErrDirNotEmpty = 145,
  kErrAlreadyExists = 183,
  kErrFilenameTooLong = 206,
  kErrTooManyLinks = 1142,
  kErrRequestAborted = 1235,  // a copy stopped on request (platform/stop_request.h)
};

// DOS/Win32 file attribute bits.
enum : uint32_t {
  kAttrReadOnly = 0x01,
  kAttrHidden = 0x02,
  kAttrSystem = 0x04,
  kAttrVolume = 0x08,
  kAttrDirectory = 0x10,
  kAttrArchive = 0x20,
  // An entry that is neither file, folder nor link: a FIFO, a socket, a
  // device (Windows' FILE_ATTRIBUTE_DEVICE). Nothing reads, writes, replaces
  // or erases one; a scan reports it.
  kAttrDevice = 0x40,
  kAttrReparsePoint = 0x400,
  // A symbolic link described as itself (POSIX only; no Windows attribute
  // uses these bits): its own last-write time, the length of its target
  // text as its size, never read-only. The copy makes the same link at the
  // target (CopyOver), the erase removes the link; nothing reads or writes
  // through it. At most one of the two kind bits says what it leads to: a
  // folder, or nothing (it dangles); neither for anything else (a file).
  // They stay clear of the bits a candidate keeps a mode in (model/records.h:
  // bits 16 to 24 and 31) and of every Windows attribute.
  kAttrSymbolicLink = 0x08000000,
  kAttrLinkToFolder = 0x02000000,
  kAttrLinkDangling = 0x04000000,
};

// True for an entry that is a symbolic link copied as a link.
inline bool IsSymbolicLink(uint32_t attributes) { return (attributes & kAttrSymbolicLink) != 0; }

// The reserved name space (platform/reserved_names.h): the copy's temporary
// files, "~tolvex-tmp." + 16 hex digits + "-" + 8 hex digits + ".tmp", and
// the run lock "~tolvex-run.lock". No enumeration yields these exact names
// (on either back end, in any folder), so no scan compares, copies or
// erases them; every other name, one that merely starts with "~tolvex-tmp."
// included, is a user's file. A temporary file is live while its writer
// holds it (POSIX: an flock on the open file; Windows: an open handle that
// shares no delete access), from its creation until it is renamed or
// removed; RemoveDeadTemporaries removes those nobody holds. A writer that
// keeps many temporary files at once (one token per run, a counter per
// file) must hold each of them the same way.

// Held by a run on its destination folder (LockFolder); released, and its
// lock file removed, when destroyed. The operating system releases it when
// the process dies.
class FolderLock {
 public:
  virtual ~FolderLock() = default;
};

// One entry of a directory enumeration.
inline constexpr uint32_t kNoFraction = 0xFFFFFFFFu;

// The permission bits a file or folder carries where the system has them
// (POSIX: owner, group and others, read, write and execute), and the bit that
// says a mode is known at all (FindEntry::mode; a mode of 0 is a mode).
// Set-user-ID, set-group-ID and sticky are not carried: an ordinary user
// cannot set some of them, and a run that tried would find a difference
// again on every run.
inline constexpr uint32_t kModeBits = 0777;
inline constexpr uint16_t kModeKnown = 0x8000;

struct FindEntry {
  std::string name;         // the name as stored, without the folder
  uint64_t size = 0;        // full 64-bit size (folders: 0)
  uint32_t attributes = 0;  // kAttr* bits
  uint32_t stamp = 0;       // last-write time, packed DOS date/time, local
  // The last-write time within the two seconds of `stamp`, in nanoseconds
  // (0 to 1 999 999 999), as finely as the file system keeps it;
  // kNoFraction where the platform cannot tell (a stamp clamped to the
  // first or last one).
  uint32_t fraction = kNoFraction;
  // Files and folders on POSIX: kModeKnown | the permission bits (kModeBits;
  // a link to a file: its target's). 0 where the platform has no modes
  // (Windows) and for other entries.
  uint16_t mode = 0;
};

// What the file system of a folder tells apart and can hold.
struct FolderNameRules {
  // Two names that differ only in letter case are two entries there.
  bool tells_case_apart = false;
  // Names Windows cannot hold can be made there (POSIX: they travel in the
  // engine's paths in their mapped form, platform/posix/host_names.h).
  bool holds_any_name = false;
};

// The local calendar time, as GetLocalTime reports it.
struct LocalTime {
  int year = 0;     // e.g. 2026
  int month = 0;    // 1-12
  int day = 0;      // 1-31
  int hour = 0;     // 0-23
  int minute = 0;   // 0-59
  int second = 0;   // 0-59
  int weekday = 0;  // 0 = Sunday
};

// The attribute-mask rule of every enumeration: an entry carrying none of
// hidden, system and directory is always yielded; one carrying any of them
// only when the mask shares at least one of the bits it carries.
inline bool PassesAttributeMask(uint32_t attributes, uint32_t mask) {
  const uint32_t special = attributes & (kAttrHidden | kAttrSystem | kAttrDirectory);
  return special == 0 || (special & mask) != 0;
}

class Platform {
 public:
  virtual ~Platform() = default;

  // --- Directory enumeration (FindFirstFileA / FindNextFileA) ---

  // Enumerates `pattern`: a folder path followed by one name that may hold the
  // DOS wildcards '*' and '?' (the argument of FindFirstFileA). Matching is
  // case-insensitive with the DOS rules ("*.*" every name, "*." names without
  // a dot, '?' may match nothing before a dot or at the end). "." and ".."
  // come back in folders other than a drive root. Entries that pass the
  // attribute-mask rule are appended to *entries in file-system order.
  // Names the Windows namespace cannot hold are never yielded; their native
  // paths are appended to *unusable when it is not null.
  // Returns 0 when the pattern matched at least one name (even if the mask
  // then filtered every one), 2 when the folder exists but nothing matches,
  // 3 when the folder (or its drive) is missing, another code otherwise.
  // After a failure in the middle of a folder, *entries keeps what was
  // appended before it (the code still tells that the listing is cut).
  virtual uint32_t FindEntries(const std::string& pattern, uint32_t mask,
                               std::vector<FindEntry>* entries,
                               std::vector<std::string>* unusable) = 0;

  // --- Files and folders ---

  // REQUIRES: `path` names a file or folder without a trailing backslash,
  // or is a drive root ("C:\"). 2 or 3 when it is missing.
  virtual uint32_t GetAttributes(const std::string& path, uint32_t* attributes) = 0;
  // Only kAttrReadOnly, kAttrHidden, kAttrSystem and kAttrArchive are honoured
  // on Windows; on POSIX only kAttrReadOnly (hidden is a leading dot, which
  // no attribute changes). 0 makes a file writable again. 2 or 3 when missing.
  virtual uint32_t SetAttributes(const std::string& path, uint32_t attributes) = 0;

  // --- Permission bits (POSIX modes) ---
  //
  // Where the system has them, a file's or folder's mode travels with it:
  // FindEntry::mode lists it, CopyOver keeps it, and these calls read and
  // set it. The Win32 back end has none: each call there answers 50
  // (ERROR_NOT_SUPPORTED) and changes nothing, and the read-only attribute
  // stays its only permission (SetAttributes). On POSIX the read-only
  // attribute is the owner's write bit, so a mode of 444 is read-only.

  struct ModeInfo {
    uint32_t mode = 0;     // the permission bits (kModeBits)
    int64_t changed = 0;   // when the entry itself last changed (a mode change
                           // moves it), nanoseconds since 1970
  };
  // The mode of the file or folder `path` (through a link: its target's).
  // 2 or 3 when missing.
  virtual uint32_t GetModeInfo(const std::string& path, ModeInfo* info) {
    (void)path;
    (void)info;
    return kErrNotSupported;
  }
  // Sets the permission bits of the file or folder `path` to `mode` &
  // kModeBits. A link is never changed, nor what it points to: 5. 2 or 3
  // when missing. A read-only file's mode can be set (it is no write of
  // its content).
  virtual uint32_t SetMode(const std::string& path, uint32_t mode) {
    (void)path;
    (void)mode;
    return kErrNotSupported;
  }
  // Gives `to` the permission bits of `from` with the bits `added` set
  // besides (a folder the run still fills keeps its owner's rwx until it is
  // full); a run as root (POSIX: effective user 0) also gives it the owner
  // and group of `from`, an ordinary user's run keeps its own. *from_mode,
  // when not null, receives the bits of `from`. `from` is read through a
  // link; `to` never is (a link: 5). 2 or 3 when either is missing.
  virtual uint32_t CopyMode(const std::string& from, const std::string& to, uint32_t added,
                            uint32_t* from_mode) {
    (void)from;
    (void)to;
    (void)added;
    (void)from_mode;
    return kErrNotSupported;
  }

  // CopyFileA(from, to, FALSE): copies content, last-write time and the
  // read-only bit (POSIX: the permission bits, and as root the owner and
  // group), replacing an existing target. A source that is a
  // symbolic link described as itself (kAttrSymbolicLink, POSIX) is copied
  // as a link: the same target text, the link's own last-write time, made
  // under a temporary name and renamed over the target; nothing is read
  // through it. A target that is a link is replaced, never written through
  // (POSIX: whatever it leads to). The copy is crash-safe: it is
  // written under a temporary name in the target folder and then renamed, so
  // the target is always either as it was or complete.
  // Errors: 2 source missing; 3 target folder missing; 5 source a folder,
  // target a folder, read-only or not writable (on Windows also a hidden or
  // system target, which CopyFileA refuses to replace; on POSIX hidden is
  // only a leading dot, and such a target is replaced); 32 source and target
  // are one file; 112 disk full (the target is then as it was); 1235 when a
  // second stop request came during the copy (CopyStopRequested): the
  // target is as it was and no temporary file stays behind.
  virtual uint32_t CopyOver(const std::string& from, const std::string& to) = 0;
  // --- Copies put in place together ---
  //
  // Most of a small file's copy is the wait for its content to reach the
  // disk, and many files reach it together in about the time one does.
  // StageCopy does all that CopyOver does except that wait and putting the
  // target in place; CompleteStagedCopies makes the staged copies durable
  // together and then puts them in place one after another, in the order
  // staged. Until then each target is as it was.

  struct StageResult {
    uint32_t error = kErrOk;  // CopyOver's codes
    bool staged = false;
  };
  // Stages CopyOver(from, to). Not staged: either the copy failed and
  // changed nothing, or this platform does not stage copies and has just
  // made the whole copy (the default: CopyOver, whose code it returns; such
  // a platform never holds staged copies).
  virtual StageResult StageCopy(const std::string& from, const std::string& to) {
    return StageResult{CopyOver(from, to), false};
  }
  // Puts the staged copies in place, in the order staged, each one only
  // once its content is durable. Returns how many are now in place; when
  // fewer than were staged, *failure holds the code of the next one, which
  // failed (its target as it was), and every later one was dropped (its
  // target as it was, nothing of it left behind). Nothing is staged
  // afterwards.
  virtual size_t CompleteStagedCopies(uint32_t* failure) {
    *failure = kErrOk;
    return 0;
  }
  // Drops every staged copy: targets as they were, nothing left behind.
  virtual void DropStagedCopies() {}

  // The target text of the symbolic link `path` (kAttrSymbolicLink), as
  // stored; the link is not followed. 2 or 3 missing, 87 when `path` is no
  // such link. A platform that never describes links as themselves
  // (Windows) answers 50.
  virtual uint32_t ReadLink(const std::string& path, std::string* target) {
    (void)path;
    (void)target;
    return 50;  // ERROR_NOT_SUPPORTED
  }

  // --- Files shared between folders (hard links) ---

  // What a file must be for LinkOver to give it another name: what a copy
  // of the source would make of the target.
  struct LinkedFile {
    uint64_t size = 0;
    uint32_t stamp = 0;       // packed DOS last-write time, local
    uint32_t attributes = 0;  // only read-only, hidden and system count
    // Where files have modes (POSIX): the permission bits (kModeBits) the
    // existing file must have, as a link carries its file's mode; 0: any.
    uint32_t mode = 0;
  };
  // Makes `to` another name of the existing file `existing` (POSIX linkat,
  // Windows CreateHardLinkA) when `existing` is a regular file (no link, no
  // folder, no device, not read-only: replacing or erasing one name of a
  // read-only file would need the bit cleared, which all its names share)
  // with the size, stamp, attributes and mode of `expected`,
  // on the volume of `to`. An existing target is replaced as CopyOver
  // replaces it: the link is made under a temporary name in the target
  // folder and renamed over it, so the target is either as it was or the
  // link, and is never written into; a missing target is made under its
  // own name at once (a name appears whole or not at all; POSIX). `existing`
  // itself is never changed.
  // Errors (the target then as it was, nothing left behind): 2/3
  // `existing` missing or the target folder missing; 13 `existing` is not
  // as described; 5 `existing` is no regular file or read-only, or the
  // target is a folder or read-only (on Windows also hidden, as CopyOver);
  // a target that already is `existing` is left as it is (0); 17 another volume; 50 the volume has no links (the
  // default); 1142 `existing` has as many names as its volume allows.
  virtual uint32_t LinkOver(const std::string& existing, const std::string& to,
                            const LinkedFile& expected) {
    (void)existing;
    (void)to;
    (void)expected;
    return kErrNotSupported;
  }

  // DeleteFileA: 2 missing, 5 read-only or a folder. A symbolic link is
  // removed itself (POSIX: whatever it leads to), never what it leads to.
  virtual uint32_t RemoveFile(const std::string& path) = 0;
  // MoveFileA: renames a file or folder; 183 when `to` exists (a name moved
  // onto itself succeeds), 2/3 when `from` is missing.
  virtual uint32_t MoveEntry(const std::string& from, const std::string& to) = 0;
  // RemoveDirectoryA: 145 not empty, 2/3 missing.
  virtual uint32_t RemoveFolder(const std::string& path) = 0;
  // CreateDirectoryA (parent must exist): 183 exists, 3 parent missing.
  virtual uint32_t MakeFolder(const std::string& path) = 0;
  // Last-write time of a file or folder as a packed DOS stamp (local time;
  // times outside 1980..2107 give the first or last stamp). 2 or 3 missing.
  virtual uint32_t GetLastWriteStamp(const std::string& path, uint32_t* stamp) = 0;
  // Sets the last-write time from a packed DOS stamp (local time). 2 or 3
  // when missing, 87 for a stamp that names no valid date and time.
  virtual uint32_t SetLastWriteStamp(const std::string& path, uint32_t stamp) = 0;

  // Opens a file for writing in binary mode: appended to when `append` is
  // set, else created or emptied. The caller closes it with fclose. Used by
  // the log writer, which writes its own CR LF line ends. *file is null after
  // any failure: 3 folder missing, 5 a folder or read-only file.
  virtual uint32_t OpenForWrite(const std::string& path, bool append, std::FILE** file) = 0;
  // Opens an existing file for reading in binary mode; the caller closes it
  // with fclose. *file is null after any failure: 2 or 3 missing, 5 a folder
  // or no access. A platform that cannot read files answers 50.
  virtual uint32_t OpenForRead(const std::string& path, std::FILE** file) {
    *file = nullptr;
    (void)path;
    return 50;  // ERROR_NOT_SUPPORTED
  }

  // --- The reserved name space ---

  // Removes the temporary files in `folder` (drive form, with its trailing
  // backslash) that no live writer holds; adds how many to *removed. A file
  // whose file system cannot tell (no locks) is removed only after an hour
  // without change. Files another process holds are never touched. 3 when
  // the folder is missing; the removal of single files fails silently.
  virtual uint32_t RemoveDeadTemporaries(const std::string& folder, uint32_t* removed) = 0;

  // Takes the run lock of `folder` (drive form, with its trailing
  // backslash): creates or opens the lock file kRunLockName there and holds
  // it exclusively in *lock. 32 when another process (or another lock of
  // this one) holds it; 3 when the folder is missing; 5 when the lock file
  // cannot be made (*lock stays empty after any failure). Where the file
  // system has no locks, the lock is taken without excluding anyone.
  virtual uint32_t LockFolder(const std::string& folder, std::unique_ptr<FolderLock>* lock) = 0;

  // The rules of the file system that holds `folder` (drive form, an
  // existing folder, with or without its trailing backslash); 2 or 3 when
  // it is missing. The default is Windows': names differ by more than case,
  // and only Windows names can be made.
  virtual uint32_t GetFolderNameRules(const std::string& folder, FolderNameRules* rules) {
    (void)folder;
    *rules = FolderNameRules();
    return kErrOk;
  }

  // Names at and below each of `folders` (drive form, existing folders or
  // folders to be made, with their trailing backslash) are found only as
  // spelled: no other letter case of a missing name is taken for it. A run
  // whose folders tell case apart on both sides sets them (two files apart
  // only by case are two files there); an empty list, a new drive table and
  // the default turn it off. The folders' own names are still found in any
  // case. Win32 and the default ignore it (Windows folders ignore case).
  virtual void SetExactNameFolders(const std::vector<std::string>& folders) { (void)folders; }

  // --- System ---

  // Free bytes for the caller on the drive of `root` ("C:\"), 64-bit.
  // 3 (or 15 on Windows) when the drive does not exist.
  virtual uint32_t DiskFreeSpace(const std::string& root, uint64_t* free_bytes) = 0;
  // GetLocalTime.
  virtual LocalTime Now() = 0;
  // GetTickCount64: milliseconds from a fixed moment, never going back (the
  // rate of a copy; not the calendar).
  virtual uint64_t TickMilliseconds() = 0;
  // Minutes local time is ahead of UTC now (negative west of Greenwich):
  // the offset FileTimeToLocalFileTime applies, which every stamp carries.
  virtual int32_t LocalOffsetMinutes() { return 0; }

  // GetPrivateProfileIntA: missing key -> `fallback`; the number is read
  // like the real call ("-1" -> 0xFFFFFFFF, "42A9" -> 42, "B4" -> 0).
  virtual uint32_t ProfileInt(const std::string& file, const std::string& section,
                              const std::string& key, uint32_t fallback) = 0;
  // GetPrivateProfileStringA with a default.
  virtual std::string ProfileString(const std::string& file, const std::string& section,
                                    const std::string& key, const std::string& fallback) = 0;
  // WritePrivateProfileStringA; false when the file cannot be written.
  virtual bool WriteProfileString(const std::string& file, const std::string& section,
                                  const std::string& key, const std::string& value) = 0;

  // The pump step: takes at most one pending message (TakeOneMessage), then
  // runs the installed pump step hook (SetPumpStepHook), whichever platform
  // is installed. Returns true when a message was taken.
  bool PumpStep();
  // The back end's part of the pump step: take at most one pending message
  // (POSIX: one pending key) and dispatch it. True when one was taken.
  virtual bool TakeOneMessage() = 0;
  // MessageBeep(type).
  virtual void Beep(uint32_t type) = 0;
  // ShellExecuteA(..., "open", target, ...); false on failure.
  virtual bool ShellOpen(const std::string& target) = 0;
  // WinHelpA(..., file, HELP_CONTEXT, context); false on failure.
  virtual bool ShowHelp(const std::string& file, uint32_t context) = 0;

  // --- Text and numbers ---

  // lstrcmpA: 0 when equal (letter case counts); otherwise negative or positive.
  virtual int CompareExact(const std::string& a, const std::string& b) = 0;
  // CharUpperA of a whole text.
  virtual std::string UpperCase(const std::string& text) = 0;
  // MulDiv: (a * b) / c in 64 bits, rounded half away from zero; -1 when c is
  // 0 or the result does not fit in 32 bits.
  virtual int32_t MulDiv(int32_t a, int32_t b, int32_t c) = 0;

  // Reloads the drive table (POSIX: TOLVEX_DRIVES); nothing on Windows.
  virtual void ReloadDrives() {}
};

// The platform the engine uses now: the back end's own instance unless a test
// or the front end installed another one.
Platform& Sys();
// Installs `platform` (not owned) as the current one; nullptr restores the
// back end's own instance.
void SetSys(Platform* platform);
// The back end's own instance.
Platform& DefaultPlatform();

// What runs after every pump step, on whatever platform is installed: the
// update run turns stop requests into its Aborted flag there
// (engine/abort_on_stop_request.h), exactly where a Cancel button's click would set it.
class PumpStepHook {
 public:
  virtual void AfterPumpStep() = 0;

 protected:
  ~PumpStepHook() = default;
};
// Installs `hook` (not owned; nullptr: none) and returns the one it replaces.
PumpStepHook* SetPumpStepHook(PumpStepHook* hook);

// Forwards every call to a target, copy staging included; tests derive from
// it and override only what they need (a fixed clock, an injected fault).
// A wrapper that must see every copy overrides StageCopy as well as
// CopyOver: over a back end that stages, the copy pass calls StageCopy.
class PlatformWrapper : public Platform {
 public:
  explicit PlatformWrapper(Platform* target) : target_(target) {}
  Platform* target() const { return target_; }

  uint32_t FindEntries(const std::string& pattern, uint32_t mask, std::vector<FindEntry>* entries,
                       std::vector<std::string>* unusable) override {
    return target_->FindEntries(pattern, mask, entries, unusable);
  }
  uint32_t GetAttributes(const std::string& path, uint32_t* attributes) override {
    return target_->GetAttributes(path, attributes);
  }
  uint32_t SetAttributes(const std::string& path, uint32_t attributes) override {
    return target_->SetAttributes(path, attributes);
  }
  uint32_t GetModeInfo(const std::string& path, ModeInfo* info) override {
    return target_->GetModeInfo(path, info);
  }
  uint32_t SetMode(const std::string& path, uint32_t mode) override {
    return target_->SetMode(path, mode);
  }
  uint32_t CopyMode(const std::string& from, const std::string& to, uint32_t added,
                    uint32_t* from_mode) override {
    return target_->CopyMode(from, to, added, from_mode);
  }
  uint32_t CopyOver(const std::string& from, const std::string& to) override {
    return target_->CopyOver(from, to);
  }
  StageResult StageCopy(const std::string& from, const std::string& to) override {
    return target_->StageCopy(from, to);
  }
  size_t CompleteStagedCopies(uint32_t* failure) override {
    return target_->CompleteStagedCopies(failure);
  }
  void DropStagedCopies() override { target_->DropStagedCopies(); }
  uint32_t ReadLink(const std::string& path, std::string* target) override {
    return target_->ReadLink(path, target);
  }
  uint32_t LinkOver(const std::string& existing, const std::string& to,
                    const LinkedFile& expected) override {
    return target_->LinkOver(existing, to, expected);
  }
  uint32_t RemoveFile(const std::string& path) override { return target_->RemoveFile(path); }
  uint32_t MoveEntry(const std::string& from, const std::string& to) override {
    return target_->MoveEntry(from, to);
  }
  uint32_t RemoveFolder(const std::string& path) override { return target_->RemoveFolder(path); }
  uint32_t MakeFolder(const std::string& path) override { return target_->MakeFolder(path); }
  uint32_t GetLastWriteStamp(const std::string& path, uint32_t* stamp) override {
    return target_->GetLastWriteStamp(path, stamp);
  }
  uint32_t SetLastWriteStamp(const std::string& path, uint32_t stamp) override {
    return target_->SetLastWriteStamp(path, stamp);
  }
  uint32_t OpenForWrite(const std::string& path, bool append, std::FILE** file) override {
    return target_->OpenForWrite(path, append, file);
  }
  uint32_t OpenForRead(const std::string& path, std::FILE** file) override {
    return target_->OpenForRead(path, file);
  }
  uint32_t RemoveDeadTemporaries(const std::string& folder, uint32_t* removed) override {
    return target_->RemoveDeadTemporaries(folder, removed);
  }
  uint32_t LockFolder(const std::string& folder, std::unique_ptr<FolderLock>* lock) override {
    return target_->LockFolder(folder, lock);
  }
  uint32_t GetFolderNameRules(const std::string& folder, FolderNameRules* rules) override {
    return target_->GetFolderNameRules(folder, rules);
  }
  void SetExactNameFolders(const std::vector<std::string>& folders) override {
    target_->SetExactNameFolders(folders);
  }
  uint32_t DiskFreeSpace(const std::string& root, uint64_t* free_bytes) override {
    return target_->DiskFreeSpace(root, free_bytes);
  }
  LocalTime Now() override { return target_->Now(); }
  uint64_t TickMilliseconds() override { return target_->TickMilliseconds(); }
  int32_t LocalOffsetMinutes() override { return target_->LocalOffsetMinutes(); }
  uint32_t ProfileInt(const std::string& file, const std::string& section, const std::string& key,
                      uint32_t fallback) override {
    return target_->ProfileInt(file, section, key, fallback);
  }
  std::string ProfileString(const std::string& file, const std::string& section,
                            const std::string& key, const std::string& fallback) override {
    return target_->ProfileString(file, section, key, fallback);
  }
  bool WriteProfileString(const std::string& file, const std::string& section,
                          const std::string& key, const std::string& value) override {
    return target_->WriteProfileString(file, section, key, value);
  }
  bool TakeOneMessage() override { return target_->TakeOneMessage(); }
  void Beep(uint32_t type) override { target_->Beep(type); }
  bool ShellOpen(const std::string& target) override { return target_->ShellOpen(target); }
  bool ShowHelp(const std::string& file, uint32_t context) override {
    return target_->ShowHelp(file, context);
  }
  int CompareExact(const std::string& a, const std::string& b) override {
    return target_->CompareExact(a, b);
  }
  std::string UpperCase(const std::string& text) override { return target_->UpperCase(text); }
  int32_t MulDiv(int32_t a, int32_t b, int32_t c) override { return target_->MulDiv(a, b, c); }
  void ReloadDrives() override { target_->ReloadDrives(); }

 private:
  Platform* target_;
};

}  // namespace tolvex
