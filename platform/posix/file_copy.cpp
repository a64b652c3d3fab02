#include "platform/posix/file_copy.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <limits>
#include <optional>

#include "platform/platform.h"
#include "platform/posix/system_calls.h"
#include "platform/stop_request.h"
#include "platform/posix/win32_error.h"
#include "platform/text_rules.h"

namespace tolvex::posix {

namespace {

std::optional<CopyFault> pending_fault;

// A copy asked to stop (a second Ctrl-C) ends at its next chunk with this
// errno value; the temporary file is removed like that of any failed copy.
constexpr int kStopped = ECANCELED;

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
  if (!RandomBytes(&bits, sizeof bits)) {
    // No entropy yet (early boot), or no getrandom (an old kernel): time and
    // process id still make the name unique enough, and O_EXCL catches the
    // rest.
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

bool WriteAllAt(int fd, const char* data, size_t size, off_t offset) {
  while (size > 0) {
    const ssize_t n = pwrite(fd, data, size, offset);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
    offset += n;
  }
  return true;
}

// The plain way from the start to the end of the source, for sources that
// report no size (pseudo files have content all the same) and for injected
// faults, which strike once `fault->after_bytes` are written.
int CopyByReadWrite(int from, int to, const std::optional<CopyFault>& fault) {
  std::vector<char> buffer(1 << 20);
  uint64_t written = 0;
  for (;;) {
    if (CopyStopRequested()) return kStopped;
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

// Copies byte ranges of one file to the same offsets of another: with
// copy_file_range while the file systems take it, else with pread/pwrite.
class RangeCopier {
 public:
  RangeCopier(int from, int to) : from_(from), to_(to) {}

  // Copies [begin, end), or up to the end of the source when it ends first.
  // 0 or an errno value. `end_` afterwards is where the copied data ends.
  int Copy(off_t begin, off_t end) {
    off_t in = begin;
    off_t out = begin;
    while (kernel_copies_ && in < end) {
      if (CopyStopRequested()) return kStopped;
      // 64 MiB at a time: a request to stop waits for one chunk at most.
      const ssize_t n = CopyFileRange(from_, &in, to_, &out, ChunkOf(end - in, off_t{1} << 26));
      if (n > 0) continue;
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && !CannotCopyRanges(errno)) return errno;
      // Not between these files (another file system, an old kernel, the
      // emulator), or no data although the source is not at its end (some
      // special files): read and write from here on, which also tells
      // whether the source really ended.
      kernel_copies_ = false;
    }
    while (in < end) {
      if (CopyStopRequested()) return kStopped;
      if (buffer_.empty()) buffer_.resize(1 << 20);
      const ssize_t n =
          pread(from_, buffer_.data(), ChunkOf(end - in, static_cast<off_t>(buffer_.size())), in);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return errno;
      if (n == 0) break;
      if (!WriteAllAt(to_, buffer_.data(), static_cast<size_t>(n), in)) return errno;
      in += n;
    }
    end_ = std::max(end_, in);
    return 0;
  }
  off_t end() const { return end_; }

 private:
  static size_t ChunkOf(off_t left, off_t most) { return static_cast<size_t>(std::min(left, most)); }
  // The answers of copy_file_range that say it cannot copy between these
  // two files at all, rather than that the copy failed.
  static bool CannotCopyRanges(int error) {
    return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP ||
           error == EBADF || error == EPERM;
  }

  int from_;
  int to_;
  bool kernel_copies_ = true;
  std::vector<char> buffer_;
  off_t end_ = 0;
};

// Copies the data and leaves the holes as holes, so that a sparse file (a
// disk image, a database with gaps) takes no more room as a copy than it
// does as the source. Where the file system cannot tell holes from data,
// everything from there on is data.
int CopyDataAndHoles(int from, int to) {
  constexpr off_t kToTheEnd = std::numeric_limits<off_t>::max();
  RangeCopier copier(from, to);
  off_t at = 0;
  for (;;) {
    const off_t data = SeekData(from, at);
    if (data < 0 && errno == ENXIO) break;  // only a hole after `at`
    const off_t hole = data < 0 ? -1 : SeekHole(from, data);
    if (hole < 0) {
      if (const int error = copier.Copy(at, kToTheEnd)) return error;
      break;
    }
    if (const int error = copier.Copy(data, hole)) return error;
    at = hole;
  }
  // A hole at the end is made by the size alone.
  const off_t size = lseek(from, 0, SEEK_END);
  if (size < 0) return errno;
  if (size > copier.end() && ftruncate(to, size) != 0) return errno;
  return 0;
}

int CopyContent(int from, const struct stat& source_stat, int to) {
  const std::optional<CopyFault> fault = TakeFault(CopyFaultPoint::kDuringData);
  if (fault) return CopyByReadWrite(from, to, fault);
  if (CloneFileBlocks(to, from) == 0) return 0;
  if (source_stat.st_size == 0) return CopyByReadWrite(from, to, std::nullopt);
  return CopyDataAndHoles(from, to);
}

// Content, owner (where allowed), permission bits and times, then sync.
int WriteCopy(int source, const struct stat& source_stat, int fd) {
  if (const int error = CopyContent(source, source_stat, fd)) return error;
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
  // Also a copy that a fast path finished at once: asked to stop, the
  // target keeps what it held.
  if (error == 0 && CopyStopRequested()) error = kStopped;
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
