// The job file's forms through the real command: value names beside the
// numbers, the home folder in paths, every fault at once in file order,
// warnings for keys without effect, and check accepting exactly what a run
// accepts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/command_fixture.h"

namespace {

using namespace tolvex::command_test;

// The lines of `text` that contain `what`, in order.
std::vector<std::string> LinesWith(const std::string& text, const std::string& what) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.find(what) != std::string::npos) lines.push_back(line);
  }
  return lines;
}

TEST_F(TolvexCommand, ValueNamesGiveTheEngineTheSameNumbers) {
  Put("source/a.txt", "a");
  WriteJob(
      "TouchMode = both\nOrphanModeB = Erase\nPathMode = full\nVaryMode = generations\n"
      "ConfirmMode = none\nSortMode = date\nWarnings = ask + beep\nAttributes = hidden+system\n"
      "LogDateTime = entries\nLogDetails = both-sides\nDisplayMode = compact");
  const Result named = Run("check \"" + P("job.job") + "\"");
  EXPECT_STATUS(named, 0);
  for (const char* expected :
       {"SetTouchMode        1", "SetOrphanModeB      2", "SetPathMode         1",
        "SetVaryMode         4", "SetConfirmMode      0", "SetSortMode         4",
        "SetWarnings         0xC0", "SetAttributes       0x06", "SetLogDateTime      2",
        "SetLogDetails       2", "SetDisplayMode      2"}) {
    EXPECT_NE(named.out.find(expected), std::string::npos) << expected << "\n" << named.out;
  }
  // The defaults are written as names too, and mean what the numbers did.
  WriteJob("");
  const Result defaults = Run("check \"" + P("job.job") + "\"");
  for (const char* expected : {"SetPathMode         2", "SetAttributes       0x06",
                               "SetOrphanModeD2     1", "SetLogDetails       1"}) {
    EXPECT_NE(defaults.out.find(expected), std::string::npos) << expected << "\n" << defaults.out;
  }

  // A name that is not one of the key's, or one its key does not accept.
  WriteJob("OrphanModeD2 = copy\nTouchMode = sideways");
  const Result wrong = RunJob();
  EXPECT_STATUS(wrong, 2);
  EXPECT_NE(wrong.err.find("job.job:6: OrphanModeD2: copy is not one of the values 1 or 2 "
                           "(ignore or erase)"),
            std::string::npos)
      << wrong.err;
  EXPECT_NE(wrong.err.find("job.job:7: TouchMode: \"sideways\" is not a number or one of "
                           "one-way, both or back"),
            std::string::npos)
      << wrong.err;
  EXPECT_FALSE(Exists("backup"));
}

TEST_F(TolvexCommand, EveryFaultOfAJobIsReportedAtOnceInFileOrder) {
  Put("source/a.txt", "a");
  std::ofstream(root_ / "job.job")
      << "[Job]\n"                       // 1
      << "VaryMode = 9\n"                // 2
      << "Colour = red\n"                // 3
      << "LogFile = relative.log\n"      // 4
      << "[DInclSels]\n"                 // 5
      << "relative/folder/*\n"           // 6
      << "[Options]\n"                   // 7
      << "[FInclSels]\n"                 // 8
      << "/tmp/*.txt\n"                  // 9
      << "Reverse = maybe\n";            // 10: an entry of [FInclSels], a path again
  for (const char* command : {"", "check "}) {
    const Result result = Run(std::string(command) + "\"" + P("job.job") + "\"");
    SCOPED_TRACE(command);
    EXPECT_STATUS(result, 2);
    const std::vector<std::string> lines = LinesWith(result.err, "job.job");
    ASSERT_EQ(lines.size(), 7u) << result.err;
    const char* expected[] = {":2: VaryMode:", ":3: Colour: unknown key", ":4: LogFile:",
                              ":6: [DInclSels]:", ":7: [Options]: unknown section",
                              ":9: [FInclSels]:", ": Destination: missing"};
    for (size_t i = 0; i < lines.size(); ++i) {
      EXPECT_NE(lines[i].find(expected[i]), std::string::npos) << i << ": " << lines[i];
    }
    EXPECT_FALSE(Exists("run.log"));
  }
}

TEST_F(TolvexCommand, KeysWithoutEffectAndEmptyListsAreWarnedAbout) {
  Put("source/a.txt", "a");
  Put("backup/old.txt", "only in the backup");
  WriteJob("TouchMode = one-way\nOrphanModeB = erase\nWeekday = Sunday");
  for (const char* command : {"check ", ""}) {
    const Result result = Run(std::string(command) + "\"" + P("job.job") + "\"");
    SCOPED_TRACE(command);
    EXPECT_STATUS(result, 0);
    EXPECT_NE(result.err.find("job.job:7: OrphanModeB: warning: has no effect with TouchMode "
                              "one-way; it applies to TouchMode both"),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("job.job:8: Weekday: warning: has no effect"), std::string::npos)
        << result.err;
  }
  // The run went on as written: the orphan of the backup stays.
  EXPECT_EQ(Get("backup/a.txt"), "a");
  EXPECT_EQ(Get("backup/old.txt"), "only in the backup");

  WriteJob("", "[FInclSels]\n");
  const Result no_patterns = Run("check \"" + P("job.job") + "\"");
  EXPECT_STATUS(no_patterns, 0);
  EXPECT_NE(no_patterns.err.find("[FInclSels]: warning: no file pattern: the run will stop at "
                                 "once; write *.* to take every file"),
            std::string::npos)
      << no_patterns.err;
}

#if !defined(_WIN32)

TEST_F(TolvexCommand, TheHomeFolderStandsForTildeAndHome) {
  Put("home/data/a.txt", "a");
  fs::create_directories(root_ / "home/logs");
  std::ofstream(root_ / "job.job") << "[Job]\nDestination = ~/backup\nLogFile = ${HOME}/logs/run.log\n"
                                   << "[DInclSels]\n~/data/*\n[FInclSels]\n*.*\n";
  const std::string home = "HOME='" + P("home") + "' ";
  const Result result = Run("\"" + P("job.job") + "\"", home);
  EXPECT_STATUS(result, 0);
  EXPECT_EQ(Get("home/backup/a.txt"), "a");
  EXPECT_TRUE(Exists("home/logs/run.log"));

  const Result no_home = Run("check \"" + P("job.job") + "\"", "env -u HOME ");
  EXPECT_STATUS(no_home, 2);
  EXPECT_NE(no_home.err.find("job.job:2: Destination: \"~/backup\" needs the home folder, but "
                             "HOME is not set"),
            std::string::npos)
      << no_home.err;
  EXPECT_EQ(LinesWith(no_home.err, "HOME is not set").size(), 3u) << no_home.err;
}

#endif

}  // namespace
