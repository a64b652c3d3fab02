#include "platform/posix/temporary_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <ctime>

#include "platform/posix/system_calls.h"
#include "platform/reserved_names.h"

namespace tolvex::posix {

namespace {

std::atomic<uint32_t> counter{0};

uint64_t NewToken() {
  uint64_t token = 0;
  if (!RandomBytes(&token, sizeof token)) {
    // No entropy yet (early boot), or no getrandom (an old kernel, the
    // emulator): time and process id still tell this process's names from
    // others', and O_EXCL catches the rest.
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    token = (static_cast<uint64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec) *
                0x9E3779B97F4A7C15ull ^
            (static_cast<uint64_t>(getpid()) << 20);
  }
  return token == 0 ? 1 : token;
}

int64_t NanosecondsOf(const struct timespec& ts) {
  return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// How long a temporary link's writer may take at most.
constexpr int64_t kLinkWriterSeconds = 60;

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The answers of flock that say this file system keeps no such locks, as
// opposed to "someone holds it".
bool LocksUnsupported(int error) {
  return error == ENOLCK || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL ||
         error == EBADF;
}

// True when `name` in `folder_fd` is a temporary file whose writer is gone.
// Keeps the lock in *fd (closed by the caller) so that nobody can take the
// file over before it is removed.
bool IsDead(int folder_fd, const char* name, int64_t unlockable_limit_ns, int* fd) {
  *fd = openat(folder_fd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (*fd < 0) return false;  // gone already, or not ours to open
  struct stat held;
  if (fstat(*fd, &held) != 0 || !S_ISREG(held.st_mode)) return false;
  if (flock(*fd, LOCK_EX | LOCK_NB) != 0) {
    if (!LocksUnsupported(errno)) return false;  // a live writer holds it
    if (NanosecondsOf(held.st_ctim) >= unlockable_limit_ns) return false;
  }
  // The name must still lead to the file locked.
  struct stat named;
  return fstatat(folder_fd, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(held, named);
}

}  // namespace

// This process's token, made on first use. A forked child makes names of
// its own: the fork handler clears the token in the child, which spares a
// getpid for every name made.
std::atomic<uint64_t> own_token{0};

void ForgetTokenInChild() { own_token = 0; }

uint64_t OwnTemporaryToken() {
  static const bool handler_set = pthread_atfork(nullptr, nullptr, ForgetTokenInChild) == 0;
  (void)handler_set;
  uint64_t token = own_token.load();
  if (token == 0) {
    const uint64_t made = NewToken();
    // Another thread may have made one meanwhile: the first one counts.
    own_token.compare_exchange_strong(token, made);
    token = own_token.load();
  }
  return token;
}

std::string NewTemporaryName() { return TemporaryName(OwnTemporaryToken(), ++counter); }

int CreateHeldTemporary(int folder_fd, std::string* name, struct stat* held) {
  for (int attempt = 0; attempt < 64; ++attempt) {
    *name = TemporaryName(OwnTemporaryToken(), ++counter);
    const int fd = openat(folder_fd, name->c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return -1;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 && !LocksUnsupported(errno)) {
      // A sweeper holds it this very moment and is about to remove it.
      close(fd);
      continue;
    }
    // A sweeper removes a file only while it holds its lock, and never
    // renames one: a file still linked once the lock is ours is still under
    // its name, and stays there.
    if (fstat(fd, held) == 0 && held->st_nlink > 0) return fd;
    // A sweeper removed it between our open and our lock.
    close(fd);
  }
  errno = EEXIST;
  return -1;
}

int CreateTemporaryLink(int folder_fd, const std::string& target_text, std::string* name) {
  for (int attempt = 0; attempt < 64; ++attempt) {
    *name = TemporaryName(OwnTemporaryToken(), ++counter);
    if (symlinkat(target_text.c_str(), folder_fd, name->c_str()) == 0) return 0;
    if (errno != EEXIST) return errno;
  }
  return EEXIST;
}

std::vector<std::string> SweepDeadTemporaries(int folder_fd, int64_t unlockable_age_ms) {
  std::vector<std::string> removed;
  const int listing_fd = openat(folder_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listing_fd < 0) return removed;
  DIR* dir = fdopendir(listing_fd);
  if (!dir) {
    close(listing_fd);
    return removed;
  }
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  const int64_t limit = NanosecondsOf(now) - unlockable_age_ms * 1'000'000;
  const uint64_t own = OwnTemporaryToken();
  while (const dirent* entry = readdir(dir)) {
    if (!IsTemporaryName(entry->d_name) || TokenOfTemporaryName(entry->d_name) == own) continue;
    // A temporary link is renamed in the call that made it: one a minute
    // old is a dead writer's.
    struct stat link;
    if (fstatat(folder_fd, entry->d_name, &link, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISLNK(link.st_mode)) {
      if (NanosecondsOf(link.st_ctim) < NanosecondsOf(now) - kLinkWriterSeconds * 1'000'000'000 &&
          unlinkat(folder_fd, entry->d_name, 0) == 0) {
        removed.emplace_back(entry->d_name);
      }
      continue;
    }
    int fd = -1;
    if (IsDead(folder_fd, entry->d_name, limit, &fd) &&
        unlinkat(folder_fd, entry->d_name, 0) == 0) {
      removed.emplace_back(entry->d_name);
    }
    if (fd >= 0) close(fd);
  }
  closedir(dir);
  return removed;
}

}  // namespace tolvex::posix
