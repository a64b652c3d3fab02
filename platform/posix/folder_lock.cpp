// The run lock on POSIX: an flock on the lock file kRunLockName in the
// folder. The kernel drops the flock when the holder dies, however it dies.
//
// The holder removes the file before it lets go, so that no lock file stays
// behind in the destination. A run that opened the file just before that
// and then gets the lock holds a file that no longer has the name; it sees
// that (the name leads to another file, or to none) and starts over, so
// that two runs never hold two different files of the same name.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/posix_platform.h"
#include "platform/posix/win32_error.h"
#include "platform/reserved_names.h"

namespace tolvex::posix {

namespace {

bool NameLeadsTo(int folder_fd, int fd) {
  struct stat held;
  struct stat named;
  return fstat(fd, &held) == 0 &&
         fstatat(folder_fd, kRunLockName, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

class PosixFolderLock final : public FolderLock {
 public:
  PosixFolderLock(int folder_fd, int fd) : folder_fd_(folder_fd), fd_(fd) {}
  ~PosixFolderLock() override {
    if (NameLeadsTo(folder_fd_, fd_)) unlinkat(folder_fd_, kRunLockName, 0);
    close(fd_);
    close(folder_fd_);
  }

 private:
  int folder_fd_;
  int fd_;
};

}  // namespace

uint32_t PosixPlatform::LockFolder(const std::string& folder, std::unique_ptr<FolderLock>* lock) {
  NativeEntry entry;
  if (const uint32_t error = Resolve(folder, true, &entry)) {
    return error == kErrFileNotFound ? kErrPathNotFound : error;
  }
  uint32_t refused = kErrOk;
  const int folder_fd = OpenFolderInDrive(entry.path, entry.letter, &refused);
  if (folder_fd < 0) return refused;
  index_.Forget(entry.path);
  for (int attempt = 0; attempt < 16; ++attempt) {
    // Opened for writing: an exclusive lock on a network file system is a
    // write lock, which needs it.
    const int fd = openat(folder_fd, kRunLockName, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
      const int error = errno;
      close(folder_fd);
      return Win32FromErrno(error, ErrnoSite::kFolder);
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      if (error == EWOULDBLOCK) {
        close(fd);
        close(folder_fd);
        return kErrSharingViolation;
      }
      // A file system without locks: held, but excluding no one.
    }
    if (NameLeadsTo(folder_fd, fd)) {
      *lock = std::make_unique<PosixFolderLock>(folder_fd, fd);
      return kErrOk;
    }
    close(fd);  // the holder removed it as we came: start over
  }
  close(folder_fd);
  return kErrSharingViolation;
}

}  // namespace tolvex::posix
