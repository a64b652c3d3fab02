// The copy's temporary files on POSIX: made under the reserved temporary
// name (platform/reserved_names.h), held under an flock for as long as they
// are written, and removed by anyone who finds one that nobody holds.
//
// Why flock: it belongs to the open file (not to the process, as fcntl
// locks do), so a second open of the same file, even by this process, sees
// the lock; and the kernel drops it when the last descriptor closes, which
// a killed process cannot prevent. A run that finds a temporary file it can
// lock therefore knows that its writer is gone.
//
// The race between creating a file and locking it is closed on both sides:
// the sweeper removes a file only while it holds the lock and only if the
// name still leads to the file it locked; the writer, once it holds the
// lock, checks that its file is still linked (a sweeper only ever unlinks
// a temporary file, never renames one), and starts over under a new name
// when a sweeper was quicker.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tolvex::posix {

// Creates a new temporary file (mode 0600) in the folder open as
// `folder_fd` and holds it under an exclusive flock. Returns the descriptor
// (close it only after the file was renamed or removed) and sets *name, or
// -1 with errno set. Where the file system has no locks the file is made
// all the same (its liveness then rests on its age). *held: the new file's
// stat (its owner and group as the file system gave them).
int CreateHeldTemporary(int folder_fd, std::string* name, struct stat* held);

// Makes a symbolic link to `target_text` under a new temporary name in the
// folder open as `folder_fd` and sets *name. Returns 0 or an errno value.
// A link cannot be held under a lock: its writer renames it within the same
// call, and a sweeper takes one whose last change is a minute old for the
// leftover of a writer that died.
int CreateTemporaryLink(int folder_fd, const std::string& target_text, std::string* name);

// A new temporary name of this process (not made yet): for an entry that
// is made in one step and renamed at once (a hard link), which needs no
// hold, since the sweep never touches this process's own names.
std::string NewTemporaryName();

// Removes the temporary files in the folder open as `folder_fd` that no
// live writer holds (and temporary links a minute old). Files of a file system without locks are removed only
// when their last change (ctime, which no one can set back) is older than
// `unlockable_age_ms`. This process's own temporary files are never
// touched. Returns the names removed.
std::vector<std::string> SweepDeadTemporaries(int folder_fd, int64_t unlockable_age_ms);

// The token of this process's temporary names.
uint64_t OwnTemporaryToken();

}  // namespace tolvex::posix
