#include "platform/posix/volume_rules.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <sstream>

namespace tolvex::posix {

namespace {

// The file systems that hold any name and tell case apart (statfs f_type).
constexpr uint32_t kPosixNamedTypes[] = {
    0xEF53,      // ext2, ext3, ext4
    0x58465342,  // xfs
    0x9123683E,  // btrfs
    0x01021994,  // tmpfs
    0x858458F6,  // ramfs
    0x794C7630,  // overlayfs
    0x2FC12FC1,  // zfs
    0xF2F52010,  // f2fs
    0xCA451A4E,  // bcachefs
};

#ifndef FS_CASEFOLD_FL
#define FS_CASEFOLD_FL 0x40000000
#endif

bool IsAtOrBelow(const std::string& folder, const std::string& top) {
  if (top.empty()) return false;
  if (folder.compare(0, top.size(), top) != 0) return false;
  return folder.size() == top.size() || folder[top.size()] == '/' || top.back() == '/';
}

bool Listed(const std::string& folder, const std::vector<std::string>& tops) {
  for (const std::string& top : tops) {
    if (IsAtOrBelow(folder, top)) return true;
  }
  return false;
}

std::vector<std::string> Folders(const std::string& list) {
  std::vector<std::string> folders;
  std::istringstream parts(list);
  std::string folder;
  while (std::getline(parts, folder, ':')) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (!folder.empty()) folders.push_back(folder);
  }
  return folders;
}

}  // namespace

VolumeSeam VolumeSeamFromEnvironment() {
  VolumeSeam seam;
  const char* text = std::getenv("TOLVEX_TEST_VOLUMES");
  if (text == nullptr) return seam;
  std::istringstream parts(text);
  std::string part;
  while (std::getline(parts, part, ';')) {
    const size_t equals = part.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = part.substr(0, equals);
    if (key == "caseless") seam.caseless = Folders(part.substr(equals + 1));
    if (key == "windows-names") seam.windows_names = Folders(part.substr(equals + 1));
  }
  return seam;
}

VolumeRules RulesOfFolder(const std::string& folder, int fd, const VolumeSeam& seam) {
  VolumeRules rules;
  int own = -1;
  if (fd < 0) {
    own = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
    fd = own;
  }
  struct statfs info {};
  if (fd >= 0 && fstatfs(fd, &info) == 0) {
    const uint32_t type = static_cast<uint32_t>(info.f_type);
    for (const uint32_t known : kPosixNamedTypes) {
      if (type == known) rules.holds_any_name = rules.tells_case_apart = true;
    }
    // The casefold attribute needs a descriptor that can be read (an
    // O_PATH one cannot be asked): the caller's own may be either.
    if (rules.tells_case_apart) {
      int flags = 0;
      int asked = fd;
      int reopened = -1;
      if (ioctl(asked, FS_IOC_GETFLAGS, &flags) != 0 && errno == EBADF) {
        reopened = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
        asked = reopened;
        flags = 0;
        if (asked < 0 || ioctl(asked, FS_IOC_GETFLAGS, &flags) != 0) flags = 0;
      }
      if (flags & FS_CASEFOLD_FL) rules.tells_case_apart = false;
      if (reopened >= 0) close(reopened);
    }
  }
  if (own >= 0) close(own);
  if (Listed(folder, seam.windows_names)) rules.holds_any_name = rules.tells_case_apart = false;
  if (Listed(folder, seam.caseless)) rules.tells_case_apart = false;
  return rules;
}

}  // namespace tolvex::posix
