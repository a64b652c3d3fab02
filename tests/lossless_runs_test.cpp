// Runs on real trees where a plain reading of the job would destroy or
// misreport a version of a file: each test shows one such way and holds the
// behaviour that keeps every version.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "model/program_state.h"
#include "model/records.h"
#include "tests/run_fixture.h"

namespace tolvex::runtest {
namespace {

using Lines = std::vector<std::string>;
using Calls = std::vector<NotifyCall>;

class LosslessRun : public RunTest {};

// --- Full paths from two drives ---------------------------------------------------

// S:\a\* and U:\b\* into T:\ with full paths: T:\a\ belongs to S:, T:\b\ to
// U:. Each destination folder is paired with the drive of the include whose
// twin holds it, never with the first include's drive.
class TwoDrives : public LosslessRun {
 protected:
  TwoDrives() {
    job_.dirIncludes = {"S:\\a\\*", "U:\\b\\*"};
    job_.destination = "T:\\";
  }
  // Both files backed up, as a first run leaves them.
  void WriteBackedUp() {
    for (const char* path : {"S:\\a\\s.txt", "T:\\a\\s.txt"}) Write(path, "s", kOld);
    for (const char* path : {"U:\\b\\u.txt", "T:\\b\\u.txt"}) Write(path, "u", kOld);
  }
  void ExpectEverythingKept() {
    EXPECT_EQ(Read("S:\\a\\s.txt"), "s");
    EXPECT_EQ(Read("T:\\a\\s.txt"), "s");
    EXPECT_EQ(Read("U:\\b\\u.txt"), "u");
    EXPECT_EQ(Read("T:\\b\\u.txt"), "u");
    EXPECT_FALSE(Exists("S:\\b"));
  }
};

TEST_F(TwoDrives, OneWayRunsKeepTheBackupOfTheSecondDrive) {
  Write("S:\\a\\s.txt", "s", kOld);
  Write("U:\\b\\u.txt", "u", kOld);
  job_.orphanModeD2 = 2;

  ASSERT_EQ(Run(), 1);
  EXPECT_EQ(LogBody(), (Lines{"File copied: S:\\a\\s.txt", "to: T:\\a\\s.txt",
                              "File copied: U:\\b\\u.txt", "to: T:\\b\\u.txt"}));
  for (int run = 2; run <= 3; ++run) {
    SCOPED_TRACE(run);
    ASSERT_EQ(Run(), 1);
    EXPECT_EQ(LogBody(), Lines{"No files found."});
    ExpectEverythingKept();
  }
}

TEST_F(TwoDrives, TwoWayRunsEraseNeitherCopyOfTheSecondDrive) {
  WriteBackedUp();
  job_.touchMode = 1;
  job_.orphanModeB = 2;

  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE(run);
    ASSERT_EQ(Run(), 1);
    EXPECT_EQ(LogBody(), Lines{"No files found."});
    ExpectEverythingKept();
  }
}

TEST_F(TwoDrives, TwoWayRunCopiesBackToTheDriveTheFolderCameFrom) {
  WriteBackedUp();
  Write("T:\\b\\u.txt", "u, changed in the backup", kNew);
  Write("S:\\b\\u.txt", "a file nobody selected", kOld);
  job_.touchMode = 1;

  ASSERT_EQ(Run(), 1);

  EXPECT_EQ(LogBody(), (Lines{"File copied: T:\\b\\u.txt", "to: U:\\b\\u.txt"}));
  EXPECT_EQ(Read("U:\\b\\u.txt"), "u, changed in the backup");
  EXPECT_EQ(Read("S:\\b\\u.txt"), "a file nobody selected");
}

// --- Include folders that are missing ---------------------------------------------

// A typo, a disk not mounted, a folder renamed: the include names no folder.
// Its twin in the backup still holds the last copies, which are no orphans:
// the twin is not scanned, and the missing include is reported.
TEST_F(LosslessRun, MissingIncludeFolderLeavesItsBackupAlone) {
  struct Case {
    const char* what;
    int touchMode;
    int orphanMode;  // OrphanModeD2 for touch mode 0, OrphanModeB for 1
  };
  const Case cases[] = {
      {"one way, erasing orphans", 0, 2},
      {"both ways, erasing orphans", 1, 2},
      {"both ways, copying orphans", 1, 0},  // would make the missing folder again
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(drives_.Native("T:\\Backup"));
    Write("S:\\Data\\a.txt", "a", kOld);
    Write("T:\\Backup\\Data\\a.txt", "a", kOld);
    Write("T:\\Backup\\Photos\\p.jpg", "the only copy left", kOld);
    Write("T:\\Backup\\Photos\\2019\\q.jpg", "q", kOld);
    job_.dirIncludes = {"S:\\Data\\*", "S:\\Photos\\*"};
    job_.touchMode = c.touchMode;
    job_.orphanModeD2 = c.touchMode == 0 ? c.orphanMode : 1;
    job_.orphanModeB = c.orphanMode;
    job_.createSrcDirs = 1;

    ASSERT_EQ(Run(), 1);

    EXPECT_EQ(LogBody(), (Lines{"Missing folder: S:\\Photos\\*", "No files found."}));
    EXPECT_EQ(Read("T:\\Backup\\Photos\\p.jpg"), "the only copy left");
    EXPECT_EQ(Read("T:\\Backup\\Photos\\2019\\q.jpg"), "q");
    EXPECT_FALSE(Exists("S:\\Photos"));
  }
}

}  // namespace
}  // namespace tolvex::runtest
