#include "platform/posix/system_calls.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <sys/random.h>
#include <sys/utsname.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/fs.h>
#endif

#include <cerrno>
#include <cstdio>

namespace tolvex::posix {

namespace {

bool newer_calls_missing = false;

int Missing() {
  errno = ENOSYS;
  return -1;
}

}  // namespace

int CloneFileBlocks(int to, int from) {
#ifdef FICLONE
  if (newer_calls_missing) return ENOSYS;
  return ioctl(to, FICLONE, from) == 0 ? 0 : errno;
#else
  (void)to, (void)from;
  return ENOSYS;
#endif
}

ssize_t CopyFileRange(int from, off_t* from_offset, int to, off_t* to_offset, size_t length) {
#ifdef __linux__
  if (newer_calls_missing) return Missing();
  return copy_file_range(from, from_offset, to, to_offset, length, 0);
#else
  (void)from, (void)from_offset, (void)to, (void)to_offset, (void)length;
  return Missing();
#endif
}

#if defined(SEEK_DATA) && defined(SEEK_HOLE)
static off_t SeekWith(int fd, off_t offset, int whence) {
  if (newer_calls_missing) return Missing();
  return lseek(fd, offset, whence);
}
off_t SeekData(int fd, off_t offset) { return SeekWith(fd, offset, SEEK_DATA); }
off_t SeekHole(int fd, off_t offset) { return SeekWith(fd, offset, SEEK_HOLE); }
#else
off_t SeekData(int, off_t) { return Missing(); }
off_t SeekHole(int, off_t) { return Missing(); }
#endif

int RenameNoReplace(int from_folder, const char* from, int to_folder, const char* to) {
#ifdef RENAME_NOREPLACE
  if (newer_calls_missing) return ENOSYS;
  return renameat2(from_folder, from, to_folder, to, RENAME_NOREPLACE) == 0 ? 0 : errno;
#else
  (void)from_folder, (void)from, (void)to_folder, (void)to;
  return ENOSYS;
#endif
}

bool SyncfsReportsFailures() {
#ifdef __linux__
  if (newer_calls_missing) return false;
  static const bool reports = [] {
    struct utsname system;
    int major = 0;
    int minor = 0;
    if (uname(&system) != 0 || std::sscanf(system.release, "%d.%d", &major, &minor) != 2) {
      return false;
    }
    return major > 5 || (major == 5 && minor >= 8);
  }();
  return reports;
#else
  return false;
#endif
}

bool RandomBytes(void* buffer, size_t length) {
  if (newer_calls_missing) return false;
  return getrandom(buffer, length, GRND_NONBLOCK) == static_cast<ssize_t>(length);
}

void SetNewerCallsMissingForTesting(bool missing) { newer_calls_missing = missing; }
bool NewerCallsMissingForTesting() { return newer_calls_missing; }

}  // namespace tolvex::posix
