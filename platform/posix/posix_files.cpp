// Copy, delete, move, folders and OpenForWrite, with the checks that give
// the Win32 codes POSIX calls would not (a read-only file refuses to be
// deleted or replaced; a move never replaces an existing name).
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/posix/file_copy.h"
#include "platform/posix/file_descriptor.h"
#include "platform/posix/local_stamp.h"
#include "platform/posix/posix_platform.h"
#include "platform/posix/system_calls.h"
#include "platform/posix/temporary_files.h"
#include "platform/posix/win32_error.h"

namespace tolvex::posix {

namespace {

bool IsReadOnlyFile(const struct stat& st) { return !S_ISDIR(st.st_mode) && !(st.st_mode & S_IWUSR); }

// Checks a copy's existing target `name` in the open folder `folder_fd`:
// 5 for a folder or a read-only file, 32 when it is the source itself
// (another name or spelling of it).
// *seen: the target as looked up there (st_nlink 0 when it was not).
uint32_t CheckCopyTarget(int folder_fd, const NativeEntry& target, const struct stat& source,
                         struct stat* seen) {
  seen->st_nlink = 0;
  if (!target.exists) return kErrOk;
  struct stat& st = *seen;
  if (fstatat(folder_fd, target.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    st.st_nlink = 0;
    return kErrOk;
  }
  // The copy takes the place of a link itself (the rename replaces the
  // link, never what it leads to), whatever it leads to.
  if (S_ISLNK(st.st_mode)) return kErrOk;
  // A FIFO, socket or device is no file to replace.
  if (S_ISDIR(st.st_mode) || IsReadOnlyFile(st) || !S_ISREG(st.st_mode)) return kErrAccessDenied;
  if (st.st_dev == source.st_dev && st.st_ino == source.st_ino) return kErrSharingViolation;
  return kErrOk;
}

// The target text of the link `name` in the open folder `folder_fd`: 0 or
// an errno value (EINVAL when it is no link).
int ReadLinkAt(int folder_fd, const char* name, std::string* text) {
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t length = readlinkat(folder_fd, name, buffer.data(), buffer.size());
    if (length < 0) return errno;
    if (static_cast<size_t>(length) < buffer.size()) {
      buffer.resize(static_cast<size_t>(length));
      *text = std::move(buffer);
      return 0;
    }
    buffer.resize(buffer.size() * 2);
  }
}

// rename() that never replaces an existing `to` (MoveFileA's rule). Where
// the kernel or the file system cannot say so atomically, the caller's
// check stands.
int MoveWithoutReplacing(int from_folder, const std::string& from, int to_folder,
                         const std::string& to) {
  const int error = RenameNoReplace(from_folder, from.c_str(), to_folder, to.c_str());
  if (error != EINVAL && error != ENOSYS) return error;
  return renameat(from_folder, from.c_str(), to_folder, to.c_str()) == 0 ? 0 : errno;
}

// A failed linkat or rename of LinkOver as its Win32 code: the refusals of
// a volume without links (vfat answers EPERM) as "not supported".
uint32_t LinkFailure(int error) {
  switch (error) {
    case EPERM:
    case EOPNOTSUPP:
    case ENOSYS:
      return kErrNotSupported;
    case EMLINK:
      return kErrTooManyLinks;
    default:
      return Win32FromErrno(error, ErrnoSite::kFolder);
  }
}

}  // namespace

PosixPlatform::CopyEnds::~CopyEnds() {
  if (source >= 0) close(source);
}

uint32_t PosixPlatform::OpenCopyEnds(const std::string& from, const std::string& to,
                                     CopyEnds* ends) {
  NativeEntry source;
  if (const uint32_t error = Resolve(from, true, &source)) return error;
  uint32_t error = kErrOk;
  // The source folder kept from the copy before, or opened afresh when it
  // is another or no longer the one the path leads to.
  int source_folder = KeptFolderFor(kCopiedFrom, source);
  int failure = 0;  // of the source's open, or of its look
  for (;;) {
    const bool fresh = source_folder < 0;
    if (fresh) source_folder = KeepFolder(kCopiedFrom, source, &error);
    if (source_folder < 0) return error;
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a
    // writer for ever; on a regular file it changes nothing. O_NOFOLLOW: a
    // link is copied as a link, never read through.
    ends->source = openat(source_folder, source.name.c_str(),
                          O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    failure = 0;
    if (ends->source < 0) {
      failure = errno;
      if (fstatat(source_folder, source.name.c_str(), &ends->source_stat, AT_SYMLINK_NOFOLLOW) != 0) {
        ends->source_stat.st_nlink = 0;
      }
    } else if (fstat(ends->source, &ends->source_stat) != 0) {
      failure = errno;
      ends->source_stat.st_nlink = 0;
    }
    if (fresh || KeptFolderServes(kCopiedFrom, source, &ends->source_stat)) break;
    if (ends->source >= 0) close(ends->source);
    ends->source = -1;
    source_folder = -1;
  }
  if (ends->source < 0 && failure == ELOOP) {
    if (fstatat(source_folder, source.name.c_str(), &ends->source_stat, AT_SYMLINK_NOFOLLOW) != 0) {
      return Win32FromErrno(errno);
    }
    if (!S_ISLNK(ends->source_stat.st_mode)) return kErrAccessDenied;
    if (const int failed = ReadLinkAt(source_folder, source.name.c_str(), &ends->link_text)) {
      return Win32FromErrno(failed);
    }
    ends->link = true;
  } else {
    if (failure != 0) return Win32FromErrno(failure);
    if (!S_ISREG(ends->source_stat.st_mode)) return kErrAccessDenied;
  }
  if (const uint32_t resolved = Resolve(to, false, &ends->target)) return resolved;
  uint32_t checked = kErrOk;
  ends->folder = TargetFolder(kCopiedInto, ends->target, ends->source_stat, &checked, &error);
  return ends->folder < 0 ? error : checked;
}

uint32_t PosixPlatform::CopyOver(const std::string& from, const std::string& to) {
  CopyEnds ends;
  if (const uint32_t error = OpenCopyEnds(from, to, &ends)) return error;
  const FolderChange change = index_.BeginChange(ends.target.folder);
  const uint32_t error =
      ends.link ? ReplaceWithLink(ends.link_text, ends.source_stat.st_mtim, ends.folder,
                                  ends.target.name)
                : ReplaceWithCopy(ends.source, ends.source_stat, ends.folder, ends.target.name);
  index_.EndChange(change, error == kErrOk && !ends.target.exists ? ends.target.name : std::string(),
                   std::string());
  return error;
}

Platform::StageResult PosixPlatform::StageCopy(const std::string& from, const std::string& to) {
  CopyEnds ends;
  if (const uint32_t error = OpenCopyEnds(from, to, &ends)) return StageResult{error, false};
  // A link holds no content to make durable: it is made at once, in place
  // when this returns (the copy pass puts the staged copies before it in
  // place before it counts it).
  if (ends.link) {
    const FolderChange change = index_.BeginChange(ends.target.folder);
    const uint32_t error =
        ReplaceWithLink(ends.link_text, ends.source_stat.st_mtim, ends.folder, ends.target.name);
    index_.EndChange(change,
                     error == kErrOk && !ends.target.exists ? ends.target.name : std::string(),
                     std::string());
    return StageResult{error, false};
  }
  // One open folder for all copies staged into it: the batch holds one
  // descriptor a copy and one a folder.
  KeptFolder& into = kept_folders_[kCopiedInto];
  if (!into.identified && !Identify(into)) return StageResult{Win32FromErrno(errno), false};
  auto [kept, added] =
      staged_folders_.try_emplace(ends.target.folder, StagedFolder{ends.folder, into.device});
  // The batch closes the folder it holds (the kept one stays open as long).
  if (added) into.lent = true;
  const int folder_fd = kept->second.fd;
  // The temporary file is a change of this process's own, which keeps the
  // folder's names as the index knows them.
  const FolderChange change = index_.BeginChange(ends.target.folder);
  StagedCopy copy;
  const uint32_t error =
      StageCopyInto(ends.source, ends.source_stat, folder_fd, ends.target.name, &copy);
  index_.EndChange(change, std::string(), std::string());
  if (error != kErrOk) return StageResult{error, false};
  staged_.push_back(
      Staged{std::move(copy), ends.target.folder, kept->second.device, ends.target.exists});
  return StageResult{kErrOk, true};
}

size_t PosixPlatform::CompleteStagedCopies(uint32_t* failure) {
  *failure = kErrOk;
  // Durable first, all of them: one sync of each file system they lie on
  // writes them out together (and whatever else waited there). Only when
  // that reports a failed write-back is each copy synced on its own, to
  // tell which one failed.
  size_t durable = staged_.size();
  int sync_error = 0;
  if (!SyncFileSystems()) {
    for (size_t i = 0; i < staged_.size(); ++i) {
      sync_error = MakeDurable(staged_[i].copy);
      if (sync_error != 0) {
        durable = i;
        break;
      }
    }
  }
  size_t placed = 0;
  for (size_t i = 0; i < staged_.size(); ++i) {
    Staged& staged = staged_[i];
    if (*failure != kErrOk) {
      Discard(&staged.copy);
      continue;
    }
    const FolderChange change = index_.BeginChange(staged.folder);
    const uint32_t error = PutInPlace(&staged.copy, i == durable ? sync_error : 0);
    index_.EndChange(change, error == kErrOk && !staged.target_existed ? staged.copy.name
                                                                        : std::string(),
                     std::string());
    if (error == kErrOk) {
      ++placed;
    } else {
      *failure = error;
    }
  }
  ReleaseStagedCopies();
  return placed;
}

bool PosixPlatform::SyncFileSystems() {
  std::vector<dev_t> synced;
  // The first copy staged on a file system: its sync reports a write-back
  // failure of any later one there.
  for (const Staged& staged : staged_) {
    if (std::find(synced.begin(), synced.end(), staged.device) != synced.end()) continue;
    if (!SyncFileSystemOf(staged.copy)) return false;
    synced.push_back(staged.device);
  }
  return true;
}

void PosixPlatform::DropStagedCopies() {
  for (Staged& staged : staged_) Discard(&staged.copy);
  ReleaseStagedCopies();
}

void PosixPlatform::ReleaseStagedCopies() {
  staged_.clear();
  for (const auto& [folder, kept] : staged_folders_) close(kept.fd);
  staged_folders_.clear();
  // The kept target folder, when the batch held it, was closed with it.
  if (kept_folders_[kCopiedInto].lent) kept_folders_[kCopiedInto] = KeptFolder();
}

int PosixPlatform::KeptFolderFor(KeptRole role, const NativeEntry& entry) const {
  const KeptFolder& kept = kept_folders_[role];
  return kept.fd >= 0 && !entry.is_root && kept.native == entry.folder ? kept.fd : -1;
}

bool PosixPlatform::KeptFolderServes(KeptRole role, const NativeEntry& entry,
                                     const struct stat* seen) {
  KeptFolder& kept = kept_folders_[role];
  bool same = false;
  if (seen != nullptr && seen->st_nlink == 1 && entry.found_as_spelled &&
      !S_ISDIR(seen->st_mode) && seen->st_dev == entry.found.st_dev &&
      seen->st_ino == entry.found.st_ino) {
    same = true;
  } else if (!kept.identified && !Identify(kept)) {
    return false;
  } else if (entry.folder_known) {
    same = entry.folder_key.device == kept.device && entry.folder_key.inode == kept.inode;
  } else {
    // As the open of the folder's path would find it: through links.
    struct stat folder;
    same = stat(entry.folder.c_str(), &folder) == 0 && folder.st_dev == kept.device &&
           folder.st_ino == kept.inode;
  }
  // The folder may have moved out of the drive, a link to it in its place.
  return same && InsideDrive(kept.fd, entry.letter);
}

int PosixPlatform::TargetFolder(KeptRole role, const NativeEntry& target,
                                const struct stat& source, uint32_t* checked, uint32_t* error) {
  int folder = KeptFolderFor(role, target);
  for (;;) {
    const bool fresh = folder < 0;
    if (fresh) folder = KeepFolder(role, target, error);
    if (folder < 0) return -1;
    struct stat seen;
    *checked = CheckCopyTarget(folder, target, source, &seen);
    if (fresh || KeptFolderServes(role, target, &seen)) return folder;
    folder = -1;
  }
}

int PosixPlatform::KeepFolder(KeptRole role, const NativeEntry& entry, uint32_t* error) {
  KeptFolder& kept = kept_folders_[role];
  if (kept.fd >= 0 && !kept.lent) close(kept.fd);
  kept = KeptFolder();
  const int fd = OpenHoldingFolder(entry, error);
  if (fd < 0) return -1;
  kept.native = entry.folder;
  kept.fd = fd;
  return fd;
}

bool PosixPlatform::Identify(KeptFolder& kept) {
  struct stat st;
  if (fstat(kept.fd, &st) != 0) return false;
  kept.identified = true;
  kept.device = st.st_dev;
  kept.inode = st.st_ino;
  return true;
}

void PosixPlatform::ForgetKeptFolders() {
  for (KeptFolder& kept : kept_folders_) {
    if (kept.fd >= 0 && !kept.lent) close(kept.fd);
    kept = KeptFolder();
  }
}

uint32_t PosixPlatform::LinkOver(const std::string& existing, const std::string& to,
                                 const LinkedFile& expected) {
  NativeEntry shared;
  if (const uint32_t error = Resolve(existing, true, &shared)) return error;
  uint32_t error = kErrOk;
  int shared_folder = KeptFolderFor(kLinkedFrom, shared);
  // The entry itself: a link to a file is no file of that folder's own.
  struct stat st;
  for (;;) {
    const bool fresh = shared_folder < 0;
    if (fresh) shared_folder = KeepFolder(kLinkedFrom, shared, &error);
    if (shared_folder < 0) return error;
    const int looked = fstatat(shared_folder, shared.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0
                           ? 0
                           : errno;
    if (looked != 0) st.st_nlink = 0;
    if (fresh || KeptFolderServes(kLinkedFrom, shared, &st)) {
      if (looked != 0) return Win32FromErrno(looked);
      break;
    }
    shared_folder = -1;
  }
  if (!S_ISREG(st.st_mode) || IsReadOnlyFile(st)) return kErrAccessDenied;
  constexpr uint32_t kCompared = kAttrReadOnly | kAttrHidden | kAttrSystem;
  if (static_cast<uint64_t>(st.st_size) != expected.size ||
      (expected.mode != 0 && ((st.st_mode ^ expected.mode) & kModeBits) != 0) ||
      StampFromUnixTime(st.st_mtim.tv_sec) != expected.stamp ||
      (AttributesOf(st, shared.name) & kCompared) != (expected.attributes & kCompared)) {
    return kErrDiffers;
  }
  NativeEntry target;
  if (const uint32_t resolved = Resolve(to, false, &target)) return resolved;
  uint32_t refused = kErrOk;
  const int folder = TargetFolder(kLinkedInto, target, st, &refused, &error);
  if (folder < 0) return error;
  if (refused != kErrOk) {
    // 32: the target is that very file already (and a rename of one name
    // of a file over another would do nothing, leaving the temporary name).
    return refused == kErrSharingViolation ? kErrOk : refused;
  }
  const FolderChange change = index_.BeginChange(target.folder);
  int failure = EEXIST;
  if (!target.exists) {
    // Nothing to replace: the link is made under the target's own name,
    // which appears whole or not at all, as a rename would make it.
    failure = linkat(shared_folder, shared.name.c_str(), folder, target.name.c_str(), 0) == 0
                  ? 0
                  : errno;
  }
  if (failure == EEXIST) {
    // Replacing an existing file (or one that appeared meanwhile): under a
    // temporary name, then renamed over it, never written into.
    std::string temp;
    for (int attempt = 0; attempt < 16 && failure == EEXIST; ++attempt) {
      temp = NewTemporaryName();
      failure = linkat(shared_folder, shared.name.c_str(), folder, temp.c_str(), 0) == 0 ? 0 : errno;
    }
    if (failure == 0 && renameat(folder, temp.c_str(), folder, target.name.c_str()) != 0) {
      failure = errno;
      unlinkat(folder, temp.c_str(), 0);
    }
  }
  index_.EndChange(change, failure == 0 && !target.exists ? target.name : std::string(),
                   std::string());
  return failure == 0 ? kErrOk : LinkFailure(failure);
}

uint32_t PosixPlatform::RemoveFile(const std::string& path) {
  NativeEntry entry;
  if (const uint32_t error = Resolve(path, true, &entry)) return error;
  uint32_t refused = kErrOk;
  const FileDescriptor folder(OpenHoldingFolder(entry, &refused));
  if (folder.get() < 0) return refused;
  const char* name = entry.name.c_str();
  struct stat st;
  if (fstatat(folder.get(), name, &st, AT_SYMLINK_NOFOLLOW) != 0) return Win32FromErrno(errno);
  // A link is removed itself, whatever it leads to (never read-only: it has
  // no permission bits of its own).
  if (!S_ISLNK(st.st_mode) && (S_ISDIR(st.st_mode) || IsReadOnlyFile(st))) return kErrAccessDenied;
  const FolderChange change = index_.BeginChange(entry.folder);
  const int error = unlinkat(folder.get(), name, 0) == 0 ? 0 : errno;
  index_.EndChange(change, std::string(), error == 0 ? entry.name : std::string());
  return error == 0 ? kErrOk : Win32FromErrno(error);
}

uint32_t PosixPlatform::ReadLink(const std::string& path, std::string* target) {
  NativeEntry entry;
  if (const uint32_t error = Resolve(path, true, &entry)) return error;
  if (entry.is_root) return kErrInvalidParameter;
  uint32_t refused = kErrOk;
  const FileDescriptor folder(OpenHoldingFolder(entry, &refused));
  if (folder.get() < 0) return refused;
  const int error = ReadLinkAt(folder.get(), entry.name.c_str(), target);
  if (error == EINVAL) return kErrInvalidParameter;
  return error == 0 ? kErrOk : Win32FromErrno(error);
}

uint32_t PosixPlatform::MoveEntry(const std::string& from, const std::string& to) {
  ForgetKeptFolders();  // a folder kept open may be the one that moves
  NativeEntry source;
  if (const uint32_t error = Resolve(from, true, &source)) return error;
  NativeEntry target;
  if (const uint32_t error = Resolve(to, false, &target)) return error;
  if (source.is_root) return kErrAccessDenied;
  uint32_t refused = kErrOk;
  const FileDescriptor from_folder(OpenHoldingFolder(source, &refused));
  if (from_folder.get() < 0) return refused;
  const FileDescriptor to_folder(OpenHoldingFolder(target, &refused));
  if (to_folder.get() < 0) return refused;
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
  const int error = MoveWithoutReplacing(from_folder.get(), source.name, to_folder.get(), new_name);
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
  ForgetKeptFolders();
  NativeEntry entry;
  if (const uint32_t error = Resolve(path, true, &entry)) return error;
  uint32_t refused = kErrOk;
  const FileDescriptor folder(OpenHoldingFolder(entry, &refused));
  if (folder.get() < 0) return refused;
  const char* name = entry.name.c_str();
  struct stat st;
  if (fstatat(folder.get(), name, &st, AT_SYMLINK_NOFOLLOW) != 0) return Win32FromErrno(errno);
  if (!S_ISDIR(st.st_mode)) return kErrNotAFolder;
  const FolderChange change = index_.BeginChange(entry.folder);
  int error = unlinkat(folder.get(), name, AT_REMOVEDIR) == 0 ? 0 : errno;
  if (error == ENOTEMPTY || error == EEXIST) {
    // Temporary files are invisible to the scan, which therefore takes the
    // folder for empty: clear the dead ones and try once more.
    if (!RemoveDeadIn(entry.path).empty()) {
      error = unlinkat(folder.get(), name, AT_REMOVEDIR) == 0 ? 0 : errno;
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
  uint32_t refused = kErrOk;
  const FileDescriptor folder(OpenHoldingFolder(entry, &refused));
  if (folder.get() < 0) return refused;
  const FolderChange change = index_.BeginChange(entry.folder);
  const int error = mkdirat(folder.get(), entry.name.c_str(), 0777) == 0 ? 0 : errno;
  index_.EndChange(change, error == 0 ? entry.name : std::string(), std::string());
  return error == 0 ? kErrOk : Win32FromErrno(error, ErrnoSite::kFolderOrMove);
}

uint32_t PosixPlatform::OpenForWrite(const std::string& path, bool append, std::FILE** file) {
  *file = nullptr;
  NativeEntry entry;
  if (const uint32_t error = Resolve(path, false, &entry)) return error;
  uint32_t refused = kErrOk;
  const FileDescriptor folder(OpenHoldingFolder(entry, &refused));
  if (folder.get() < 0) return refused;
  struct stat st;
  if (entry.exists && fstatat(folder.get(), entry.name.c_str(), &st, 0) == 0 &&
      (S_ISDIR(st.st_mode) || IsReadOnlyFile(st))) {
    return kErrAccessDenied;
  }
  const FolderChange change = index_.BeginChange(entry.folder);
  const int fd = openat(folder.get(), entry.name.c_str(),
                        O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC), 0666);
  *file = fd >= 0 ? fdopen(fd, append ? "ab" : "wb") : nullptr;
  const int error = *file ? 0 : errno;
  if (fd >= 0 && !*file) close(fd);
  index_.EndChange(change, *file && !entry.exists ? entry.name : std::string(), std::string());
  return error == 0 ? kErrOk : Win32FromErrno(error);
}

uint32_t PosixPlatform::OpenForRead(const std::string& path, std::FILE** file) {
  *file = nullptr;
  NativeEntry entry;
  if (const uint32_t error = Resolve(path, true, &entry)) return error;
  uint32_t refused = kErrOk;
  const FileDescriptor folder(OpenHoldingFolder(entry, &refused));
  if (folder.get() < 0) return refused;
  // A link is not read through: the file must be the one named.
  const int fd = openat(folder.get(), entry.name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  struct stat st;
  if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
    close(fd);
    return kErrAccessDenied;
  }
  *file = fd >= 0 ? fdopen(fd, "rb") : nullptr;
  const int error = *file ? 0 : errno;
  if (fd >= 0 && !*file) close(fd);
  return error == 0 ? kErrOk : Win32FromErrno(error);
}

std::vector<std::string> PosixPlatform::RemoveDeadIn(const std::string& folder) {
  // Only reached with a folder inside its drive.
  const FileDescriptor fd(open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() < 0) return {};
  std::vector<std::string> removed = SweepDeadTemporaries(fd.get(), kUnlockableTemporaryAgeMs);
  if (!removed.empty()) index_.Forget(folder);
  return removed;
}

uint32_t PosixPlatform::RemoveDeadTemporaries(const std::string& folder, uint32_t* removed) {
  // A folder this run has listed without a temporary name in it has none
  // to remove: no second read. Asked of every folder a run scanned, so the
  // path as spelled is tried before any look at the file system.
  const auto listed_without_temporaries = [this](const std::string& native) {
    return enumerated_folders_.count(native) != 0 && folders_with_temporaries_.count(native) == 0;
  };
  DrivePath drive_path;
  std::string as_spelled;
  if (SplitDrivePath(folder, &drive_path) && NativeAsSpelled(drive_path, &as_spelled) &&
      listed_without_temporaries(as_spelled)) {
    return kErrOk;
  }
  NativeEntry entry;
  if (const uint32_t error = Resolve(folder, true, &entry)) {
    return error == kErrFileNotFound ? kErrPathNotFound : error;
  }
  uint32_t refused = kErrOk;
  const FileDescriptor inside(OpenFolderInDrive(entry.path, entry.letter, &refused));
  if (inside.get() < 0) return refused;
  if (listed_without_temporaries(entry.path)) return kErrOk;
  *removed += static_cast<uint32_t>(RemoveDeadIn(entry.path).size());
  folders_with_temporaries_.erase(entry.path);
  return kErrOk;
}

}  // namespace tolvex::posix
