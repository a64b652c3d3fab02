// Copy, delete, move, folders and OpenForWrite, with the checks that give
// the Win32 codes POSIX calls would not (a read-only file refuses to be
// deleted or replaced; a move never replaces an existing name).
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/file_copy.h"
#include "platform/posix/posix_platform.h"
#include "platform/posix/system_calls.h"
#include "platform/posix/win32_error.h"

namespace tolvex::posix {

namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

bool IsReadOnlyFile(const struct stat& st) { return !S_ISDIR(st.st_mode) && !(st.st_mode & S_IWUSR); }

// Checks a copy's existing target: 5 for a folder or a read-only file, 32
// when it is the source itself (another name or spelling of it).
uint32_t CheckCopyTarget(const NativeEntry& target, const struct stat& source) {
  if (target.is_root) return kErrAccessDenied;
  if (!target.exists) return kErrOk;
  struct stat st;
  if (stat(target.path.c_str(), &st) != 0) return kErrOk;  // a dangling link is replaced
  if (S_ISDIR(st.st_mode) || IsReadOnlyFile(st)) return kErrAccessDenied;
  if (st.st_dev == source.st_dev && st.st_ino == source.st_ino) return kErrSharingViolation;
  return kErrOk;
}

// rename() that never replaces an existing `to` (MoveFileA's rule). Where
// the kernel or the file system cannot say so atomically, the caller's
// check stands.
int MoveWithoutReplacing(const std::string& from, const std::string& to) {
  const int error = RenameNoReplace(from.c_str(), to.c_str());
  if (error != EINVAL && error != ENOSYS) return error;
  return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

}  // namespace

uint32_t PosixPlatform::CopyOver(const std::string& from, const std::string& to) {
  NativeEntry source;
  if (const uint32_t error = Resolve(from, true, &source)) return error;
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a
  // writer for ever; on a regular file it changes nothing.
  const FileDescriptor fd(open(source.path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) return Win32FromErrno(errno);
  struct stat source_stat;
  if (fstat(fd.get(), &source_stat) != 0) return Win32FromErrno(errno);
  if (!S_ISREG(source_stat.st_mode)) return kErrAccessDenied;
  NativeEntry target;
  if (const uint32_t error = Resolve(to, false, &target)) return error;
  if (const uint32_t error = CheckCopyTarget(target, source_stat)) return error;
  SweepOnce(target.folder);
  const FolderChange change = index_.BeginChange(target.folder);
  const uint32_t error = ReplaceWithCopy(fd.get(), source_stat, target.folder, target.name);
  index_.EndChange(change, error == kErrOk && !target.exists ? target.name : std::string(),
                   std::string());
  return error;
}

uint32_t PosixPlatform::RemoveFile(const std::string& path) {
  NativeEntry entry;
  if (const uint32_t error = Resolve(path, true, &entry)) return error;
  if (entry.is_root) return kErrAccessDenied;
  struct stat st;
  if (lstat(entry.path.c_str(), &st) != 0) return Win32FromErrno(errno);
  // A link is judged by what it points to; a dangling one is just removed.
  if (S_ISLNK(st.st_mode) && stat(entry.path.c_str(), &st) != 0) st.st_mode = S_IFLNK | 0777;
  if (S_ISDIR(st.st_mode) || IsReadOnlyFile(st)) return kErrAccessDenied;
  const FolderChange change = index_.BeginChange(entry.folder);
  const int error = unlink(entry.path.c_str()) == 0 ? 0 : errno;
  index_.EndChange(change, std::string(), error == 0 ? entry.name : std::string());
  return error == 0 ? kErrOk : Win32FromErrno(error);
}

uint32_t PosixPlatform::MoveEntry(const std::string& from, const std::string& to) {
  NativeEntry source;
  if (const uint32_t error = Resolve(from, true, &source)) return error;
  NativeEntry target;
  if (const uint32_t error = Resolve(to, false, &target)) return error;
  if (source.is_root) return kErrAccessDenied;
  std::string new_name = target.name;
  if (target.exists) {
    if (target.path != source.path) return kErrAlreadyExists;
    // The entry itself under another spelling: a change of letter case, or
    // nothing at all.
    if (target.requested_name == source.name) return kErrOk;
    new_name = target.requested_name;
  }
  const bool same_folder = source.folder == target.folder;
  const FolderChange from_change = index_.BeginChange(source.folder);
  const FolderChange to_change = same_folder ? from_change : index_.BeginChange(target.folder);
  const int error = MoveWithoutReplacing(source.path, JoinNative(target.folder, new_name));
  const std::string removed = error == 0 ? source.name : std::string();
  const std::string added = error == 0 ? new_name : std::string();
  if (same_folder) {
    index_.EndChange(from_change, added, removed);
  } else {
    index_.EndChange(from_change, std::string(), removed);
    index_.EndChange(to_change, added, std::string());
  }
  if (error == 0) index_.Forget(source.path);
  return error == 0 ? kErrOk : Win32FromErrno(error, ErrnoSite::kFolderOrMove);
}

uint32_t PosixPlatform::RemoveFolder(const std::string& path) {
  NativeEntry entry;
  if (const uint32_t error = Resolve(path, true, &entry)) return error;
  if (entry.is_root) return kErrAccessDenied;
  struct stat st;
  if (lstat(entry.path.c_str(), &st) != 0) return Win32FromErrno(errno);
  if (!S_ISDIR(st.st_mode)) return kErrNotAFolder;
  const FolderChange change = index_.BeginChange(entry.folder);
  int error = rmdir(entry.path.c_str()) == 0 ? 0 : errno;
  if (error == ENOTEMPTY || error == EEXIST) {
    // Stale temporary files are invisible to the scan, which therefore
    // takes the folder for empty: clear them and try once more.
    if (!RemoveStaleTemporaries(entry.path, stale_age_ms_).empty()) {
      error = rmdir(entry.path.c_str()) == 0 ? 0 : errno;
    }
  }
  index_.EndChange(change, std::string(), error == 0 ? entry.name : std::string());
  if (error != 0) return error == EEXIST ? kErrDirNotEmpty : Win32FromErrno(error);
  index_.Forget(entry.path);
  return kErrOk;
}

uint32_t PosixPlatform::MakeFolder(const std::string& path) {
  NativeEntry entry;
  if (const uint32_t error = Resolve(path, false, &entry)) return error;
  if (entry.exists) return kErrAlreadyExists;
  const FolderChange change = index_.BeginChange(entry.folder);
  const int error = mkdir(entry.path.c_str(), 0777) == 0 ? 0 : errno;
  index_.EndChange(change, error == 0 ? entry.name : std::string(), std::string());
  return error == 0 ? kErrOk : Win32FromErrno(error, ErrnoSite::kFolderOrMove);
}

uint32_t PosixPlatform::OpenForWrite(const std::string& path, bool append, std::FILE** file) {
  *file = nullptr;
  NativeEntry entry;
  if (const uint32_t error = Resolve(path, false, &entry)) return error;
  if (entry.is_root) return kErrAccessDenied;
  struct stat st;
  if (entry.exists && stat(entry.path.c_str(), &st) == 0 &&
      (S_ISDIR(st.st_mode) || IsReadOnlyFile(st))) {
    return kErrAccessDenied;
  }
  const FolderChange change = index_.BeginChange(entry.folder);
  *file = std::fopen(entry.path.c_str(), append ? "abe" : "wbe");
  const int error = *file ? 0 : errno;
  index_.EndChange(change, *file && !entry.exists ? entry.name : std::string(), std::string());
  return error == 0 ? kErrOk : Win32FromErrno(error);
}

void PosixPlatform::SweepOnce(const std::string& folder) {
  // Bounded: a huge run forgets and may sweep a folder twice, which is harmless.
  if (swept_folders_.size() > 100000) swept_folders_.clear();
  if (!swept_folders_.insert(folder).second) return;
  if (!RemoveStaleTemporaries(folder, stale_age_ms_).empty()) index_.Forget(folder);
}

}  // namespace tolvex::posix
