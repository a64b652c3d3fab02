// Whole runs where the plan once said less than the run did, or named what
// is not there: the run's own files (its log, a front end's state file)
// inside a tree whose orphans are erased, folders the removal takes after
// the erasures, a selected folder that emptied, nested includes, and
// targets stored in another letter case than the source's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/run_fixture.h"
#include "testing/test_volumes.h"

namespace tolvex::runtest {
namespace {

using Lines = std::vector<std::string>;

class PlanTellsTheRun : public RunTest {
 public:
  void Put(const std::string& path, const std::string& content, uint32_t stamp) const {
    Write(path, content, stamp);
  }

 protected:
  // The plan of a dry run, then the run's outcomes, each as Action() texts.
  void PlanThenRun() {
    ListenToChannels();
    SetDryRun(TOLVEX_DRY_RUN_PLAN);
    Channels() = ChannelRecorder();
    ASSERT_EQ(Run(), 1);
    plan_ = ChannelRecorder::Described(Channels().plan);
    SetDryRun(TOLVEX_DRY_RUN_OFF);
    Channels() = ChannelRecorder();
    ASSERT_EQ(Run(), 1);
    outcomes_ = ChannelRecorder::Described(Channels().outcomes);
  }
  static bool Has(const Lines& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  static Lines Mentioning(const Lines& lines, const std::string& text) {
    Lines found;
    for (const std::string& line : lines) {
      if (line.find(text) != std::string::npos) found.push_back(line);
    }
    return found;
  }
  Lines plan_;
  Lines outcomes_;
};

// The run's own files are no candidates on either side of a pair, even in
// a tree whose orphans are erased; the run's log is whole afterwards.
TEST_F(PlanTellsTheRun, TheRunsOwnFilesAreNeverCandidates) {
  struct OwnCase {
    const char* name;
    std::function<void(PlanTellsTheRun&, Job&)> arrange;
    std::string own;  // the run's own file, which must stay and be in no action
  };
  const std::vector<OwnCase> cases = {
      {"the log in the backup, destination orphans erased",
       [](PlanTellsTheRun&, Job& job) {
         job.logFile = "T:\\Backup\\Data\\run.log";
         job.orphanModeD2 = TOLVEX_ORPHAN_ERASE;
       },
       "T:\\Backup\\Data\\run.log"},
      {"the log in the backup, both ways with orphans erased",
       [](PlanTellsTheRun&, Job& job) {
         job.logFile = "T:\\Backup\\Data\\run.log";
         job.touchMode = TOLVEX_TOUCH_BOTH_WAYS;
         job.orphanModeB = TOLVEX_ORPHAN_ERASE;
         job.lastUpdate = kNew;
       },
       "T:\\Backup\\Data\\run.log"},
      {"the log in the source, a user's file of its name in the backup",
       [](PlanTellsTheRun& t, Job& job) {
         job.logFile = "S:\\Data\\run.log";
         t.Put("T:\\Backup\\Data\\run.log", "a user's file", kNew);
         job.touchMode = TOLVEX_TOUCH_BOTH_WAYS;
       },
       "S:\\Data\\run.log"},
      {"a state file named in drive form, destination orphans erased",
       [](PlanTellsTheRun& t, Job& job) {
         t.Put("T:\\Backup\\Data\\job.tvx.state", "[State]\r\nLastUpdate=1\r\n", kOld);
         job.fileExcludes = {"T:\\Backup\\Data\\job.tvx.state"};
         job.orphanModeD2 = TOLVEX_ORPHAN_ERASE;
       },
       "T:\\Backup\\Data\\job.tvx.state"},
      {"the sync state in the backup, both ways with orphans erased",
       [](PlanTellsTheRun& t, Job& job) {
         t.Put("T:\\Backup\\Data\\job.sync", "left by an earlier run", kOld);
         SetSyncState("T:\\Backup\\Data\\job.sync");
         job.touchMode = TOLVEX_TOUCH_BOTH_WAYS;
         job.orphanModeB = TOLVEX_ORPHAN_ERASE;
         job.lastUpdate = kNew;
       },
       "T:\\Backup\\Data\\job.sync"},
  };
  for (const OwnCase& c : cases) {
    SCOPED_TRACE(c.name);
    ClearDrives();
    job_ = Job();
    Write("S:\\Data\\a.txt", "a", kNew);
    Write("T:\\Backup\\Data\\orphan.txt", "orphan", kOld);
    c.arrange(*this, job_);
    PlanThenRun();
    EXPECT_TRUE(Mentioning(plan_, c.own).empty()) << ::testing::PrintToString(plan_);
    EXPECT_TRUE(Mentioning(outcomes_, c.own).empty()) << ::testing::PrintToString(outcomes_);
    EXPECT_TRUE(Exists(c.own));
    if (c.own == job_.logFile) {
      EXPECT_NE(Read(c.own).find("File copied"), std::string::npos) << Read(c.own);
    }
    SetSyncState("");
  }
}

// Folder removals are in the plan, as the run makes them; a folder the job
// selects stays, however empty.
TEST_F(PlanTellsTheRun, FolderRemovalsArePlannedAndASelectedFolderIsNeverRemoved) {
  drives_.MakeDirs("S:\\Data\\empty");
  Write("S:\\Other\\kept.txt", "kept", kNew);
  Write("T:\\Backup\\Data\\old\\gone.txt", "gone", kOld);
  job_.dirIncludes = {"S:\\Data\\*", "S:\\Other\\*"};
  job_.orphanModeD2 = TOLVEX_ORPHAN_ERASE;
  job_.deleteSrcDirs = 1;
  job_.deleteDestDirs = 1;
  PlanThenRun();
  // In the removal's order: the deepest first, the destination tree's
  // before the source tree's (the folders in reverse order of their paths).
  const Lines removals = {"remove folder T:\\Backup\\Data\\old\\", "remove folder T:\\Backup\\Data\\",
                          "remove folder S:\\Data\\empty\\"};
  EXPECT_EQ(Mentioning(plan_, "remove folder"), removals);
  EXPECT_EQ(Mentioning(outcomes_, "remove folder"), removals);
  EXPECT_TRUE(Exists("S:\\Data"));
  EXPECT_FALSE(Exists("S:\\Data\\empty"));
  EXPECT_FALSE(Exists("T:\\Backup\\Data"));
  EXPECT_EQ(Read("T:\\Backup\\Other\\kept.txt"), "kept");
}

// "S:\Data\*" and "S:\Data\Inner\*": the inner folder is one folder.
TEST_F(PlanTellsTheRun, NestedIncludesPlanAndCountEachFileOnce) {
  // The inner include as the folder is stored, and in another letter case
  // (which names the same folder): flat paths erased such a file twice.
  for (const char* inner : {"S:\\Data\\Inner\\*", "S:\\Data\\inner\\*"}) {
    SCOPED_TRACE(inner);
    ClearDrives();
    Write("S:\\Data\\outer.txt", "outer", kNew);
    Write("S:\\Data\\Inner\\inner.txt", "inner", kNew);
    Write("S:\\Data\\Inner\\Deep\\deep.txt", "deep", kNew);
    job_.dirIncludes = {"S:\\Data\\*", inner};
    PlanThenRun();
    const Lines copies = {"copy S:\\Data\\Inner\\Deep\\deep.txt -> T:\\Backup\\Data\\Inner\\Deep\\deep.txt",
                          "copy S:\\Data\\Inner\\inner.txt -> T:\\Backup\\Data\\Inner\\inner.txt",
                          "copy S:\\Data\\outer.txt -> T:\\Backup\\Data\\outer.txt"};
    // (The folder keeps the spelling one of the two gives it, as a single
    // include spelled so would.)
    const auto caseless = [](Lines lines) {
      for (std::string& line : lines) {
        std::transform(line.begin(), line.end(), line.begin(), [](unsigned char c) { return std::toupper(c); });
      }
      std::sort(lines.begin(), lines.end());
      return lines;
    };
    EXPECT_EQ(caseless(Mentioning(plan_, "copy ")), caseless(copies));
    EXPECT_EQ(caseless(Mentioning(outcomes_, "copy ")), caseless(copies));
    size_t copied_lines = 0;
    for (const std::string& line : LogLines()) copied_lines += line.find("File copied") != std::string::npos;
    EXPECT_EQ(copied_lines, 3u);
  }
}

// The backup's folder and file may be stored in other letter case than
// the source's: the plan, the log and the copy name them as stored, and
// no second spelling is made (on Linux the copy made one).
TEST_F(PlanTellsTheRun, TargetsAreNamedAsTheyAreStored) {
#ifndef _WIN32
  // The backup ignores letter case, as on Windows (the test switch): the
  // names are matched as they are there.
  const ScopedTestVolumes caseless("caseless=" + drives_.Native("T:\\"));
#endif

  Write("S:\\Data\\Sub\\Report.txt", "new", kNew);
  Write("T:\\Backup\\DATA\\sub\\report.TXT", "old", kOld);
  PlanThenRun();
  const std::string copy = "copy S:\\Data\\Sub\\Report.txt -> T:\\Backup\\DATA\\sub\\report.TXT";
  EXPECT_TRUE(Has(plan_, copy)) << ::testing::PrintToString(plan_);
  EXPECT_TRUE(Has(outcomes_, copy)) << ::testing::PrintToString(outcomes_);
  EXPECT_EQ(LogLineWith("to:").find("T:\\Backup\\DATA\\sub\\report.TXT") != std::string::npos, true)
      << LogText();
  EXPECT_EQ(NativeNames("T:\\Backup"), (Lines{"DATA"}));
  EXPECT_EQ(NativeNames("T:\\Backup\\DATA\\sub"), (Lines{"report.TXT"}));
  EXPECT_EQ(Read("T:\\Backup\\DATA\\sub\\report.TXT"), "new");
}

#ifndef _WIN32
// Case twins are reported by paths that exist, also in a backup folder
// stored in other case than the source's.
TEST_F(PlanTellsTheRun, CaseTwinsAreReportedByThePathsThatExist) {
#ifndef _WIN32
  // The backup ignores letter case, as on Windows (the test switch): the
  // names are matched as they are there.
  const ScopedTestVolumes caseless("caseless=" + drives_.Native("T:\\"));
#endif

  Write("S:\\Data\\a.txt", "a", kNew);
  Write("T:\\Backup\\DATA\\twin.txt", "1", kOld);
  Write("T:\\Backup\\DATA\\TWIN.txt", "2", kOld);
  Write("S:\\Data\\twin.txt", "source", kNew);
  PlanThenRun();
  EXPECT_TRUE(Has(outcomes_, "found 10108 T:\\Backup\\DATA\\twin.txt")) << ::testing::PrintToString(outcomes_);
  EXPECT_TRUE(Has(outcomes_, "found 10108 T:\\Backup\\DATA\\TWIN.txt"));
  for (const std::string& line : Mentioning(outcomes_, "found 10108 ")) {
    EXPECT_TRUE(Exists(line.substr(std::string("found 10108 ").size()))) << line;
  }
}
#endif

}  // namespace
}  // namespace tolvex::runtest
