#include "platform/posix/file_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <optional>

#include "platform/copy_progress.h"
#include "platform/platform.h"
#include "platform/posix/system_calls.h"
#include "platform/posix/temporary_files.h"
#include "platform/posix/win32_error.h"
#include "platform/text_rules.h"

namespace tolvex::posix {

namespace {

std::optional<CopyFault> pending_fault;

// The file systems whose files refused a reflink as unsupported: asking
// again for every file there only costs a system call. (A refusal between
// two file systems, EXDEV, says nothing of either alone.)
std::vector<dev_t> devices_without_reflinks;

bool MayReflinkFrom(dev_t device) {
  return std::find(devices_without_reflinks.begin(), devices_without_reflinks.end(), device) ==
         devices_without_reflinks.end();
}

// A copy asked to stop (a second Ctrl-C, or its watcher: copy_progress.h)
// ends at its next chunk with this errno value; the temporary file is removed like that of any failed copy.
constexpr int kStopped = ECANCELED;

// The armed fault at `point`, disarmed on the way out.
std::optional<CopyFault> TakeFault(CopyFaultPoint point) {
  if (!pending_fault || pending_fault->point != point) return std::nullopt;
  if (pending_fault->passes > 0) {
    --pending_fault->passes;
    return std::nullopt;
  }
  std::optional<CopyFault> fault = pending_fault;
  pending_fault.reset();
  return fault;
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
int CopyByReadWrite(int from, int to, uint64_t size, const std::optional<CopyFault>& fault) {
  std::vector<char> buffer(1 << 20);
  uint64_t written = 0;
  for (;;) {
    if (!ReportCopyProgress(written, size)) return kStopped;
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
  // `size`: the source's, as the copy's watcher is told it.
  RangeCopier(int from, int to, uint64_t size) : from_(from), to_(to), size_(size) {}

  // Copies [begin, end), or up to the end of the source when it ends first.
  // 0 or an errno value. `end_` afterwards is where the copied data ends.
  int Copy(off_t begin, off_t end) {
    off_t in = begin;
    off_t out = begin;
    while (kernel_copies_ && in < end) {
      if (!ReportCopyProgress(static_cast<uint64_t>(in), size_)) return kStopped;
      // 8 MiB at a time: a request to stop waits for one chunk at most, and
      // the watcher sees a large file move several times a second.
      const ssize_t n = CopyFileRange(from_, &in, to_, &out, ChunkOf(end - in, off_t{1} << 23));
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
      if (!ReportCopyProgress(static_cast<uint64_t>(in), size_)) return kStopped;
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
  uint64_t size_;
  bool kernel_copies_ = true;
  std::vector<char> buffer_;
  off_t end_ = 0;
};

// Copies the data and leaves the holes as holes, so that a sparse file (a
// disk image, a database with gaps) takes no more room as a copy than it
// does as the source. Where the file system cannot tell holes from data,
// everything from there on is data.
int CopyDataAndHoles(int from, int to, uint64_t source_size) {
  constexpr off_t kToTheEnd = std::numeric_limits<off_t>::max();
  RangeCopier copier(from, to, source_size);
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
  const uint64_t size = static_cast<uint64_t>(source_stat.st_size);
  const std::optional<CopyFault> fault = TakeFault(CopyFaultPoint::kDuringData);
  if (fault) return CopyByReadWrite(from, to, size, fault);
  if (MayReflinkFrom(source_stat.st_dev)) {
    const int error = CloneFileBlocks(to, from);
    if (error == 0) return 0;
    if (error == EOPNOTSUPP || error == ENOTTY) devices_without_reflinks.push_back(source_stat.st_dev);
  }
  if (source_stat.st_size == 0) return CopyByReadWrite(from, to, size, std::nullopt);
  // A file with a block for every byte has no holes to look for.
  if (static_cast<uint64_t>(source_stat.st_blocks) * 512 >= static_cast<uint64_t>(source_stat.st_size)) {
    return RangeCopier(from, to, size).Copy(0, source_stat.st_size);
  }
  return CopyDataAndHoles(from, to, size);
}

// Content, owner (where allowed), permission bits and times. `held`: the
// new file's stat as it was made (its owner and group).
int WriteCopy(int source, const struct stat& source_stat, int fd, const struct stat& held) {
  if (const int error = CopyContent(source, source_stat, fd)) return error;
  // Only root keeps the owner (RunsAsRoot); a file made with the source's
  // owner and group has them already. Where the target's file system keeps
  // no owners (vfat) the copy is still whole: no failure.
  if (RunsAsRoot() && (held.st_uid != source_stat.st_uid || held.st_gid != source_stat.st_gid)) {
    [[maybe_unused]] const bool owner_kept = fchown(fd, source_stat.st_uid, source_stat.st_gid) == 0;
  }
  if (fchmod(fd, source_stat.st_mode & kModeBits) != 0) return errno;
  const struct timespec times[2] = {source_stat.st_atim, source_stat.st_mtim};
  if (futimens(fd, times) != 0) return errno;
  return 0;
}

uint64_t Size(const struct stat& source_stat) { return static_cast<uint64_t>(source_stat.st_size); }

// Renames the held temporary file `temp` in `folder_fd` over `name`, or
// removes it after `error`; closes `fd` (and so drops the hold) last.
uint32_t Finish(int folder_fd, int fd, const std::string& temp, const std::string& name,
                int error) {
  if (error == 0) {
    if (const std::optional<CopyFault> fault = TakeFault(CopyFaultPoint::kBeforeRename)) {
      error = fault->error;
    }
  }
  if (error == 0 && renameat(folder_fd, temp.c_str(), folder_fd, name.c_str()) != 0) error = errno;
  if (error != 0) unlinkat(folder_fd, temp.c_str(), 0);
  if (close(fd) != 0 && error == 0) error = errno;
  return error == 0 ? kErrOk : Win32FromErrno(error, ErrnoSite::kFolder);
}

}  // namespace

// Asked once: this process never changes its user.
bool RunsAsRoot() {
  static const bool root = geteuid() == 0;
  return root;
}

uint32_t ReplaceWithCopy(int source, const struct stat& source_stat, int folder_fd,
                         const std::string& name) {
  std::string temp;
  struct stat held;
  const int fd = CreateHeldTemporary(folder_fd, &temp, &held);
  if (fd < 0) return Win32FromErrno(errno, ErrnoSite::kFolder);
  int error = WriteCopy(source, source_stat, fd, held);
  if (error == 0 && fsync(fd) != 0) error = errno;
  // Also a copy that a fast path finished at once: asked to stop, the
  // target keeps what it held.
  if (error == 0 && !ReportCopyProgress(Size(source_stat), Size(source_stat))) error = kStopped;
  return Finish(folder_fd, fd, temp, name, error);
}

uint32_t ReplaceWithLink(const std::string& target_text, const struct timespec& written,
                         int folder_fd, const std::string& name) {
  std::string temp;
  if (const int made = CreateTemporaryLink(folder_fd, target_text, &temp)) {
    return Win32FromErrno(made, ErrnoSite::kFolder);
  }
  const struct timespec times[2] = {{0, UTIME_OMIT}, written};
  int error = utimensat(folder_fd, temp.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
  const uint64_t size = target_text.size();
  if (error == 0 && !ReportCopyProgress(size, size)) error = kStopped;
  if (error == 0) {
    if (const std::optional<CopyFault> fault = TakeFault(CopyFaultPoint::kBeforeRename)) {
      error = fault->error;
    }
  }
  // A link is renamed over a file or a link (the entry itself is replaced);
  // a folder of the name refuses it.
  if (error == 0 && renameat(folder_fd, temp.c_str(), folder_fd, name.c_str()) != 0) error = errno;
  if (error != 0) unlinkat(folder_fd, temp.c_str(), 0);
  return error == 0 ? kErrOk : Win32FromErrno(error, ErrnoSite::kFolder);
}

uint32_t StageCopyInto(int source, const struct stat& source_stat, int folder_fd,
                       const std::string& name, StagedCopy* staged) {
  std::string temp;
  struct stat held;
  const int fd = CreateHeldTemporary(folder_fd, &temp, &held);
  if (fd < 0) return Win32FromErrno(errno, ErrnoSite::kFolder);
  int error = WriteCopy(source, source_stat, fd, held);
  if (error == 0 && !ReportCopyProgress(Size(source_stat), Size(source_stat))) error = kStopped;
  if (error != 0) return Finish(folder_fd, fd, temp, name, error);
  *staged = StagedCopy{folder_fd, fd, std::move(temp), name};
  return kErrOk;
}

int MakeDurable(const StagedCopy& staged) { return fsync(staged.fd) == 0 ? 0 : errno; }

bool SyncFileSystemOf(const StagedCopy& staged) {
  return SyncfsReportsFailures() && syncfs(staged.fd) == 0;
}

uint32_t PutInPlace(StagedCopy* staged, int error) {
  const uint32_t result = Finish(staged->folder_fd, staged->fd, staged->temp, staged->name, error);
  staged->fd = -1;
  return result;
}

void Discard(StagedCopy* staged) {
  if (staged->fd < 0) return;
  unlinkat(staged->folder_fd, staged->temp.c_str(), 0);
  close(staged->fd);
  staged->fd = -1;
}

uint32_t ReplaceWithText(const std::string& folder, const std::string& name,
                         const std::string& content, mode_t mode) {
  const int folder_fd = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (folder_fd < 0) return Win32FromErrno(errno, ErrnoSite::kFolder);
  std::string temp;
  struct stat held;
  const int fd = CreateHeldTemporary(folder_fd, &temp, &held);
  uint32_t result = kErrOk;
  if (fd < 0) {
    result = Win32FromErrno(errno, ErrnoSite::kFolder);
  } else {
    int error = 0;
    if (!WriteAll(fd, content.data(), content.size()) || fchmod(fd, mode) != 0 || fsync(fd) != 0) {
      error = errno;
    }
    result = Finish(folder_fd, fd, temp, name, error);
  }
  close(folder_fd);
  return result;
}

void InjectCopyFaultForTesting(const CopyFault& fault) { pending_fault = fault; }

bool CopyFaultArmedForTesting() { return pending_fault.has_value(); }

void ClearCopyFaultForTesting() { pending_fault.reset(); }

}  // namespace tolvex::posix
