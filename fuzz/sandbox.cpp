#include "fuzz/sandbox.h"

#include <fcntl.h>
#include <ftw.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/platform.h"
#include "platform/posix/drive_table.h"
#include "platform/text_rules.h"

namespace tolvex::fuzz {

namespace {

[[noreturn]] void SetupFailure(const std::string& what) {
  std::fprintf(stderr, "fuzz sandbox: %s (%s)\n", what.c_str(), std::strerror(errno));
  std::abort();
}

std::string RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) == nullptr) SetupFailure("cannot resolve " + path);
  return resolved;
}

void MakeFolder(const std::string& path) {
  if (mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) SetupFailure("cannot create " + path);
}

// Gives the owner back every right (a run may leave read-only files), then
// removes the entry.
int RemoveEntry(const char* path, const struct stat* st, int type, struct FTW*) {
  if (type == FTW_DP) {
    chmod(path, (st->st_mode & 07777) | S_IRWXU);
    rmdir(path);
  } else {
    unlink(path);
  }
  return 0;
}

int MakeWritable(const char* path, const struct stat* st, int type, struct FTW*) {
  if (type == FTW_D) chmod(path, (st->st_mode & 07777) | S_IRWXU);
  return 0;
}

void RemoveTree(const std::string& path, bool keep_top) {
  nftw(path.c_str(), MakeWritable, 16, FTW_PHYS);
  nftw(path.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
  if (keep_top) MakeFolder(path);
}

std::string ReadContent(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

TreeSnapshot* snapshot_target = nullptr;

int RecordEntry(const char* path, const struct stat* st, int type, struct FTW*) {
  EntryState state;
  state.folder = type == FTW_D || type == FTW_DNR;
  if (type == FTW_F) state.content = ReadContent(path);
  state.mtime_ns = static_cast<int64_t>(st->st_mtim.tv_sec) * 1000000000 + st->st_mtim.tv_nsec;
  state.mode = st->st_mode;
  (*snapshot_target)[path] = std::move(state);
  return 0;
}

// Where the sandbox lives: TOLVEX_FUZZ_TMPDIR when set (scripts/fuzz.sh
// gives each run its own, and removes what a crashed target left); else in
// memory where the machine has it, since every copy of the engine ends with
// an fsync that costs a disk flush elsewhere (about five times the inputs
// per second); else TMPDIR or /tmp.
std::string TemporaryRoot() {
  const char* own = std::getenv("TOLVEX_FUZZ_TMPDIR");
  if (own && own[0] == '/') return own;
  if (access("/dev/shm", W_OK | X_OK) == 0) return "/dev/shm";
  const char* tmp = std::getenv("TMPDIR");
  return tmp && tmp[0] == '/' ? tmp : "/tmp";
}

}  // namespace

void Violation(const std::string& what) {
  // Bytes outside printable ASCII are shown as \xHH: texts from the input
  // hold any byte, NUL included.
  std::string shown;
  for (const unsigned char c : what) {
    static const char kHex[] = "0123456789ABCDEF";
    if (c >= 0x20 && c < 0x7F) {
      shown += static_cast<char>(c);
    } else {
      shown += std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
    }
  }
  std::fprintf(stderr, "\n==== fuzz invariant violated: %s\n", shown.c_str());
  std::fflush(stderr);
  std::abort();
}

Sandbox::Sandbox(const std::string& letters) : letters_(letters) {
  for (const char letter : letters_) {
    if (letter < 'A' || letter > 'Y') SetupFailure(std::string("not a sandbox letter: ") + letter);
  }
  std::string pattern = TemporaryRoot() + "/tolvex-fuzz-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) SetupFailure("cannot create " + pattern);
  base_ = RealPath(pattern);
  std::string table;
  for (const char letter : letters_) {
    MakeFolder(Root(letter));
    if (!table.empty()) table += ';';
    table += std::string(1, letter) + "=" + Root(letter);
  }
  // An empty table still maps nothing (the default Z: needs the variable unset).
  setenv("TOLVEX_DRIVES", table.c_str(), 1);
  setenv("HOME", Folder("home").c_str(), 1);
  setenv("XDG_CONFIG_HOME", Folder("config").c_str(), 1);
  Sys().ReloadDrives();
  RefuseToStartOutside();
}

Sandbox::~Sandbox() { RemoveTree(base_, false); }

void Sandbox::RefuseToStartOutside() const {
  const posix::DriveTable table = posix::DriveTable::FromEnvironment();
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const std::string* root = table.Root(letter);
    const bool wanted = letters_.find(letter) != std::string::npos;
    if (root == nullptr) {
      if (wanted) Violation(std::string("refusing to start: drive ") + letter + ": is not mapped");
      continue;
    }
    if (!wanted) {
      Violation(std::string("refusing to start: drive ") + letter + ": maps " + *root +
                ", which the sandbox did not ask for");
    }
    if (!LiesIn(RealPath(*root), base_) || RealPath(*root) == base_) {
      Violation("refusing to start: drive " + std::string(1, letter) + ": maps " + *root +
                ", outside the sandbox " + base_);
    }
  }
  // The platform itself must agree: an unmapped letter is no drive at all.
  for (const char letter : {'Z', 'C'}) {
    uint64_t free_bytes = 0;
    if (Sys().DiskFreeSpace(std::string(1, letter) + ":\\", &free_bytes) == kErrOk) {
      Violation(std::string("refusing to start: the platform still reaches ") + letter + ":");
    }
  }
}

std::string Sandbox::Root(char letter) const { return base_ + "/drive-" + letter; }

std::string Sandbox::Folder(const std::string& name) const {
  const std::string folder = base_ + "/" + name;
  MakeFolder(folder);
  return folder;
}

void Sandbox::Clear(char letter) const { RemoveTree(Root(letter), true); }

void Sandbox::MakeDirs(const std::string& native) const {
  for (size_t at = base_.size() + 1; at <= native.size(); ++at) {
    if (at < native.size() && native[at] != '/') continue;
    MakeFolder(native.substr(0, at));
  }
}

void Sandbox::WriteFile(const std::string& native, const std::string& content,
                        int64_t unix_seconds, bool read_only) const {
  if (!LiesIn(native, base_)) Violation("the sandbox may not write " + native);
  MakeDirs(native.substr(0, native.find_last_of('/')));
  {
    std::ofstream out(native, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out.flush()) SetupFailure("cannot write " + native);
  }
  const struct timespec times[2] = {{unix_seconds, 0}, {unix_seconds, 0}};
  if (utimensat(AT_FDCWD, native.c_str(), times, 0) != 0) SetupFailure("cannot date " + native);
  if (read_only && chmod(native.c_str(), 0444) != 0) SetupFailure("cannot protect " + native);
}

std::string Sandbox::NativeOf(const std::string& drive_path) const {
  posix::DrivePath split;
  if (!posix::SplitDrivePath(drive_path, &split)) return std::string();
  if (letters_.find(split.letter) == std::string::npos) return std::string();
  std::string native = Root(split.letter);
  for (const std::string& name : split.names) native += "/" + name;
  return native;
}

TreeSnapshot SnapshotTree(const std::string& native_root) {
  TreeSnapshot snapshot;
  snapshot_target = &snapshot;
  nftw(native_root.c_str(), RecordEntry, 16, FTW_PHYS);
  snapshot_target = nullptr;
  return snapshot;
}

bool LiesIn(const std::string& native, const std::string& folder) {
  if (native.size() < folder.size()) return false;
  if (AsciiLowerText(native.substr(0, folder.size())) != AsciiLowerText(folder)) return false;
  return native.size() == folder.size() || native[folder.size()] == '/' || folder.back() == '/';
}

}  // namespace tolvex::fuzz
