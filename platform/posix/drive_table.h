// Drive letters on POSIX: the table that maps each letter to a native folder
// (the stand-in for the operating system's drive letters, as Wine's
// dosdevices are) and the splitting of a path in drive form.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace tolvex::posix {

// A path in drive form, taken apart: "C:\a\..\b\" is letter 'C', names {"b"}
// and a trailing separator.
struct DrivePath {
  char letter = 0;                 // 'A' to 'Z'
  std::vector<std::string> names;  // below the drive's root; empty for the root
  bool trailing_separator = false;
};

// Splits `path` ("C:\a\b", '/' is a separator too). "." names are dropped and
// ".." removes the name before it, but never climbs above the drive's root.
// False for a path without a drive letter ("a\b", "\\server\share").
bool SplitDrivePath(const std::string& path, DrivePath* out);

struct MountRules;  // mount_points.h

class DriveTable {
 public:
  // "C=/home/me;D=/mnt/usb": letters in either case; entries that are not
  // of the form letter '=' absolute-folder are ignored; a later entry for a
  // letter replaces an earlier one. "E=mounted /media/usb" demands that the
  // folder be a mount point with a file system mounted on it.
  static DriveTable Parse(const std::string& text);
  // From TOLVEX_DRIVES; when it is unset, only Z: exists and is "/". Drives
  // whose folder waits for a disk (mount_points.h) are marked not ready.
  static DriveTable FromEnvironment();

  // The native folder of `letter` (either case) without a trailing slash
  // ("/" for the file-system root), or nullptr when the letter is unmapped.
  const std::string* Root(char letter) const;
  // True when the entry of `letter` demands a mount point.
  bool MustBeMountPoint(char letter) const;
  // True when the folder of `letter` is a mount point with nothing mounted
  // on it (judged by MarkDrivesAwaitingMount): the drive is not ready.
  bool NotReady(char letter) const;
  // Judges each mapped drive whose folder exists by `rules`.
  void MarkDrivesAwaitingMount(const MountRules& rules);

 private:
  std::array<std::string, 26> roots_;  // empty: unmapped
  std::array<bool, 26> must_be_mount_point_{};
  std::array<bool, 26> not_ready_{};
};

}  // namespace tolvex::posix
