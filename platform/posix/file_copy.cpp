#include "platform/posix/file_copy.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/random.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/fs.h>
#endif

#include <cerrno>
#include <cstring>
#include <ctime>
#include <optional>

#include "platform/platform.h"
#include "platform/posix/win32_error.h"
#include "platform/text_rules.h"

namespace tolvex::posix {

namespace {

std::optional<CopyFault> pending_fault;

int64_t NanosecondsOf(const struct timespec& ts) {
  return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// The armed fault at `point`, disarmed on the way out.
std::optional<CopyFault> TakeFault(CopyFaultPoint point) {
  if (!pending_fault || pending_fault->point != point) return std::nullopt;
  std::optional<CopyFault> fault = pending_fault;
  pending_fault.reset();
  return fault;
}

std::string RandomHex() {
  uint64_t bits = 0;
  if (getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits)) {
    // No entropy yet (early boot): time and process id still make the name
    // unique enough, and O_EXCL catches the rest.
    static uint64_t counter = 0;
    bits = static_cast<uint64_t>(time(nullptr)) * 0x9E3779B97F4A7C15ull ^
           (static_cast<uint64_t>(getpid()) << 20) ^ ++counter;
  }
  static const char kDigits[] = "0123456789abcdef";
  std::string hex(16, '0');
  for (int i = 15; i >= 0; --i, bits >>= 4) hex[i] = kDigits[bits & 0xF];
  return hex;
}

// Creates a fresh temporary file in `folder`; -1 with errno set on failure.
int CreateTemporary(const std::string& folder, std::string* path) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    *path = folder + "/" + kTempPrefix + RandomHex();
    const int fd = open(path->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// The plain way; a data fault strikes once `fault->after_bytes` are written.
int CopyByReadWrite(int from, int to, const std::optional<CopyFault>& fault) {
  std::vector<char> buffer(1 << 20);
  uint64_t written = 0;
  for (;;) {
    size_t want = buffer.size();
    if (fault) {
      if (written >= fault->after_bytes) return fault->error;
      want = static_cast<size_t>(std::min<uint64_t>(want, fault->after_bytes - written));
    }
    const ssize_t n = read(from, buffer.data(), want);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return 0;
    if (!WriteAll(to, buffer.data(), static_cast<size_t>(n))) return errno;
    written += static_cast<uint64_t>(n);
  }
}

// copy_file_range until the end of the source. Sets *unsupported when the
// file systems cannot do it at all (the caller falls back).
int CopyByRange(int from, int to, bool* unsupported) {
  *unsupported = false;
#ifdef __linux__
  uint64_t copied = 0;
  for (;;) {
    const ssize_t n = copy_file_range(from, nullptr, to, nullptr, size_t{1} << 30, 0);
    if (n > 0) {
      copied += static_cast<uint64_t>(n);
      continue;
    }
    if (n == 0) {
      // Some special files report no data here although read() has some.
      *unsupported = copied == 0;
      return 0;
    }
    if (errno == EINTR) continue;
    if (copied == 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS ||
                        errno == EOPNOTSUPP || errno == EBADF || errno == EPERM)) {
      *unsupported = true;
      return 0;
    }
    return errno;
  }
#else
  (void)from, (void)to;
  *unsupported = true;
  return 0;
#endif
}

int CopyContent(int from, int to) {
  const std::optional<CopyFault> fault = TakeFault(CopyFaultPoint::kDuringData);
  if (!fault) {
#ifdef FICLONE
    if (ioctl(to, FICLONE, from) == 0) return 0;
#endif
    bool unsupported = false;
    const int error = CopyByRange(from, to, &unsupported);
    if (!unsupported) return error;
    // Nothing was written: read and write from the start.
    if (lseek(from, 0, SEEK_SET) < 0 || ftruncate(to, 0) != 0) return errno;
  }
  return CopyByReadWrite(from, to, fault);
}

// Content, owner (where allowed), permission bits and times, then sync.
int WriteCopy(int source, const struct stat& source_stat, int fd) {
  if (const int error = CopyContent(source, fd)) return error;
  // Keeping the owner needs privileges; without them the file is ours.
  if (fchown(fd, source_stat.st_uid, source_stat.st_gid) != 0) {
    // Not an error: a copy by an ordinary user belongs to that user.
  }
  if (fchmod(fd, source_stat.st_mode & 0777) != 0) return errno;
  const struct timespec times[2] = {source_stat.st_atim, source_stat.st_mtim};
  if (futimens(fd, times) != 0) return errno;
  if (fsync(fd) != 0) return errno;
  return 0;
}

}  // namespace

bool IsTemporaryName(std::string_view name) {
  const std::string_view prefix = kTempPrefix;
  if (name.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (AsciiLower(static_cast<unsigned char>(name[i])) != prefix[i]) return false;
  }
  return true;
}

uint32_t ReplaceWithCopy(int source, const struct stat& source_stat, const std::string& folder,
                         const std::string& name) {
  std::string temp;
  const int fd = CreateTemporary(folder, &temp);
  if (fd < 0) return Win32FromErrno(errno, ErrnoSite::kFolder);
  int error = WriteCopy(source, source_stat, fd);
  if (close(fd) != 0 && error == 0) error = errno;
  if (error == 0) {
    if (const std::optional<CopyFault> fault = TakeFault(CopyFaultPoint::kBeforeRename)) {
      error = fault->error;
    }
  }
  if (error == 0 && rename(temp.c_str(), (folder + "/" + name).c_str()) != 0) error = errno;
  if (error != 0) {
    unlink(temp.c_str());
    return Win32FromErrno(error, ErrnoSite::kFolder);
  }
  return kErrOk;
}

uint32_t ReplaceWithText(const std::string& folder, const std::string& name,
                         const std::string& content, mode_t mode) {
  std::string temp;
  const int fd = CreateTemporary(folder, &temp);
  if (fd < 0) return Win32FromErrno(errno, ErrnoSite::kFolder);
  int error = 0;
  if (!WriteAll(fd, content.data(), content.size()) || fchmod(fd, mode) != 0 || fsync(fd) != 0) {
    error = errno;
  }
  if (close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && rename(temp.c_str(), (folder + "/" + name).c_str()) != 0) error = errno;
  if (error != 0) {
    unlink(temp.c_str());
    return Win32FromErrno(error, ErrnoSite::kFolder);
  }
  return kErrOk;
}

std::vector<std::string> RemoveStaleTemporaries(const std::string& folder, int64_t max_age_ms) {
  std::vector<std::string> removed;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return removed;
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  const int64_t limit = NanosecondsOf(now) - max_age_ms * 1'000'000;
  while (const dirent* entry = readdir(dir)) {
    if (!IsTemporaryName(entry->d_name)) continue;
    struct stat st;
    if (fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISREG(st.st_mode) || NanosecondsOf(st.st_ctim) >= limit) continue;
    if (unlinkat(dirfd(dir), entry->d_name, 0) == 0) removed.emplace_back(entry->d_name);
  }
  closedir(dir);
  return removed;
}

void InjectCopyFaultForTesting(const CopyFault& fault) { pending_fault = fault; }

}  // namespace tolvex::posix
