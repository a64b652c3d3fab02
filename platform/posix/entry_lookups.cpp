#include "platform/posix/entry_lookups.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#ifdef TOLVEX_IO_URING
#include <liburing.h>
#endif

#include "platform/posix/system_calls.h"

namespace tolvex::posix {

namespace {

int64_t MonotonicNs() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// How often this thread has waited (for the disk, in a lookup) rather than
// been put aside for another: a slow lookup on a busy machine is not a
// cold cache.
long VoluntarySwitches() {
#ifdef RUSAGE_THREAD
  struct rusage usage;
  if (getrusage(RUSAGE_THREAD, &usage) == 0) return usage.ru_nvcsw;
#endif
  return -1;
}

void LookUp(int folder_fd, EntryLookup& lookup) {
  lookup.error = fstatat(folder_fd, lookup.name, &lookup.st, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
}

void Follow(int folder_fd, EntryLookup& lookup) {
  lookup.target_error = fstatat(folder_fd, lookup.name, &lookup.target, 0) == 0 ? 0 : errno;
}

bool IsLink(const EntryLookup& lookup) { return lookup.error == 0 && S_ISLNK(lookup.st.st_mode); }

}  // namespace

LookupMode LookupModeFromEnvironment() {
  const char* value = std::getenv("TOLVEX_IO_URING");
  if (value != nullptr && std::strcmp(value, "off") == 0) return LookupMode::kOneAtATime;
  if (value != nullptr && std::strcmp(value, "always") == 0) return LookupMode::kBatched;
  return LookupMode::kAdaptive;
}

#ifdef TOLVEX_IO_URING

class EntryLookups::Ring {
 public:
  // Null where the kernel refuses io_uring or cannot run statx through it.
  static std::unique_ptr<Ring> Open() {
    std::unique_ptr<Ring> ring(new Ring);
    if (io_uring_queue_init(kBatch, &ring->ring_, 0) != 0) return nullptr;
    ring->open_ = true;
    io_uring_probe* probe = io_uring_get_probe_ring(&ring->ring_);
    const bool statx = probe != nullptr && io_uring_opcode_supported(probe, IORING_OP_STATX);
    if (probe != nullptr) io_uring_free_probe(probe);
    if (!statx) return nullptr;
    // The kernel starts a worker for each request it cannot answer at
    // once; a quarter of a batch keeps the disk busy without a crowd
    // (Linux 5.15 and later; older kernels keep their own limit).
    unsigned int workers[2] = {0, kBatch / 4};
    io_uring_register_iowq_max_workers(&ring->ring_, workers);
    return ring;
  }
  ~Ring() {
    if (open_) io_uring_queue_exit(&ring_);
  }
  bool abandoned() const { return abandoned_; }

  // Looks up lookups[i] for each i of `which` (at most kBatch): lstat, or
  // stat following a link when `follow`. False when the ring failed; the
  // requests it took are all completed then, and those it did not take
  // are left as they were (answered ones have `done` set).
  bool Run(int folder_fd, std::vector<EntryLookup>& lookups, const std::vector<size_t>& which,
           bool follow, std::vector<bool>& done) {
    const int flags = AT_NO_AUTOMOUNT | (follow ? 0 : AT_SYMLINK_NOFOLLOW);
    for (size_t k = 0; k < which.size(); ++k) {
      io_uring_sqe* sqe = io_uring_get_sqe(&ring_);
      if (sqe == nullptr) return false;  // never with at most kBatch at a time
      io_uring_prep_statx(sqe, folder_fd, lookups[which[k]].name, flags, STATX_BASIC_STATS,
                          &results_[k]);
      io_uring_sqe_set_data64(sqe, k);
    }
    int submitted = io_uring_submit(&ring_);
    while (submitted == -EINTR) submitted = io_uring_submit(&ring_);
    if (submitted < 0) submitted = 0;
    bool whole = static_cast<size_t>(submitted) == which.size();
    for (int left = submitted; left > 0; --left) {
      io_uring_cqe* cqe = nullptr;
      int waited = io_uring_wait_cqe(&ring_, &cqe);
      while (waited == -EINTR) waited = io_uring_wait_cqe(&ring_, &cqe);
      if (waited != 0) {
        // Requests still out may yet write into this ring's buffers: it is
        // given up without being freed.
        abandoned_ = true;
        return false;
      }
      const size_t k = static_cast<size_t>(io_uring_cqe_get_data64(cqe));
      const int result = cqe->res;
      io_uring_cqe_seen(&ring_, cqe);
      EntryLookup& lookup = lookups[which[k]];
      int& error = follow ? lookup.target_error : lookup.error;
      struct stat& st = follow ? lookup.target : lookup.st;
      if (result == 0) {
        st = StatOf(results_[k]);
        error = 0;
      } else if (result == -ENOENT) {
        error = ENOENT;
      } else if (follow) {
        // Whatever else failed is asked again the plain way, whose answer
        // counts (the ring's own refusals included).
        Follow(folder_fd, lookup);
      } else {
        LookUp(folder_fd, lookup);
      }
      done[k] = true;
    }
    return whole;
  }

 private:
  Ring() = default;

  static struct stat StatOf(const struct statx& x) {
    struct stat st;
    std::memset(&st, 0, sizeof st);
    st.st_dev = makedev(x.stx_dev_major, x.stx_dev_minor);
    st.st_ino = x.stx_ino;
    st.st_mode = x.stx_mode;
    st.st_nlink = x.stx_nlink;
    st.st_uid = x.stx_uid;
    st.st_gid = x.stx_gid;
    st.st_rdev = makedev(x.stx_rdev_major, x.stx_rdev_minor);
    st.st_size = static_cast<off_t>(x.stx_size);
    st.st_blksize = static_cast<blksize_t>(x.stx_blksize);
    st.st_blocks = static_cast<blkcnt_t>(x.stx_blocks);
    st.st_atim.tv_sec = x.stx_atime.tv_sec;
    st.st_atim.tv_nsec = x.stx_atime.tv_nsec;
    st.st_mtim.tv_sec = x.stx_mtime.tv_sec;
    st.st_mtim.tv_nsec = x.stx_mtime.tv_nsec;
    st.st_ctim.tv_sec = x.stx_ctime.tv_sec;
    st.st_ctim.tv_nsec = x.stx_ctime.tv_nsec;
    return st;
  }

  io_uring ring_{};
  bool open_ = false;
  bool abandoned_ = false;
  struct statx results_[kBatch];
};

#else  // no liburing in this build

class EntryLookups::Ring {
 public:
  static std::unique_ptr<Ring> Open() { return nullptr; }
  bool Run(int, std::vector<EntryLookup>&, const std::vector<size_t>&, bool, std::vector<bool>&) {
    return false;
  }
  bool abandoned() const { return false; }
};

#endif

EntryLookups::EntryLookups() : mode_(LookupModeFromEnvironment()) {}
EntryLookups::~EntryLookups() = default;

EntryLookups::Ring* EntryLookups::ring() {
  if (NewerCallsMissingForTesting()) return nullptr;
  if (!ring_tried_) {
    ring_tried_ = true;
    ring_ = Ring::Open();
  }
  return ring_.get();
}

bool EntryLookups::RingAvailableForTesting() { return ring() != nullptr; }

bool EntryLookups::RunBatched(int folder_fd, std::vector<EntryLookup>& lookups, size_t first,
                              bool follow) {
  Ring* through = ring();
  if (through == nullptr) return false;
  std::vector<size_t> which;
  std::vector<bool> done;
  for (size_t i = first; i < lookups.size();) {
    which.clear();
    for (; i < lookups.size() && which.size() < kBatch; ++i) {
      if (!follow || IsLink(lookups[i])) which.push_back(i);
    }
    if (which.empty()) break;
    done.assign(which.size(), false);
    if (!through->Run(folder_fd, lookups, which, follow, done)) {
      // The ring failed itself: this process goes on without it. What it
      // did not answer is looked up the plain way.
      if (through->abandoned()) {
        (void)ring_.release();
      } else {
        ring_.reset();
      }
      for (size_t k = 0; k < which.size(); ++k) {
        if (done[k]) continue;
        follow ? Follow(folder_fd, lookups[which[k]]) : LookUp(folder_fd, lookups[which[k]]);
      }
      for (; i < lookups.size(); ++i) {
        if (!follow) {
          LookUp(folder_fd, lookups[i]);
        } else if (IsLink(lookups[i])) {
          Follow(folder_fd, lookups[i]);
        }
      }
      return true;
    }
    batched_lookups_ += which.size();
  }
  return true;
}

void EntryLookups::Run(int folder_fd, std::vector<EntryLookup>& lookups) {
  const bool may_batch = mode_ != LookupMode::kOneAtATime && !NewerCallsMissingForTesting() &&
                         (!ring_tried_ || ring_ != nullptr);
  size_t next = 0;
  if (!(batching_ && may_batch)) {
    // One at a time; adaptively timed until one waits for the disk.
    const bool timed = may_batch && mode_ == LookupMode::kAdaptive;
    long waits = timed ? VoluntarySwitches() : 0;
    for (; next < lookups.size(); ++next) {
      const int64_t started = timed ? MonotonicNs() : 0;
      LookUp(folder_fd, lookups[next]);
      if (timed && MonotonicNs() - started >= kSlowLookupNs) {
        // Slow: it waited for the disk if this thread slept meanwhile.
        const long now = VoluntarySwitches();
        if (now == waits && now >= 0) continue;
        batching_ = true;
        ++next;
        break;
      }
    }
  }
  if (next < lookups.size() && !RunBatched(folder_fd, lookups, next, false)) {
    batching_ = false;
    for (; next < lookups.size(); ++next) LookUp(folder_fd, lookups[next]);
  }
  // The targets of the links: rare, and batched only where the folder is.
  bool any_link = false;
  for (EntryLookup& lookup : lookups) {
    lookup.followed = IsLink(lookup);
    any_link = any_link || lookup.followed;
  }
  if (!any_link) return;
  if (batching_ && may_batch && RunBatched(folder_fd, lookups, 0, true)) return;
  for (EntryLookup& lookup : lookups) {
    if (lookup.followed) Follow(folder_fd, lookup);
  }
}

}  // namespace tolvex::posix
