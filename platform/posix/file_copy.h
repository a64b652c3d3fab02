// The crash-safe copy of the POSIX back end.
//
// A copy is written under a temporary name (platform/reserved_names.h),
// held under a lock while it is written (temporary_files.h), in the
// target's folder, synced, given the source's last-write time and
// permission bits (as root also its owner and group), and renamed over the target. rename() replaces the name
// atomically, so after a crash or a full disk the target is either the old
// file or the complete new one. The folder itself is not synced after the
// rename: if the rename is lost in a crash the old target is still there,
// which is one of the two allowed outcomes.
//
// Staged copies (StageCopyInto) are the same copy in two steps: written
// and held first, made durable and renamed later, many together, so that
// one sync of their file system stands for one per copy.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>

namespace tolvex::posix {

// True when the process runs as root (effective user 0): only then do
// copies and the modes set (posix_modes.cpp) keep the owner and group of
// what they copy. An ordinary user cannot give a file away, and a copy by
// that user belongs to that user.
bool RunsAsRoot();

// Copies the open file `source` (`source_stat` is its fstat) into the
// folder open as `folder_fd` under `name`, replacing an existing file of
// that name.
// Fast paths first: a reflink (FICLONE), then copy_file_range, then read and
// write; holes of a sparse source stay holes in the copy. Returns 0 or the Win32 code of the failure (112 for a full disk);
// on failure the target is as it was and no temporary file stays behind.
uint32_t ReplaceWithCopy(int source, const struct stat& source_stat, int folder_fd,
                         const std::string& name);

// Makes the symbolic link `target_text` in the folder open as `folder_fd`
// under `name`, with the last-write time `written`, replacing an existing
// entry of that name that is no folder (a file or a link, never what a link
// leads to): made under a temporary name, its time set, then renamed over
// the target. 0 or the Win32 code of the failure, after which the target is
// as it was and no temporary link stays behind.
uint32_t ReplaceWithLink(const std::string& target_text, const struct timespec& written,
                         int folder_fd, const std::string& name);

// A copy written under its held temporary name in its target's folder and
// not yet put in place: StageCopyInto, then PutInPlace or Discard. Until
// then the target is as it was.
struct StagedCopy {
  int folder_fd = -1;  // the target's folder (not owned)
  int fd = -1;         // the temporary file, held under its lock (owned)
  std::string temp;    // its temporary name
  std::string name;    // the target's name
};

// Does all ReplaceWithCopy does except the sync and the rename. On failure
// (the same codes) nothing is left behind and *staged is untouched.
uint32_t StageCopyInto(int source, const struct stat& source_stat, int folder_fd,
                       const std::string& name, StagedCopy* staged);
// Makes a staged copy's content durable: 0 or an errno value.
int MakeDurable(const StagedCopy& staged);
// Writes out everything of the file system that holds `staged` (syncfs):
// the copies staged there since `staged` was made are then durable when it
// returns true. False when a write-back failed there since, which the
// staged copies' own MakeDurable then tell apart, and always where syncfs
// reports no failures (SyncfsReportsFailures).
bool SyncFileSystemOf(const StagedCopy& staged);
// Renames a staged copy over its target, or removes it after `error` (an
// errno value from MakeDurable); lets go of its hold either way. 0 or the
// Win32 code of the failure, after which the target is as it was.
uint32_t PutInPlace(StagedCopy* staged, int error);
// Removes a staged copy and lets go of it: the target stays as it was.
void Discard(StagedCopy* staged);

// Writes `content` to native `folder`/`name` the same crash-safe way (a
// temporary file, synced, then renamed), with permission bits `mode`.
uint32_t ReplaceWithText(const std::string& folder, const std::string& name,
                         const std::string& content, mode_t mode);

// --- For tests only ---

// Where an injected copy fault strikes.
enum class CopyFaultPoint {
  kDuringData,    // after `after_bytes` bytes of content were written
  kBeforeRename,  // after the temporary file is complete and closed
};
struct CopyFault {
  CopyFaultPoint point = CopyFaultPoint::kDuringData;
  uint64_t after_bytes = 0;
  int error = 0;  // an errno value
  // Times the point is passed before the fault strikes there: 0 strikes the
  // next copy, staged or not, that reaches it.
  uint64_t passes = 0;
};
// Makes a copy (ReplaceWithCopy, StageCopyInto, PutInPlace) fail once at
// `fault`. With a data fault the fast paths are skipped so that the fault
// strikes in the middle of the data.
void InjectCopyFaultForTesting(const CopyFault& fault);
// True while the injected fault has not struck yet.
bool CopyFaultArmedForTesting();
// Disarms a fault that has not struck.
void ClearCopyFaultForTesting();

}  // namespace tolvex::posix
