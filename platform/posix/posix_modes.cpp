// Permission bits: GetModeInfo, SetMode, CopyMode. A mode is set on the
// entry itself, relative to the open folder that holds it (so inside its
// drive), and never through a link.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/file_copy.h"
#include "platform/posix/file_descriptor.h"
#include "platform/posix/posix_platform.h"
#include "platform/posix/win32_error.h"

namespace tolvex::posix {

namespace {

int64_t Nanoseconds(const struct timespec& time) {
  return static_cast<int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

// stat() of the resolved `entry`: the resolution's own lstat of the path
// where it took one and found no link there (then both looks are one).
int StatOf(const NativeEntry& entry, struct stat* st) {
  if (entry.found_as_spelled && !S_ISLNK(entry.found.st_mode)) {
    *st = entry.found;
    return 0;
  }
  return stat(entry.path.c_str(), st);
}

}  // namespace

uint32_t PosixPlatform::GetModeInfo(const std::string& path, ModeInfo* info) {
  NativeEntry entry;
  if (const uint32_t error = Resolve(path, true, &entry)) return error;
  struct stat st;
  if (StatOf(entry, &st) != 0) return Win32FromErrno(errno);
  info->mode = st.st_mode & kModeBits;
  info->changed = Nanoseconds(st.st_ctim);
  return kErrOk;
}

// The mode (and, for root, the owner) of the file or folder `to`, which must
// be no link; `owner` null keeps the owner.
uint32_t PosixPlatform::ChangeMode(const std::string& to, mode_t mode, const struct stat* owner) {
  NativeEntry entry;
  if (const uint32_t error = Resolve(to, true, &entry)) return error;
  if (entry.is_root) return kErrAccessDenied;
  uint32_t refused = kErrOk;
  const FileDescriptor folder(OpenHoldingFolder(entry, &refused));
  if (folder.get() < 0) return refused;
  const char* name = entry.name.c_str();
  struct stat st;
  if (fstatat(folder.get(), name, &st, AT_SYMLINK_NOFOLLOW) != 0) return Win32FromErrno(errno);
  // A link has no mode of its own, and what it points to may lie outside
  // the selection; a pipe or a device is nobody's backup.
  if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) return kErrAccessDenied;
  // The owner as a copy keeps it: where the file system keeps none (vfat)
  // the mode still counts.
  if (owner != nullptr && (st.st_uid != owner->st_uid || st.st_gid != owner->st_gid)) {
    [[maybe_unused]] const bool owner_kept =
        fchownat(folder.get(), name, owner->st_uid, owner->st_gid, AT_SYMLINK_NOFOLLOW) == 0;
  }
  if ((st.st_mode & 07777) == (mode & 07777)) return kErrOk;
  if (fchmodat(folder.get(), name, mode & 07777, 0) != 0) return Win32FromErrno(errno);
  return kErrOk;
}

uint32_t PosixPlatform::SetMode(const std::string& path, uint32_t mode) {
  return ChangeMode(path, static_cast<mode_t>(mode & kModeBits), nullptr);
}

uint32_t PosixPlatform::CopyMode(const std::string& from, const std::string& to, uint32_t added,
                                 uint32_t* from_mode) {
  NativeEntry source;
  if (const uint32_t error = Resolve(from, true, &source)) return error;
  struct stat st;
  if (StatOf(source, &st) != 0) return Win32FromErrno(errno);
  const mode_t mode = static_cast<mode_t>((st.st_mode | added) & kModeBits);
  // Keeping the owner needs privileges; an ordinary user's copies are that
  // user's, with the group the system gives them.
  const uint32_t error = ChangeMode(to, mode, RunsAsRoot() ? &st : nullptr);
  if (error == kErrOk && from_mode != nullptr) *from_mode = st.st_mode & kModeBits;
  return error;
}

}  // namespace tolvex::posix
