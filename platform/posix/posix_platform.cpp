#include "platform/posix/posix_platform.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/posix/dos_wildcard.h"
#include "platform/posix/host_names.h"
#include "platform/posix/local_stamp.h"
#include "platform/posix/win32_error.h"
#include "platform/text_rules.h"

// Sizes and times are 64-bit on every build of this back end: a 32-bit build
// without large-file and 64-bit time support would fail stat() on files over
// 2 GiB, readdir() on ext4's 64-bit directory offsets and every date after
// 2038 (the build sets _FILE_OFFSET_BITS=64 and _TIME_BITS=64 there).
static_assert(sizeof(off_t) == 8, "the POSIX back end needs a 64-bit off_t");
static_assert(sizeof(time_t) == 8, "the POSIX back end needs a 64-bit time_t");

namespace tolvex {

Platform& DefaultPlatform() {
  static posix::PosixPlatform platform;
  return platform;
}

namespace posix {

namespace {

bool HasAsciiLetter(const std::string& name) {
  for (const char c : name) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
  }
  return false;
}

// The place of the last separator of a drive-form path, npos without one
// (find_last_of asks memchr once for each character).
size_t LastSeparator(const std::string& path) {
  for (size_t at = path.size(); at > 0; --at) {
    if (path[at - 1] == '\\' || path[at - 1] == '/') return at - 1;
  }
  return std::string::npos;
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string JoinNative(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

uint32_t AttributesOf(const struct stat& st, std::string_view name) {
  uint32_t attributes = 0;
  if (S_ISDIR(st.st_mode)) {
    attributes |= kAttrDirectory;
  } else {
    attributes |= kAttrArchive;
    if (!(st.st_mode & S_IWUSR)) attributes |= kAttrReadOnly;
  }
  if (!name.empty() && name[0] == '.') attributes |= kAttrHidden;
  return attributes;
}

PosixPlatform::PosixPlatform()
    : drives_(DriveTable::FromEnvironment()), volume_seam_(VolumeSeamFromEnvironment()) {}

void PosixPlatform::ReloadDrives() {
  DropStagedCopies();  // a run completes or drops its own; none is left here
  ForgetKeptFolders();
  drives_ = DriveTable::FromEnvironment();
  volume_seam_ = VolumeSeamFromEnvironment();
  index_.Clear();
  exact_name_folders_.clear();
  real_roots_.fill(std::string());
  last_folders_.fill(LastFolder());
  enumerated_folders_.clear();
  folders_with_temporaries_.clear();
}

uint32_t PosixPlatform::Resolve(const std::string& path, bool must_exist, NativeEntry* out) {
  if (path.find('\0') != std::string::npos) return kErrInvalidName;
  uint32_t result = kErrOk;
  if (ResolveInLastFolder(path, must_exist, out, &result)) return result;
  DrivePath drive_path;
  if (!SplitDrivePath(path, &drive_path)) return kErrPathNotFound;
  result = ResolveDrivePath(drive_path, must_exist, out);
  // The folder of a path resolved as spelled, for the next path in it.
  const size_t cut = LastSeparator(path);
  if ((result == kErrOk || result == kErrFileNotFound) &&
      (out->found_as_spelled || out->folder_known) && !out->trailing_separator &&
      cut != std::string::npos && cut > 2 && !drive_path.names.empty() &&
      path.compare(cut + 1, std::string::npos, drive_path.names.back()) == 0) {
    LastFolder& kept = last_folders_[next_last_folder_];
    next_last_folder_ = (next_last_folder_ + 1) % last_folders_.size();
    kept.text.assign(path, 0, cut);
    kept.letter = drive_path.letter;
    kept.native = out->folder;
  }
  return result;
}

bool PosixPlatform::ResolveInLastFolder(const std::string& path, bool must_exist, NativeEntry* out,
                                        uint32_t* result) {
  const size_t cut = LastSeparator(path);
  if (cut == std::string::npos || cut + 1 >= path.size()) return false;
  const LastFolder* found = nullptr;
  for (const LastFolder& kept : last_folders_) {
    if (kept.letter != 0 && kept.text.size() == cut && path.compare(0, cut, kept.text) == 0) {
      found = &kept;
      break;
    }
  }
  if (found == nullptr) return false;
  const LastFolder& last = *found;
  const std::string_view name = std::string_view(path).substr(cut + 1);
  // A name that is no plain name of its own, or travels mapped, goes the
  // full way.
  if (name == "." || name == ".." || !WindowsCanHoldName(name) || HoldsMappedCharacter(name) ||
      drives_.NotReady(last.letter)) {
    return false;
  }
  *out = NativeEntry();
  out->letter = last.letter;
  std::string native;
  native.reserve(last.native.size() + 1 + name.size());
  native = last.native;
  if (native.back() != '/') native.push_back('/');
  native.append(name);
  return ResolveAsSpelled(std::move(native), last.native, std::string(name), must_exist,
                          out, result);
}

bool PosixPlatform::ResolveAsSpelled(std::string path, std::string folder, const std::string& name,
                                     bool must_exist, NativeEntry* out, uint32_t* result) {
  *result = kErrOk;
  if (lstat(path.c_str(), &out->found) == 0) {
    out->found_as_spelled = true;
    out->exists = true;
    out->folder = std::move(folder);
    out->name = out->requested_name = name;
    out->path = std::move(path);
    return true;
  }
  // Missing as spelled (a new copy's target, or a name spelled otherwise):
  // when its folder is there as spelled, every name on the way is as the
  // walk below would find it, and only the last one needs looking up.
  // One stat instead of two a level.
  struct stat folder_stat;
  if (errno != ENOENT || stat(folder.c_str(), &folder_stat) != 0 || !S_ISDIR(folder_stat.st_mode)) {
    return false;
  }
  out->requested_name = name;
  out->folder_known = true;
  out->folder_key = FolderKeyOf(folder_stat);
  std::optional<std::string> stored;
  // The name is not there as spelled: another spelling or nothing.
  if (HasAsciiLetter(out->requested_name) && !FindsOnlyAsSpelled(folder)) {
    stored = index_.FindCaseless(folder, out->requested_name, &out->folder_key);
  }
  out->exists = stored.has_value();
  out->name = stored ? std::move(*stored) : out->requested_name;
  out->path = JoinNative(folder, out->name);
  out->folder = std::move(folder);
  if (must_exist && !out->exists) *result = kErrFileNotFound;
  return true;
}

bool PosixPlatform::HoldsAnyName(const std::string& folder, int fd) const {
  return RulesOfFolder(folder, fd, volume_seam_).holds_any_name;
}

uint32_t PosixPlatform::HostPath(const DrivePath& drive_path, DrivePath* host, bool* mapped) const {
  *mapped = false;
  bool any = false;
  for (const std::string& name : drive_path.names) {
    if (!WindowsCanHoldName(name)) return kErrInvalidName;
    any = any || HoldsMappedCharacter(name);
  }
  if (!any) return kErrOk;
  *host = drive_path;
  for (size_t i = 0; i < host->names.size(); ++i) {
    std::string& name = host->names[i];
    if (!HoldsMappedCharacter(name)) continue;
    std::string on_disk;
    if (!HostNameOf(name, &on_disk)) return kErrInvalidName;
    if (on_disk != name && i + 1 == host->names.size()) *mapped = true;
    name = std::move(on_disk);
  }
  return kErrOk;
}

uint32_t PosixPlatform::ResolveDrivePath(const DrivePath& engine_path, bool must_exist,
                                         NativeEntry* out) {
  DrivePath host_path;
  bool last_mapped = false;
  if (const uint32_t error = HostPath(engine_path, &host_path, &last_mapped)) return error;
  const DrivePath& drive_path = host_path.letter != 0 ? host_path : engine_path;
  const std::string* root = drives_.Root(drive_path.letter);
  if (!root) return kErrPathNotFound;
  if (drives_.NotReady(drive_path.letter)) return kErrNotReady;
  if (last_mapped) {
    // Asked before any lookup: a vfat folder finds "x." as "x".
    std::string folder = *root;
    for (size_t i = 0; i + 1 < drive_path.names.size(); ++i) {
      folder = JoinNative(folder, drive_path.names[i]);
    }
    if (!IsFolder(folder)) folder = *root;
    if (!HoldsAnyName(folder, -1)) return kErrInvalidName;
  }
  *out = NativeEntry();
  out->letter = drive_path.letter;
  out->trailing_separator = drive_path.trailing_separator;
  if (!drive_path.names.empty()) {
    // Nearly every path exists exactly as spelled. Then one lstat of the
    // whole path answers for all of it: each name on the way exists as
    // given (so the lookup would take it as given) and is a folder or a
    // link to one (the walk went through it), and the root is a folder.
    // Built in one piece (every copy resolves two paths).
    size_t length = root->size();
    for (const std::string& name : drive_path.names) length += name.size() + 1;
    std::string path;
    path.reserve(length);
    path = *root;
    size_t folder_end = path.size();
    for (const std::string& name : drive_path.names) {
      folder_end = path.size();
      if (path.back() != '/') path.push_back('/');
      path.append(name);
    }
    std::string folder = path.substr(0, folder_end);
    uint32_t result = kErrOk;
    if (ResolveAsSpelled(std::move(path), std::move(folder), drive_path.names.back(), must_exist,
                         out, &result)) {
      return result;
    }
  }
  if (!IsFolder(*root)) return kErrPathNotFound;
  if (drive_path.names.empty()) {
    out->path = *root;
    out->is_root = out->exists = true;
    return kErrOk;
  }
  std::string folder = *root;
  for (size_t i = 0; i + 1 < drive_path.names.size(); ++i) {
    int error = 0;
    const std::optional<std::string> stored = StoredName(folder, drive_path.names[i], &error);
    if (error != 0) return Win32FromErrno(error, ErrnoSite::kFolder);
    if (!stored) return kErrPathNotFound;
    folder = JoinNative(folder, *stored);
    if (!IsFolder(folder)) return kErrPathNotFound;
  }
  int error = 0;
  out->requested_name = drive_path.names.back();
  const std::optional<std::string> stored = StoredName(folder, out->requested_name, &error);
  if (error != 0) return Win32FromErrno(error, ErrnoSite::kEntry);
  out->folder = folder;
  out->exists = stored.has_value();
  out->name = stored ? *stored : out->requested_name;
  out->path = JoinNative(folder, out->name);
  if (must_exist && !out->exists) return kErrFileNotFound;
  return kErrOk;
}

bool PosixPlatform::InsideDrive(int fd, char letter) {
  const std::string* root = drives_.Root(letter);
  if (!root || drives_.NotReady(letter)) return false;
  std::string& real_root = real_roots_[static_cast<size_t>(AsciiUpper(letter) - 'A')];
  if (real_root.empty()) {
    char* resolved = realpath(root->c_str(), nullptr);
    if (!resolved) return false;
    real_root = resolved;
    free(resolved);
  }
  if (real_root == "/") return true;
  // The kernel's own name of the open folder: no second walk of a path
  // that could have changed meanwhile.
  char link[32];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  std::string real(PATH_MAX, '\0');
  const ssize_t length = readlink(link, real.data(), real.size());
  // Without /proc (a container that hides it) nothing can be checked.
  if (length < 0) return errno == ENOENT || errno == EACCES;
  real.resize(static_cast<size_t>(length));
  return real == real_root ||
         (real.size() > real_root.size() && real.compare(0, real_root.size(), real_root) == 0 &&
          real[real_root.size()] == '/');
}

int PosixPlatform::OpenFolderInDrive(const std::string& folder, char letter, uint32_t* error) {
  const int fd = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    *error = Win32FromErrno(errno, ErrnoSite::kFolder);
    return -1;
  }
  if (!InsideDrive(fd, letter)) {
    close(fd);
    *error = kErrAccessDenied;
    return -1;
  }
  return fd;
}

DIR* PosixPlatform::OpenListingInDrive(const std::string& folder, char letter, uint32_t* error) {
  // opendir itself: a descriptor opened apart and handed to fdopendir
  // costs two more system calls a folder.
  DIR* dir = opendir(folder.c_str());
  if (!dir) {
    *error = Win32FromErrno(errno, ErrnoSite::kFolder);
    return nullptr;
  }
  if (!InsideDrive(dirfd(dir), letter)) {
    closedir(dir);
    *error = kErrAccessDenied;
    return nullptr;
  }
  return dir;
}

int PosixPlatform::OpenHoldingFolder(const NativeEntry& entry, uint32_t* error) {
  if (entry.is_root) {
    *error = kErrAccessDenied;
    return -1;
  }
  return OpenFolderInDrive(entry.folder, entry.letter, error);
}

bool PosixPlatform::NativeAsSpelled(const DrivePath& engine_path, std::string* native) const {
  DrivePath host_path;
  bool last_mapped = false;
  // A mapped last name goes the full way, which asks the folder's rules.
  if (HostPath(engine_path, &host_path, &last_mapped) != kErrOk || last_mapped) return false;
  const DrivePath& drive_path = host_path.letter != 0 ? host_path : engine_path;
  const std::string* root = drives_.Root(drive_path.letter);
  if (!root || drives_.NotReady(drive_path.letter)) return false;
  size_t length = root->size();
  for (const std::string& name : drive_path.names) length += name.size() + 1;
  // Built in one piece: every folder a scan reads comes here.
  native->reserve(length);
  *native = *root;
  for (const std::string& name : drive_path.names) {
    if (native->back() != '/') native->push_back('/');
    native->append(name);
  }
  return true;
}

std::optional<std::string> PosixPlatform::StoredName(const std::string& folder,
                                                     const std::string& name, int* error) {
  struct stat st;
  if (lstat(JoinNative(folder, name).c_str(), &st) == 0) return name;
  if (errno != ENOENT) {
    *error = errno;
    return std::nullopt;
  }
  // Without a letter there is no other spelling to look for.
  if (!HasAsciiLetter(name) || FindsOnlyAsSpelled(folder)) return std::nullopt;
  return index_.FindCaseless(folder, name);
}

bool PosixPlatform::FindsOnlyAsSpelled(const std::string& folder) const {
  for (const std::string& exact : exact_name_folders_) {
    if (exact == "/" || folder == exact) return true;
    if (folder.size() > exact.size() && folder[exact.size()] == '/' &&
        folder.compare(0, exact.size(), exact) == 0) {
      return true;
    }
  }
  return false;
}

// Each folder as the walk will spell it: its stored names where it exists
// (the folder's own name is found in any case, as before), else as spelled.
void PosixPlatform::SetExactNameFolders(const std::vector<std::string>& folders) {
  exact_name_folders_.clear();
  for (const std::string& folder : folders) {
    NativeEntry entry;
    std::string native;
    DrivePath drive_path;
    if (Resolve(folder, false, &entry) == kErrOk) {
      native = entry.path;
    } else if (!SplitDrivePath(folder, &drive_path) || !NativeAsSpelled(drive_path, &native)) {
      continue;  // no drive: nothing there is found at all
    }
    while (native.size() > 1 && native.back() == '/') native.pop_back();
    exact_name_folders_.push_back(std::move(native));
  }
}

// The attributes of the entry itself: a link's are its own (the reparse
// point, the directory bit of a link to a folder, never read-only), as
// GetFileAttributesA gives them for a link.
uint32_t PosixPlatform::GetAttributes(const std::string& path, uint32_t* attributes) {
  NativeEntry entry;
  if (const uint32_t error = Resolve(path, true, &entry)) return error;
  // The resolution's own lstat of the path, when it took one, is this look.
  struct stat st = entry.found;
  if (!entry.found_as_spelled && lstat(entry.path.c_str(), &st) != 0) return Win32FromErrno(errno);
  uint32_t link_bit = 0;
  if (S_ISLNK(st.st_mode) && !entry.is_root) {
    link_bit = kAttrReparsePoint;
    // A dangling link is a link to no folder.
    if (stat(entry.path.c_str(), &st) != 0) st.st_mode = S_IFLNK | 0777;
  } else if (S_ISLNK(st.st_mode) && stat(entry.path.c_str(), &st) != 0) {
    return Win32FromErrno(errno);
  }
  if (entry.trailing_separator && !S_ISDIR(st.st_mode)) return kErrFileNotFound;
  if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode) && !S_ISLNK(st.st_mode)) {
    *attributes = kAttrDevice | link_bit;
    return kErrOk;
  }
  uint32_t own = AttributesOf(st, entry.is_root ? std::string() : entry.name);
  if (link_bit != 0) own = (own & ~kAttrReadOnly) | link_bit;
  *attributes = own;
  return kErrOk;
}

// Changes the entry itself, never a link's target: a link has no
// permission bits of its own, so it can be made writable (it is) but not
// read-only (5). A FIFO, socket or device is left as it is (5).
uint32_t PosixPlatform::SetAttributes(const std::string& path, uint32_t attributes) {
  NativeEntry entry;
  if (const uint32_t error = Resolve(path, true, &entry)) return error;
  struct stat st;
  if (lstat(entry.path.c_str(), &st) != 0) return Win32FromErrno(errno);
  if (S_ISLNK(st.st_mode) && !entry.is_root) {
    return (attributes & kAttrReadOnly) ? kErrAccessDenied : kErrOk;
  }
  if (S_ISLNK(st.st_mode) && stat(entry.path.c_str(), &st) != 0) return Win32FromErrno(errno);
  // Read-only is not honoured on folders (as on Windows), and hidden follows
  // the name: only a file's read-only bit can change.
  if (S_ISDIR(st.st_mode)) return kErrOk;
  if (!S_ISREG(st.st_mode)) return kErrAccessDenied;
  const mode_t mode = (attributes & kAttrReadOnly) ? (st.st_mode & ~mode_t{0222})
                                                   : (st.st_mode | S_IWUSR);
  if ((mode & 07777) == (st.st_mode & 07777)) return kErrOk;
  return chmod(entry.path.c_str(), mode & 07777) == 0 ? kErrOk : Win32FromErrno(errno);
}

uint32_t PosixPlatform::GetFolderNameRules(const std::string& folder, FolderNameRules* rules) {
  NativeEntry entry;
  if (const uint32_t error = Resolve(folder, true, &entry)) return error;
  if (!IsFolder(entry.path)) return kErrPathNotFound;
  const VolumeRules found = RulesOfFolder(entry.path, -1, volume_seam_);
  rules->tells_case_apart = found.tells_case_apart;
  rules->holds_any_name = found.holds_any_name;
  return kErrOk;
}

uint32_t PosixPlatform::GetLastWriteStamp(const std::string& path, uint32_t* stamp) {
  NativeEntry entry;
  if (const uint32_t error = Resolve(path, true, &entry)) return error;
  struct stat st;
  if (stat(entry.path.c_str(), &st) != 0) return Win32FromErrno(errno);
  *stamp = StampFromUnixTime(st.st_mtim.tv_sec);
  return kErrOk;
}

uint32_t PosixPlatform::SetLastWriteStamp(const std::string& path, uint32_t stamp) {
  NativeEntry entry;
  if (const uint32_t error = Resolve(path, true, &entry)) return error;
  int64_t seconds = 0;
  if (!UnixTimeFromStamp(stamp, &seconds)) return kErrInvalidParameter;
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(seconds);
  times[1].tv_nsec = 0;
  return utimensat(AT_FDCWD, entry.path.c_str(), times, 0) == 0 ? kErrOk : Win32FromErrno(errno);
}

}  // namespace posix
}  // namespace tolvex
