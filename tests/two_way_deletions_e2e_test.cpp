// Two-way runs that erase orphans, through the tolvex command on real
// trees: what counts as deleted on the other side. Moves and renames, files
// that arrive with old stamps, working folders the job has not run into,
// and runs in another time zone must never cost a file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/command_fixture.h"

namespace {

using namespace tolvex::command_test;

// A laptop folder (source) and a desktop folder (backup) in sync after one
// clean two-way run, all files stamped three days ago.
class TwoWayDeletions : public TolvexCommand {
 protected:
  void SyncTwoTrees(const std::string& job_lines = "") {
    for (const char* tree : {"source", "backup"}) {
      const std::string t = tree;
      Put(t + "/sed/sed.html", "the manual", 72h);
      Put(t + "/sed/sed.info", "the info pages", 72h);
      Put(t + "/README.gz", "read me", 72h);
      Put(t + "/gone.txt", "deleted on the laptop later", 72h);
      Put(t + "/kept.txt", "stays everywhere", 72h);
    }
    WriteJob("TouchMode = 1\nOrphanModeB = 2\n" + job_lines);
    const Result first = RunJob();
    ASSERT_EQ(first.status, 0) << first.out << first.err;
  }
  // The user's day: a folder renamed on the laptop, a file renamed on the
  // desktop, a file deleted on the laptop, and a file copied in with its
  // old time kept ("cp -p").
  void EditLikeAUser() {
    fs::rename(root_ / "source/sed", root_ / "source/sed-docs");
    fs::rename(root_ / "backup/README.gz", root_ / "backup/README-renamed.gz");
    fs::remove(root_ / "source/gone.txt");
    Put("source/unpacked.txt", "from an old archive", 240h);
  }
  void ExpectNothingLost(const Result& run) {
    for (const char* tree : {"source", "backup"}) {
      const std::string t = tree;
      EXPECT_EQ(Get(t + "/sed-docs/sed.html"), "the manual") << t << "\n" << run.out << Log();
      EXPECT_EQ(Get(t + "/sed-docs/sed.info"), "the info pages") << t;
      EXPECT_EQ(Get(t + "/README-renamed.gz"), "read me") << t;
      EXPECT_EQ(Get(t + "/unpacked.txt"), "from an old archive") << t;
      EXPECT_EQ(Get(t + "/kept.txt"), "stays everywhere") << t;
    }
  }
};

TEST_F(TwoWayDeletions, WithTheSyncStateMovesAndRenamesArePropagatedAndOnlyDeletionsErase) {
  SyncTwoTrees();
  EXPECT_TRUE(Exists("job.job.sync"));
  EditLikeAUser();

  const Result plan = Run("plan \"" + P("job.job") + "\"");
  EXPECT_STATUS(plan, 0);
  // Every erase of a two-way run says why.
  EXPECT_EQ(CountOf(plan.out, "(deleted in the source since the last run)"), 3) << plan.out;
  EXPECT_EQ(CountOf(plan.out, "(deleted in the destination since the last run)"), 1) << plan.out;
  EXPECT_EQ(CountOf(plan.out, "erase  "), 4) << plan.out;

  const Result run = RunJob();
  EXPECT_STATUS(run, 0);
  ExpectNothingLost(run);
  // The old names are gone on both sides: the moves went across.
  for (const char* gone : {"backup/sed/sed.html", "backup/sed/sed.info", "source/README.gz",
                           "backup/gone.txt"}) {
    EXPECT_FALSE(Exists(gone)) << gone << "\n" << Log();
  }
  EXPECT_EQ(CountOf(Log(), "File erased:"), 4) << Log();

  // A repeated run with nothing changed changes nothing.
  const std::string state = Get("job.job.sync");
  const Result again = RunJob();
  EXPECT_STATUS(again, 0);
  EXPECT_EQ(CountOf(Log(), "File copied:") + CountOf(Log(), "File erased:"), 0) << Log();
  EXPECT_EQ(Get("job.job.sync"), state);
}

// A state file that was lost (or the first run of a job that recorded
// only the time of its last run), and one cut short, which is no state.
TEST_F(TwoWayDeletions, WithoutASyncStateBothEndsOfAMoveAreCopiedAndReported) {
  for (const bool cut_short : {false, true}) {
    SCOPED_TRACE(cut_short ? "sync state cut short" : "sync state lost");
    for (const char* old : {"source", "backup", "job.job.state", "job.job.sync"}) {
      fs::remove_all(root_ / old);
    }
    SyncTwoTrees();
    const std::string state = Get("job.job.sync");
    ASSERT_GT(state.size(), 40u);
    if (cut_short) {
      std::ofstream(root_ / "job.job.sync", std::ios::binary) << state.substr(0, state.size() - 4);
    } else {
      fs::remove(root_ / "job.job.sync");
    }
    fs::rename(root_ / "source/sed", root_ / "source/sed-docs");
    // A file renamed in the folder that moved.
    fs::rename(root_ / "source/sed-docs/sed.info", root_ / "source/sed-docs/info.txt");
    fs::rename(root_ / "backup/README.gz", root_ / "backup/README-renamed.gz");
    fs::remove(root_ / "source/gone.txt");

    const Result plan = Run("plan \"" + P("job.job") + "\"");
    EXPECT_STATUS(plan, 0);
    EXPECT_EQ(CountOf(plan.out, "moved: "), 6) << plan.out;  // three moves, two ends each
    EXPECT_NE(plan.out.find("moved or renamed on one side"), std::string::npos) << plan.out;
    EXPECT_EQ(CountOf(plan.out, "(older than the last run)"), 1) << plan.out;  // gone.txt

    const Result run = RunJob();
    EXPECT_STATUS(run, 0);
    for (const char* tree : {"source", "backup"}) {
      const std::string t = tree;
      // Both names of each move on both sides: a duplicate, nothing lost.
      EXPECT_EQ(Get(t + "/sed-docs/sed.html"), "the manual") << t << "\n" << Log();
      EXPECT_EQ(Get(t + "/sed/sed.html"), "the manual") << t;
      EXPECT_EQ(Get(t + "/sed/sed.info"), "the info pages") << t;
      EXPECT_EQ(Get(t + "/sed-docs/info.txt"), "the info pages") << t;
      EXPECT_EQ(Get(t + "/README.gz"), "read me") << t;
      EXPECT_EQ(Get(t + "/README-renamed.gz"), "read me") << t;
    }
    EXPECT_FALSE(Exists("backup/gone.txt")) << Log();
    EXPECT_EQ(CountOf(Log(), "Moved: "), 6) << Log();
    EXPECT_NE(run.out.find("moved or renamed on one side"), std::string::npos) << run.out;
  }
}

// VaryMode 1 to 4: the first run into a folder the job has not completed a
// run into (here the whole backup, with the job's last run a day ago) finds
// every source file missing there. None of them was deleted there.
TEST_F(TwoWayDeletions, AWorkingFolderTheJobHasNotRunIntoIsNewInEveryVaryMode) {
  struct Case {
    const char* vary;
    const char* folder;  // below backup/, "" when it depends on the date
  };
  const Case cases[] = {
      {"VaryMode = 1", ""}, {"VaryMode = 2\nWeekday = Monday", "Monday"},
      {"VaryMode = 3", ""}, {"VaryMode = 4", "Grandson"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.vary);
    fs::remove_all(root_ / "backup");
    fs::remove_all(root_ / "source");
    fs::remove(root_ / "job.job.sync");
    for (int i = 0; i < 5; ++i) Put("source/file" + std::to_string(i) + ".txt", "work", 72h);
    std::ofstream(root_ / "job.job.state") << "[State]\nLastUpdate = " << DateAgo(24h) << "\n";
    WriteJob(std::string("TouchMode = 1\nOrphanModeB = 2\n") + c.vary);
    const Result run = RunJob();
    EXPECT_STATUS(run, 0);
    EXPECT_EQ(CountOf(Log(), "File erased:"), 0) << Log();
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(Get("source/file" + std::to_string(i) + ".txt"), "work") << Log();
    }
    if (*c.folder != 0) {
      EXPECT_EQ(Get(std::string("backup/") + c.folder + "/file0.txt"), "work");
    }
    EXPECT_EQ(CountOf(Log(), "File copied:"), 5) << Log();
  }
}

// With the sync state, each working folder has its own list: a folder is
// new until the job completed a run into it, and a deletion reaches each
// folder by that folder's own list.
TEST_F(TwoWayDeletions, TheSyncStateIsKeptPerWorkingFolder) {
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) Put(std::string("source/") + name, name, 72h);
  WriteJob("TouchMode = 1\nOrphanModeB = 2\nVaryMode = 2\nWeekday = Monday");
  ASSERT_EQ(RunJob().status, 0);
  EXPECT_EQ(Get("backup/Monday/a.txt"), "a.txt");

  WriteJob("TouchMode = 1\nOrphanModeB = 2\nVaryMode = 2\nWeekday = Tuesday");
  const Result tuesday = RunJob();
  EXPECT_STATUS(tuesday, 0);
  EXPECT_EQ(CountOf(Log(), "File erased:"), 0) << Log();
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
    EXPECT_EQ(Get(std::string("source/") + name), name) << Log();
    EXPECT_EQ(Get(std::string("backup/Tuesday/") + name), name) << Log();
  }

  fs::remove(root_ / "source/a.txt");
  for (const char* day : {"Monday", "Tuesday"}) {
    WriteJob(std::string("TouchMode = 1\nOrphanModeB = 2\nVaryMode = 2\nWeekday = ") + day);
    const Result run = RunJob();
    EXPECT_STATUS(run, 0);
    EXPECT_FALSE(Exists(std::string("backup/") + day + "/a.txt")) << day << "\n" << Log();
    EXPECT_EQ(Get(std::string("backup/") + day + "/b.txt"), "b.txt") << day;
    EXPECT_EQ(Get("source/b.txt"), "b.txt") << day;
  }
}

#if !defined(_WIN32)
// A sync state that cannot be written is said so, in the log and by the
// command, and the list of the run before stays whole.
TEST_F(TwoWayDeletions, ASyncStateThatCannotBeWrittenIsReportedAndTheOldOneKept) {
  SyncTwoTrees();
  const std::string before = Get("job.job.sync");
  fs::permissions(root_ / "job.job.sync",
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  Put("source/new.txt", "new on the laptop", 1h);
  const Result run = RunJob();
  EXPECT_STATUS(run, 0);
  EXPECT_EQ(Get("backup/new.txt"), "new on the laptop");
  EXPECT_NE(Log().find("Warning: The sync state could not be written; the next run judges by the "
                       "one before."),
            std::string::npos)
      << Log();
  EXPECT_NE(run.out.find("Warning: the sync state could not be written"), std::string::npos)
      << run.out;
  EXPECT_EQ(Get("job.job.sync"), before);
  EXPECT_FALSE(Exists("job.job.sync.new"));
}

// JOB.state keeps the time of the last run in UTC: a run three hours west
// of the last one (a timer with another TZ, travel) still takes a file made
// after that run for new work, not for one deleted on the other side.
TEST_F(TwoWayDeletions, ARunInAnotherTimeZoneTakesAFileMadeAfterTheLastRunForNewWork) {
  Put("source/a.txt", "a", 480h);
  Put("backup/a.txt", "a", 480h);
  WriteJob("TouchMode = 1\nOrphanModeB = 2");
  ASSERT_EQ(Run("\"" + P("job.job") + "\"", "TZ=UTC0 ").status, 0);
  EXPECT_NE(Get("job.job.state").find(" UTC\n"), std::string::npos) << Get("job.job.state");
  Put("source/new.txt", "made after the last run", 0h);
  fs::remove(root_ / "job.job.sync");  // the time of the last run alone decides

  const Result west = Run("\"" + P("job.job") + "\"", "TZ=WEST3 ");
  EXPECT_STATUS(west, 0);
  EXPECT_EQ(Get("source/new.txt"), "made after the last run") << Log();
  EXPECT_EQ(Get("backup/new.txt"), "made after the last run") << Log();
}

// A JOB.state written before, in local time, is still read as local time.
TEST_F(TwoWayDeletions, AStateFileInLocalTimeIsStillRead) {
  Put("source/old.txt", "deleted in the backup", 72h);
  Put("source/recent.txt", "made after the last run", 1h);
  std::ofstream(root_ / "job.job.state") << "[State]\nLastUpdate = " << DateAgo(24h) << "\n";
  WriteJob("TouchMode = 1\nOrphanModeB = 2");
  const Result plan = Run("plan \"" + P("job.job") + "\"");
  EXPECT_STATUS(plan, 0);
  EXPECT_EQ(CountOf(plan.out, "(older than the last run)"), 1) << plan.out;
  EXPECT_EQ(CountOf(plan.out, "new since the last run"), 1) << plan.out;
}
#endif

}  // namespace
