// The POSIX side of TestDrives: a temporary directory with one folder per
// letter, mapped through TOLVEX_DRIVES. Fixtures are written with plain
// POSIX calls, not through the platform layer under test; only stamps go
// through Sys().SetLastWriteStamp, which knows the local-time rules.
#include <fcntl.h>
#include <sys/file.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/platform.h"
#include "testing/test_drives.h"

namespace tolvex {

namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path) {
  throw std::runtime_error("TestDrives: " + what + " " + path + " (" + std::strerror(errno) + ")");
}

void MakeNativeDirs(const std::string& path) {
  for (size_t at = 1; at <= path.size(); ++at) {
    if (at < path.size() && path[at] != '/') continue;
    const std::string prefix = path.substr(0, at);
    if (mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) Fail("cannot create folder", prefix);
  }
}

// Tests leave read-only files behind, and may take the write bit off a
// folder; give everything back its owner's rights before removing it.
int RestoreRights(const char* path, const struct stat* st, int type, struct FTW*) {
  if (type == FTW_D || type == FTW_DP) {
    chmod(path, (st->st_mode & 07777) | S_IRWXU);
  } else if (type == FTW_F) {
    chmod(path, (st->st_mode & 07777) | S_IRUSR | S_IWUSR);
  }
  return 0;
}

int RemoveEntry(const char* path, const struct stat*, int type, struct FTW*) {
  if (type == FTW_DP) {
    rmdir(path);
  } else {
    unlink(path);
  }
  return 0;
}

}  // namespace

bool RunningUnderWine() { return false; }

TestDrives::TestDrives(const std::string& letters) : letters_(letters) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && tmp[0] == '/' ? tmp : "/tmp") + "/tolvex-drives-XXXXXX";
  if (!mkdtemp(pattern.data())) Fail("cannot create", pattern);
  base_ = pattern;
  std::string table;
  for (const char letter : letters_) {
    if (letter < 'S' || letter > 'W') {
      throw std::runtime_error("TestDrives: only S to W are test drives, not " +
                               std::string(1, letter));
    }
    const std::string folder = base_ + "/" + letter;
    if (mkdir(folder.c_str(), 0777) != 0) Fail("cannot create", folder);
    if (!table.empty()) table += ';';
    table += std::string(1, letter) + "=" + folder;
  }
  if (const char* previous = std::getenv("TOLVEX_DRIVES")) {
    had_drives_ = true;
    saved_drives_ = previous;
  }
  setenv("TOLVEX_DRIVES", table.c_str(), 1);
  Sys().ReloadDrives();
}

TestDrives::~TestDrives() {
  nftw(base_.c_str(), RestoreRights, 16, FTW_PHYS);
  nftw(base_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
  if (had_drives_) {
    setenv("TOLVEX_DRIVES", saved_drives_.c_str(), 1);
  } else {
    unsetenv("TOLVEX_DRIVES");
  }
  Sys().ReloadDrives();
}

std::string TestDrives::Root(char letter) { return std::string(1, letter) + ":\\"; }

std::string TestDrives::Native(const std::string& path) const {
  if (path.size() < 2 || path[1] != ':') throw std::runtime_error("TestDrives: not a drive path " + path);
  std::string native = base_ + "/" + static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
  for (size_t i = 2; i < path.size(); ++i) native += path[i] == '\\' ? '/' : path[i];
  while (native.size() > base_.size() + 2 && native.back() == '/') native.pop_back();
  return native;
}

void TestDrives::MakeDirs(const std::string& path) const { MakeNativeDirs(Native(path)); }

void TestDrives::WriteFile(const std::string& path, const std::string& content,
                           uint32_t stamp) const {
  const std::string native = Native(path);
  MakeNativeDirs(native.substr(0, native.find_last_of('/')));
  {
    std::ofstream out(native, std::ios::binary | std::ios::trunc);
    if (!out) Fail("cannot create", native);
    out << content;
    if (!out.flush()) Fail("cannot write", native);
  }
  if (stamp != 0 && Sys().SetLastWriteStamp(path, stamp) != 0) {
    Fail("cannot set the stamp of", path);
  }
}

std::string TestDrives::ReadFile(const std::string& path) const {
  std::ifstream in(Native(path), std::ios::binary);
  if (!in) return std::string();
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void TestDrives::WriteSparseFile(const std::string& path, uint64_t size,
                                 const std::vector<Piece>& pieces, uint32_t stamp) const {
  const std::string native = Native(path);
  MakeNativeDirs(native.substr(0, native.find_last_of('/')));
  const int fd = open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) Fail("cannot create", native);
  bool written = ftruncate(fd, static_cast<off_t>(size)) == 0;
  for (const Piece& piece : pieces) {
    written = written && pwrite(fd, piece.bytes.data(), piece.bytes.size(),
                                static_cast<off_t>(piece.offset)) ==
                             static_cast<ssize_t>(piece.bytes.size());
  }
  if (close(fd) != 0 || !written) Fail("cannot write", native);
  if (stamp != 0 && Sys().SetLastWriteStamp(path, stamp) != 0) {
    Fail("cannot set the stamp of", path);
  }
}

std::string TestDrives::ReadAt(const std::string& path, uint64_t offset, size_t length) const {
  const int fd = open(Native(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::string();
  std::string bytes(length, '\0');
  const ssize_t got = pread(fd, bytes.data(), length, static_cast<off_t>(offset));
  close(fd);
  bytes.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return bytes;
}

bool TestDrives::MakeLink(const std::string& target, const std::string& link) const {
  return symlink(Native(target).c_str(), Native(link).c_str()) == 0;
}

bool TestDrives::MakeFifo(const std::string& path) const {
  return mkfifo(Native(path).c_str(), 0600) == 0;
}

bool TestDrives::Exists(const std::string& path) const {
  struct stat st;
  return lstat(Native(path).c_str(), &st) == 0;
}

HeldFile::HeldFile(const TestDrives& drives, const std::string& path) {
  const int fd = open(drives.Native(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return;
  }
  handle_ = fd;
}

HeldFile::~HeldFile() {
  if (held()) close(static_cast<int>(handle_));
}

}  // namespace tolvex
