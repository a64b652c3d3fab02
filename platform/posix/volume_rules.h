// What the file system of a folder tells apart and can hold: whether two
// names that differ only in letter case are two files, and whether names
// Windows cannot hold (host_names.h) can be made there.
//
// Linux tells by the file system's type (statfs): ext2/3/4, xfs, btrfs,
// tmpfs, overlayfs, zfs, f2fs and bcachefs hold any name and tell case
// apart, unless the folder carries the casefold attribute (ext4, f2fs,
// tmpfs, bcachefs), which makes it ignore case. Every other type (vfat,
// exfat, msdos, ntfs3, network file systems, what this table does not
// know) counts as ignoring case and holding only Windows names: the side
// where nothing is merged or silently renamed. A vfat folder would take
// "x." for "x", and ntfs3 folds case or not by its mount.
//
// Tests stand in for such volumes without mounting one:
// TOLVEX_TEST_VOLUMES="caseless=DIR:DIR;windows-names=DIR:DIR" makes the
// listed folders, and every folder below them, ignore case (caseless) or
// hold only Windows names (windows-names; such a folder ignores case too,
// as a FAT disk does).
#pragma once

#include <string>
#include <vector>

namespace tolvex::posix {

struct VolumeRules {
  bool tells_case_apart = false;
  bool holds_any_name = false;
};

// The folders the test switch names.
struct VolumeSeam {
  std::vector<std::string> caseless;
  std::vector<std::string> windows_names;
};

// TOLVEX_TEST_VOLUMES as it is now; empty when unset.
VolumeSeam VolumeSeamFromEnvironment();

// The rules of native `folder` (an existing folder; `fd` an open descriptor
// of it, or -1 to open it here). A folder that cannot be asked gets the
// safe answers (ignores case, holds only Windows names).
VolumeRules RulesOfFolder(const std::string& folder, int fd, const VolumeSeam& seam);

}  // namespace tolvex::posix
