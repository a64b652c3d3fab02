// Drive folders that wait for a disk: a mount point with nothing mounted on
// it is an empty folder of the disk that holds it. A backup written there
// fills the internal disk instead of the backup disk, without a word; on
// Windows the same job finds no drive and stops. Such a drive answers
// ERROR_NOT_READY (21) to every call, as a Windows drive without its medium
// does.
#pragma once

#include <string>
#include <vector>

namespace tolvex::posix {

// Where the back end learns which folders are mount points.
struct MountRules {
  std::string fstab = "/etc/fstab";          // the mount points the system knows
  std::string mounts = "/proc/self/mounts";  // what is mounted now
  // Folders below which every folder is a place to mount a disk (desktops
  // mount removable disks there).
  std::vector<std::string> roots = {"/media", "/run/media", "/mnt"};
};

// True when native `folder` (an existing folder) is a mount point with no
// file system mounted on it now, or lies in such a folder: it, or a folder
// above it, is listed in the fstab and not mounted; or it lies below one of
// the roots with nothing mounted from the root down to it. With
// `must_be_mount_point` (the drive table demands it), also when `folder`
// itself is not mounted. A folder is mounted when the mounts list names it
// or when it lies on another device than its parent.
bool AwaitsMount(const std::string& folder, bool must_be_mount_point, const MountRules& rules);

// The rules in force: the system's, or those of TOLVEX_TEST_MOUNTS when it is
// set ("fstab=FILE;mounts=FILE;roots=DIR:DIR", each part optional; a part
// left out is empty), which lets tests on real trees stand in for disks that
// are not mounted, without mounting anything.
MountRules CurrentMountRules();

}  // namespace tolvex::posix
