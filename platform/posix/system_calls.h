// The system calls of the back end that came late to Linux or that a file
// system may refuse, one function each, so that every caller has its
// fallback and tests can take them away.
//
// A kernel before 4.5 (copy_file_range), 3.15 (renameat2) or 3.17
// (getrandom), a file system without reflinks or hole reporting, and a user-
// mode emulator that does not pass a call on all answer with ENOSYS,
// EOPNOTSUPP, EINVAL or EXDEV. The callers fall back to the plain calls
// (read and write, rename after a check, a time-and-process seed) and give
// the same result, only slower or, for a rename, without the atomic check.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace tolvex::posix {

// Shares the blocks of `from` with `to` (a reflink, ioctl FICLONE).
// 0 or an errno value.
int CloneFileBlocks(int to, int from);

// copy_file_range at explicit offsets, which it advances. The count copied
// (0 at the end of the source), or -1 with errno set.
ssize_t CopyFileRange(int from, off_t* from_offset, int to, off_t* to_offset, size_t length);

// lseek with SEEK_DATA / SEEK_HOLE: the start of the next data at or after
// `offset`, or of the next hole (the end of the file counts as one). -1 with
// errno set: ENXIO past the last data; another value when the file system
// cannot tell.
off_t SeekData(int fd, off_t offset);
off_t SeekHole(int fd, off_t offset);

// renameat2 with RENAME_NOREPLACE, names relative to open folders: 0, or
// an errno value (EEXIST when `to` exists).
int RenameNoReplace(int from_folder, const char* from, int to_folder, const char* to);

// True when syncfs reports a write-back that failed on its file system
// since the descriptor it is given was opened: Linux 5.8 and later. Before,
// it returned 0 whatever happened, and only fsync tells.
bool SyncfsReportsFailures();

// getrandom without waiting for entropy: true when `length` bytes came.
bool RandomBytes(void* buffer, size_t length);

// --- For tests only ---
// While set, every function above answers ENOSYS without asking the system,
// as an old kernel or the emulator does, and listings look their entries up
// without io_uring (entry_lookups.h).
void SetNewerCallsMissingForTesting(bool missing);
bool NewerCallsMissingForTesting();

}  // namespace tolvex::posix
