// Runs of the tolvex command that must stop before they change anything,
// end to end on real trees: a run the erase guard stops leaves the
// generation folders as they were, a disk that is not mounted is a drive
// that is not ready, and a destination the job may not create ends the run
// at once.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <map>
#include <string>

#include "tests/command_fixture.h"

namespace {

using namespace tolvex::command_test;

class CommandStops : public TolvexCommand {
 protected:
  // Every file below `folder` with its content, and every folder.
  std::map<std::string, std::string> TreeOf(const std::string& folder) const {
    std::map<std::string, std::string> tree;
    if (!Exists(folder)) return tree;
    for (const auto& entry : fs::recursive_directory_iterator(root_ / folder)) {
      const std::string name = fs::relative(entry.path(), root_).generic_string();
      tree[entry.is_directory() ? name + "/" : name] =
          entry.is_directory() ? "" : ReadText(entry.path());
    }
    return tree;
  }
  // Writes the twenty source files with `content`, dated `age` ago.
  void PutSource(const std::string& content, std::chrono::hours age) const {
    for (int k = 0; k < 20; ++k) Put("source/file" + std::to_string(k) + ".txt", content, age);
  }
};

// The story of a rotating backup whose source became empty: two runs the
// erase guard stopped (asked, then with --yes) each rotated the generations,
// so that the newest backup became the working folder, and --force then
// erased it. Stopped runs now leave every generation where it was, and the
// forced run erases the oldest generation, never the newest.
TEST_F(CommandStops, RunsTheEraseGuardStopsLeaveTheGenerationsAsTheyWere) {
  WriteJob("VaryMode = generations\nOrphanModeD2 = erase");
  for (const char* version : {"v1", "v2", "v3"}) {
    PutSource(version, std::chrono::hours(96 - 24 * (version[1] - '1')));
    const Result run = RunJob();
    ASSERT_EQ(run.status, 0) << run.out << run.err;
  }
  ASSERT_EQ(Get("backup/Grandson/file0.txt"), "v3");
  ASSERT_EQ(Get("backup/Son/file0.txt"), "v2");
  ASSERT_EQ(Get("backup/Father/file0.txt"), "v1");
  fs::remove_all(root_ / "source");
  fs::create_directories(root_ / "source");
  const auto before = TreeOf("backup");

  for (const char* options : {"", "--yes"}) {
    SCOPED_TRACE(options);
    const Result stopped = RunJob(options);
    EXPECT_STATUS(stopped, 1);
    EXPECT_NE(stopped.err.find("the plan erases 20 of the 20 files"), std::string::npos)
        << stopped.err;
    EXPECT_EQ(TreeOf("backup"), before);
  }

  const Result forced = RunJob("--force");
  EXPECT_STATUS(forced, 0);
  // The oldest generation became the working folder and was emptied; the
  // newest files are still in a generation.
  EXPECT_FALSE(Exists("backup/Grandson/file0.txt"));
  EXPECT_EQ(Get("backup/Son/file0.txt"), "v3");
  EXPECT_EQ(Get("backup/Father/file0.txt"), "v2");
}

#if !defined(_WIN32)

// A backup disk that is not mounted: its mount point is an empty folder of
// the internal disk. Named in [Drives], named by its native path, or
// demanded with "mounted", its drive is not ready: the run and the plan
// stop with a message that says so, and nothing is written into the folder.
// The mount roots are a folder of the test tree (TOLVEX_TEST_MOUNTS).
TEST_F(CommandStops, ABackupDiskThatIsNotMountedIsADriveThatIsNotReady) {
  fs::create_directories(root_ / "media" / "usb");
  fs::create_directories(root_ / "disk");
  PutSource("v1", 48h);
  const std::string mounts = "TOLVEX_TEST_MOUNTS='roots=" + P("media") + "' ";
  struct Case {
    const char* how;
    std::string job;
    std::string sections;
    std::string environment;
    std::string empty_folder;
  };
  const Case cases[] = {
      {"[Drives] E = the mount point", "Destination = E:\\backup",
       "[Drives]\nE = " + P("media/usb") + "\n", mounts, "media/usb"},
      {"the native path below the mount point", "Destination = " + P("media/usb/backup"), "",
       mounts, "media/usb"},
      {"[Drives] E = mounted, a plain folder", "Destination = E:\\backup",
       "[Drives]\nE = mounted " + P("disk") + "\n", "", "disk"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    // WriteJob names its own Destination first; a second one would be an
    // error, so the job is written whole here.
    std::ofstream(root_ / "job.job", std::ios::binary)
        << "[Job]\n" << c.job << "\nLogFile = " << P("run.log") << "\nVaryMode = generations"
        << "\nCreateDestDirs = yes\n[DInclSels]\n" << P("source") << Star()
        << "\n[FInclSels]\n*.*\n" << c.sections;
    for (const char* command : {"plan ", ""}) {
      SCOPED_TRACE(command);
      const Result stopped =
          Run(std::string(command) + "\"" + P("job.job") + "\"", c.environment);
      EXPECT_STATUS(stopped, 3);
      EXPECT_NE((stopped.out + stopped.err).find("is not ready: no disk is mounted there"),
                std::string::npos)
          << stopped.out << stopped.err;
      EXPECT_TRUE(fs::is_empty(root_ / c.empty_folder));
    }
  }
  EXPECT_NE(Log().find("Error: Drive "), std::string::npos) << Log();
}

// CreateDestDirs = no and a destination that does not exist: the plan says
// the run would stop, and the run stops at once with one line, instead of
// failing each copy.
TEST_F(CommandStops, AMissingDestinationTheJobMayNotCreateEndsTheRunAtOnce) {
  PutSource("v1", 48h);
  WriteJob("CreateDestDirs = no\nVaryMode = none");
  for (const char* command : {"plan ", ""}) {
    SCOPED_TRACE(command);
    const Result stopped = Run(std::string(command) + "\"" + P("job.job") + "\"");
    EXPECT_STATUS(stopped, 3);
    const std::string all = stopped.out + stopped.err;
    EXPECT_EQ(CountOf(all, "the destination folder is missing"), 1) << all;
    EXPECT_EQ(CountOf(all, "failed"), 0) << all;
    EXPECT_FALSE(Exists("backup"));
  }
  EXPECT_NE(Log().find("Error: Destination folder missing (not created: CreateDestDirs is off): "),
            std::string::npos)
      << Log();
  EXPECT_EQ(CountOf(Log(), "Error at copying"), 0) << Log();
}

#endif  // !_WIN32

}  // namespace
