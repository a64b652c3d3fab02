// Drive folders that wait for a disk, judged on real folders: the fstab, the
// mounts list and the mount roots are files and folders of a temporary tree,
// so no disk is mounted for the test.
#ifndef _WIN32

#include "platform/posix/mount_points.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/posix/drive_table.h"

namespace tolvex::posix {
namespace {

class MountPointsTest : public ::testing::Test {
 protected:
  MountPointsTest() {
    root_ = std::filesystem::temp_directory_path() /
            ("tolvex-mounts-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(root_);
    for (const char* folder : {"media/usb/backup", "run/media/me/USB", "data/jobs", "home/me",
                               "mnt/with space", "mnt/disk"}) {
      std::filesystem::create_directories(root_ / folder);
    }
    rules_.fstab = Path("fstab");
    rules_.mounts = Path("mounts");
    rules_.roots = {Path("media"), Path("run/media"), Path("mnt")};
    Write("fstab", "# <device> <mount point> <type>\nUUID=1 / ext4 defaults 0 1\n"
                   "UUID=2 " + Path("data") + " ext4 noauto 0 2\n"
                   "UUID=3 none swap sw 0 0\n");
    Write("mounts", "");
  }
  ~MountPointsTest() override { std::filesystem::remove_all(root_); }

  std::string Path(const std::string& relative) const { return (root_ / relative).string(); }
  void Write(const std::string& name, const std::string& text) const {
    std::ofstream(root_ / name) << text;
  }
  bool Awaits(const std::string& relative, bool must_be_mount_point = false) const {
    return AwaitsMount(Path(relative), must_be_mount_point, rules_);
  }

  std::filesystem::path root_;
  MountRules rules_;
};

// A mount point with nothing mounted on it, and every folder in it, waits
// for its disk; once the mounts list names it (the disk is there), none
// does. Folders outside the mount roots and the fstab are plain folders.
TEST_F(MountPointsTest, FoldersOfMountPointsWithNothingMountedWaitForTheirDisk) {
  struct Case {
    const char* folder;
    bool waits;
  };
  const Case unmounted[] = {
      {"media/usb", true},           // below a mount root
      {"media/usb/backup", true},    // a folder in it
      {"run/media/me/USB", true},    // deeper below a mount root
      {"mnt/with space", true},
      {"data", true},                // listed in the fstab
      {"data/jobs", true},
      {"home/me", false},            // a plain folder
      {"media", false},              // the mount root itself
  };
  for (const Case& c : unmounted) {
    SCOPED_TRACE(c.folder);
    EXPECT_EQ(Awaits(c.folder), c.waits);
  }
  // The mounts list writes a space as \040.
  Write("mounts", "/dev/sdb1 " + Path("media/usb") + " vfat rw 0 0\n/dev/sdc1 " + Path("data") +
                      " ext4 rw 0 0\n/dev/sdd1 " + Path("run/media/me/USB") +
                      " vfat rw 0 0\n/dev/sde1 " + Path("mnt") + "/with\\040space vfat rw 0 0\n");
  for (const char* folder :
       {"media/usb", "media/usb/backup", "run/media/me/USB", "mnt/with space", "data/jobs"}) {
    SCOPED_TRACE(folder);
    EXPECT_FALSE(Awaits(folder));
  }
}

// A drive entry may demand a mount point: a plain folder then waits too.
TEST_F(MountPointsTest, ADemandedMountPointMustBeMounted) {
  EXPECT_TRUE(Awaits("home/me", true));
  Write("mounts", "/dev/sdb1 " + Path("home/me") + " ext4 rw 0 0\n");
  EXPECT_FALSE(Awaits("home/me", true));
}

// The drive table marks such drives not ready; "mounted " before a folder
// demands a mount point; a missing folder is no drive, not a waiting one.
TEST_F(MountPointsTest, TheDriveTableMarksDrivesThatWaitAsNotReady) {
  DriveTable table = DriveTable::Parse("E=" + Path("media/usb") + ";H=" + Path("home/me") +
                                       ";M=mounted " + Path("home/me") + ";X=" +
                                       Path("media/gone"));
  table.MarkDrivesAwaitingMount(rules_);
  EXPECT_TRUE(table.NotReady('E'));
  EXPECT_FALSE(table.NotReady('H'));
  EXPECT_TRUE(table.MustBeMountPoint('M'));
  EXPECT_EQ(*table.Root('M'), Path("home/me"));
  EXPECT_TRUE(table.NotReady('M'));
  EXPECT_FALSE(table.NotReady('X'));
  EXPECT_FALSE(table.NotReady('Q'));
}

}  // namespace
}  // namespace tolvex::posix

#endif  // _WIN32
