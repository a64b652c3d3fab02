// The tolvex command's plan, erase guard, summary, exit statuses and Ctrl-C,
// end to end: the built command runs job files on real temporary trees
// (the fixture: tests/command_fixture.h).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "testing/child_command.h"
#include "tests/command_fixture.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using namespace tolvex::command_test;
using Lines = std::vector<std::string>;

// A field of one of the command's JSON lines ("" when it has none).
std::string Field(const std::string& line, const std::string& key) {
  const std::string start = "\"" + key + "\":\"";
  size_t at = line.find(start);
  if (at == std::string::npos) return "";
  std::string value;
  for (at += start.size(); at < line.size() && line[at] != '"'; ++at) {
    if (line[at] == '\\' && at + 1 < line.size()) ++at;
    value += line[at];
  }
  return value;
}

// "copy FROM -> TO" for each action line of JSON output, in order.
Lines JsonActions(const std::string& output) {
  Lines actions;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    const std::string kind = Field(line, "kind");
    if (kind != "copy" && kind != "copy_back" && kind != "erase" && kind != "skip") continue;
    actions.push_back(kind + " " + Field(line, "from") + " -> " + Field(line, "to"));
  }
  return actions;
}

class CommandPlan : public TolvexCommand {
 protected:
  // A file of the source tree (under Wine through drive Z:).
  static std::string SourcePath(const std::string& relative) {
    std::string path = std::string(TOLVEX_SOURCE_DIR) + "/" + relative;
#if defined(_WIN32)
    for (char& c : path) c = c == '/' ? '\\' : c;
    path = "Z:" + path;
#endif
    return path;
  }
  // Every file below the test folder with its content and time, every
  // folder; the state file and the log as well.
  std::map<std::string, std::string> Tree() const {
    std::map<std::string, std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(root_)) {
      const std::string name = fs::relative(entry.path(), root_).generic_string();
      if (name == "out.txt" || name == "err.txt" || name == "job.job") continue;
      if (entry.is_directory()) {
        tree[name + "/"] = "";
      } else {
        tree[name] = ReadText(entry.path()) + " @" +
                     std::to_string(entry.last_write_time().time_since_epoch().count());
      }
    }
    return tree;
  }
  std::string PlanArgs(const std::string& options = "") const {
    return "plan " + options + " \"" + P("job.job") + "\"";
  }
  // Both ways since a run two days ago: newer files each way, new work on
  // each side, a file deleted in the source long ago, and a pair edited on
  // both sides.
  void MakeTwoWayChanges() const {
    std::ofstream(root_ / "job.job.state") << "[State]\nLastUpdate = " << DateAgo(48h) << "\n";
    Put("source/left.txt", "left, newer", 24h);
    Put("backup/left.txt", "left", 72h);
    Put("source/right.txt", "right", 72h);
    Put("backup/right.txt", "right, newer", 24h);
    Put("source/new-here.txt", "new work", 1h);
    Put("backup/deleted-here.txt", "deleted in the source long ago", 96h);
    Put("backup/sub/new-there.txt", "new there", 2h);
    Put("source/both.txt", "both, edited in the source", 10h);
    Put("backup/both.txt", "both, edited in the backup", 20h);
    WriteJob("TouchMode = both\nOrphanModeB = erase\nSortMode = name");
  }
  // The backup of twenty files whose source folder is empty now, as an
  // unmounted disk's mount point is.
  void MakeBackupOfAnEmptySource() const {
    fs::create_directories(root_ / "source");
    for (int i = 0; i < 20; ++i) Put("backup/file" + std::to_string(i) + ".txt", "backup", 72h);
  }
};

// --- tolvex plan ------------------------------------------------------------------

TEST_F(CommandPlan, PlanPrintsWhatARunWouldDoAndChangesNothing) {
  Put("source/new.txt", "new");
  Put("source/sub/changed.txt", "changed, second edition", 24h);
  Put("backup/sub/changed.txt", "changed", 72h);
  Put("source/same.txt", "same", 72h);
  Put("backup/same.txt", "same", 72h);
  Put("backup/gone.txt", "removed from the source");
  WriteJob("OrphanModeD2 = erase\nSortMode = name\nVaryMode = none");
  const auto before = Tree();

  const Result text = Run(PlanArgs());
  EXPECT_STATUS(text, 0);
  EXPECT_EQ(Tree(), before);  // no copy, no erasure, no log, no state
  for (const std::string& expected : Lines{
       "erase       " + P("backup/gone.txt"), "copy        " + P("source/new.txt") + " -> " + P("backup/new.txt"),
        "copy        " + P("source/sub/changed.txt") + " -> " + P("backup/sub/changed.txt"),
        "unchanged                 1 equal", "erase in the destination  1 file, 23 B"}) {
    EXPECT_NE(text.out.find(expected), std::string::npos) << expected << "\n" << text.out;
  }
  EXPECT_EQ(text.out.find(P("source/same.txt")), std::string::npos) << "listed only with -v";

  const Result listed = Run(PlanArgs("-v --format=json"));
  EXPECT_STATUS(listed, 0);
  EXPECT_EQ(Tree(), before);
  Lines unchanged;
  std::istringstream items(listed.out);
  for (std::string line; std::getline(items, line);) {
    if (Field(line, "kind") == "unchanged" && !Field(line, "from").empty()) {
      unchanged.push_back(Field(line, "from") + " " + Field(line, "reason"));
    }
  }
  EXPECT_EQ(unchanged, (Lines{P("source/same.txt") + " equal"}));
  EXPECT_EQ(JsonActions(listed.out),
            (Lines{"erase " + P("backup/gone.txt") + " -> ",
                   "copy " + P("source/sub/changed.txt") + " -> " + P("backup/sub/changed.txt"),
                   "copy " + P("source/new.txt") + " -> " + P("backup/new.txt")}));
  // Every line is one JSON object.
  std::istringstream lines(listed.out);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();  // Windows' text mode
    EXPECT_TRUE(line.size() > 2 && line.front() == '{' && line.back() == '}') << line;
  }
}

// What the plan says, the run does: the plan's actions (JSON) against the
// run's outcomes (-v, JSON), both ways with copies, skips and erasures.
TEST_F(CommandPlan, TheRunDoesWhatThePlanSaid) {
  MakeTwoWayChanges();
  const Result plan = Run(PlanArgs("--format=json"));
  EXPECT_STATUS(plan, 0);
  const Result run = RunJob("-v --format=json");
  EXPECT_STATUS(run, 0);
  const Lines planned = JsonActions(plan.out);
  EXPECT_EQ(planned, JsonActions(run.out));
  EXPECT_EQ(planned.size(), 6u) << plan.out;
  EXPECT_FALSE(Exists("backup/deleted-here.txt"));
  EXPECT_EQ(Get("backup/both.txt"), "both, edited in the source");
  // The pair changed on both sides is named: the other edit is gone.
  for (const Result* result : {&plan, &run}) {
    EXPECT_EQ(CountOf(result->out, "\"newer_wins\":true"), 1) << result->out;
  }
}

// The summary counts each way and names the pair whose newer file won over
// an edit on the other side, which is gone from there now.
TEST_F(CommandPlan, TheSummarySaysWhatTheRunDidAndNamesThePairChangedOnBothSides) {
  MakeTwoWayChanges();
  Result result = RunJob();
  EXPECT_STATUS(result, 0);
  std::erase(result.out, '\r');  // Windows' text mode
  for (const std::string& row : Lines{
           "Run completed.\n", "  copied to the destination 3 files, 45 B\n",
           "  copied to the source      2 files, 21 B\n", "  erased in the destination 1 file, 30 B\n",
           "  changed on both sides since the last run; the newer file won (the other edit is "
           "gone from that side):\n    " + P("source/both.txt") + " -> " + P("backup/both.txt") + "\n",
           "  written into              " + P("backup"), "  duration                  "}) {
    EXPECT_NE(result.out.find(row), std::string::npos) << row << "\n" << result.out;
  }
  EXPECT_EQ(result.err, "");
}

// The example jobs of the README on their example data (the data script's
// files and times, the jobs as shipped but for the drive table, which only
// Linux has): each one's run does what its plan said.
TEST_F(CommandPlan, TheExampleJobsDoWhatTheirPlansSaid) {
  const std::string examples = SourcePath("examples");
  std::istringstream script(ReadText(fs::path(examples) / "make-example.sh"));
  const std::regex put(R"re(^put\s+(\S+)\s+"([^"]*)"\s+"([^"]*)"\s*$)re");
  int files = 0;
  for (std::string line; std::getline(script, line);) {
    std::smatch match;
    if (!std::regex_match(line, match, put)) continue;
    std::tm date = {};
    std::istringstream(match[2].str()) >> std::get_time(&date, "%Y-%m-%d %H:%M:%S");
    date.tm_isdst = -1;
    const auto age = std::chrono::system_clock::now() - std::chrono::system_clock::from_time_t(std::mktime(&date));
    Put(match[1].str(), match[3].str(), std::chrono::duration_cast<std::chrono::hours>(age));
    ++files;
  }
  ASSERT_GT(files, 10);
  for (const char* job : {"backup.job", "two-way.job"}) {
    SCOPED_TRACE(job);
    std::istringstream text(ReadText(fs::path(examples) / job));
    std::ofstream copy(root_ / job, std::ios::binary);
    bool drives = false;
    for (std::string line; std::getline(text, line);) {
      if (!line.empty() && line[0] == '[') drives = line.rfind("[Drives]", 0) == 0;
      if (!drives) copy << line << "\n";
    }
    copy.close();
    const Result plan = Run("plan --format=json \"" + P(job) + "\"");
    EXPECT_STATUS(plan, 0);
    const Result run = Run("-v --format=json \"" + P(job) + "\"");
    EXPECT_STATUS(run, 0);
    EXPECT_FALSE(JsonActions(plan.out).empty()) << plan.out;
    EXPECT_EQ(JsonActions(plan.out), JsonActions(run.out));
  }
  EXPECT_NE(Get("source/readme.txt").find("edited on the laptop"), std::string::npos);
}

// --- The erase guard ---------------------------------------------------------------

// The source disk is not mounted: its mount point is an empty folder, and a
// one-way job that erases orphans would erase the whole backup.
TEST_F(CommandPlan, TheGuardStopsARunThatWouldEraseTheWholeBackup) {
  MakeBackupOfAnEmptySource();
  WriteJob("OrphanModeD2 = erase\nVaryMode = none");
  const auto before = Tree();
  for (const char* options : {"", "--yes"}) {
    SCOPED_TRACE(options);
    const Result stopped = RunJob(options);
    EXPECT_STATUS(stopped, 1);
    const std::string message = "the plan erases 20 of the 20 files in the destination tree (" + P("backup");
    EXPECT_NE(stopped.err.find(message), std::string::npos) << stopped.err;
    EXPECT_NE(stopped.err.find("MaxErase (10 and 50%)"), std::string::npos) << stopped.err;
    EXPECT_NE(stopped.err.find("tolvex --force JOB"), std::string::npos) << stopped.err;
    auto after = Tree();
    after.erase("run.log");
    EXPECT_EQ(after, before);
  }
  EXPECT_NE(Log().find("erase limit"), std::string::npos) << Log();
  const Result plan = Run(PlanArgs());
  EXPECT_STATUS(plan, 1);  // the status of the run it foretells
  EXPECT_NE(plan.out.find("A run would stop before changing anything: the plan erases 20 of the 20"),
            std::string::npos)
      << plan.out;

  const Result forced = RunJob("--force");
  EXPECT_STATUS(forced, 0);
  EXPECT_FALSE(Exists("backup/file0.txt"));
  EXPECT_NE(forced.out.find("erased in the destination 20 files"), std::string::npos) << forced.out;
}

// Both ways, with the other side's disk not mounted, every file on this
// side older than the last run would be erased. MaxErase = none turns the
// guard off; a count or a share set it.
TEST_F(CommandPlan, TheGuardStopsTheTwoWayCaseAndFollowsMaxErase) {
  std::ofstream(root_ / "job.job.state") << "[State]\nLastUpdate = " << DateAgo(24h) << "\n";
  for (int i = 0; i < 12; ++i) Put("source/f" + std::to_string(i), "f", 72h);
  fs::create_directories(root_ / "backup");
  const struct {
    const char* max_erase;
    int status;
  } cases[] = {{"", 1}, {"MaxErase = 20", 0}, {"MaxErase = 95%", 0}, {"MaxErase = 5 and 90%", 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.max_erase);
    WriteJob(std::string("TouchMode = both\nOrphanModeB = erase\n") + c.max_erase);
    const Result plan = Run(PlanArgs("--format=json"));
    EXPECT_NE(plan.out.find("\"over_erase_limit\":" + std::string(c.status == 1 ? "true" : "false")),
              std::string::npos)
        << plan.out;
  }
  WriteJob("TouchMode = both\nOrphanModeB = erase");
  const Result stopped = RunJob();
  EXPECT_STATUS(stopped, 1);
  EXPECT_NE(stopped.err.find("12 of the 12 files in the source tree (" + P("source")), std::string::npos)
      << stopped.err;
  EXPECT_TRUE(Exists("source/f0"));
  WriteJob("TouchMode = both\nOrphanModeB = erase\nMaxErase = none");
  EXPECT_STATUS(RunJob(), 0);
  EXPECT_FALSE(Exists("source/f0"));
}

// With generations the guard stops the run before the rotation: the folder
// that would have become Grandson keeps its files and its name, and the
// message speaks of no rename.
TEST_F(CommandPlan, TheGuardStopsBeforeTheGenerationsAreRotated) {
  fs::create_directories(root_ / "source");
  for (int i = 0; i < 12; ++i) Put("backup/Father/f" + std::to_string(i), "f", 72h);
  WriteJob("VaryMode = generations\nOrphanModeD2 = erase");
  const Result stopped = RunJob();
  EXPECT_STATUS(stopped, 1);
  EXPECT_NE(stopped.err.find("the plan erases 12 of the 12 files in the destination tree (" +
                             P("backup/Grandson")),
            std::string::npos)
      << stopped.err;
  EXPECT_EQ(stopped.err.find("rotated"), std::string::npos) << stopped.err;
  EXPECT_TRUE(Exists("backup/Father/f0"));
  EXPECT_FALSE(Exists("backup/Grandson"));
}

// --- Summary and exit statuses -----------------------------------------------------

// Everything selected that is not backed up ends the run with status 4 and
// is named on standard error: a missing source folder among others, files of
// one name in flat mode, and a conflict.
TEST_F(CommandPlan, WhatIsLeftOutIsNamedWithExitStatusFour) {
  const struct {
    const char* name;
    const char* job_lines;
    bool missing_include;
    const char* problem;
  } cases[] = {
      {"missing include", "", true, "not backed up (missing source folder): " },
      {"name clash", "PathMode = flat", false, "not backed up (name clash): "},
      {"conflict", "TouchMode = both", false, "conflict left alone (one time, other sizes on the two sides): "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(root_ / "source");
    fs::remove_all(root_ / "backup");
    Put("source/a/same.txt", "first", 72h);
    Put("source/b/same.txt", "second", 48h);
    Put("source/c.txt", "source side");
    Put("backup/c.txt", "backup side, longer");
    fs::last_write_time(root_ / "backup/c.txt", fs::last_write_time(root_ / "source/c.txt"));
    WriteJob(c.job_lines);
    if (c.missing_include) {
      std::ofstream(root_ / "job.job", std::ios::binary)
          << "[Job]\nDestination = " << P("backup") << "\n[DInclSels]\n" << P("source") << Star()
          << "\n" << P("nowhere") << Star() << "\n[FInclSels]\n*.*\n";
    }
    const Result result = RunJob();
    EXPECT_STATUS(result, 4);
    EXPECT_NE(result.err.find(c.problem), std::string::npos) << result.err;
    EXPECT_NE(result.out.find("not everything selected was backed up"), std::string::npos) << result.out;
    EXPECT_FALSE(Exists("job.job.state"));
  }
}

TEST_F(CommandPlan, QuietPrintsOnlyProblemsAndVersionItsNumber) {
  Put("source/a.txt", "a");
  WriteJob("");
  const Result quiet = RunJob("-q");
  EXPECT_STATUS(quiet, 0);
  EXPECT_EQ(quiet.out, "");
  EXPECT_EQ(quiet.err, "");
  const Result version = Run("--version");
  EXPECT_STATUS(version, 0);
  EXPECT_EQ(version.out.rfind("tolvex ", 0), 0u) << version.out;
  EXPECT_STATUS(Run("-q -v \"" + P("job.job") + "\""), 2);
  EXPECT_STATUS(Run("plan --force \"" + P("job.job") + "\""), 2);
}

// A leftover Grandfather blocks the rotation: the run completes into the
// Grandson that is there, and says so.
TEST_F(CommandPlan, ABlockedRotationIsReported) {
  Put("source/a.txt", "a");
  fs::create_directories(root_ / "backup/Grandfather");
  fs::create_directories(root_ / "backup/Father");
  WriteJob("VaryMode = generations");
  const Result result = RunJob();
  EXPECT_STATUS(result, 0);
  EXPECT_NE(result.err.find("rotation is blocked by a folder left over"), std::string::npos) << result.err;
  EXPECT_NE(result.out.find("written into              " + P("backup/Grandson")), std::string::npos)
      << result.out;
}

#if !defined(_WIN32)
// Names Linux holds and Windows cannot, and links to folders: the run
// names them; the names are left out (status 4), the link is copied as a
// link and counted.
TEST_F(CommandPlan, CaseTwinsUnusableNamesAndLinksAreNamed) {
  Put("source/Report.txt", "upper");
  Put("source/report.txt", "lower");
  Put("source/a:b.txt", "colon");
  fs::create_directories(root_ / "elsewhere");
  fs::create_directory_symlink(root_ / "elsewhere", root_ / "source/link");
  WriteJob("");
  // The source holds only Windows names here (a FAT disk's rule, by the
  // test switch); elsewhere "a:b.txt" is backed up under its own name.
  const Result result = RunJob("", "TOLVEX_TEST_VOLUMES='windows-names=" + P("source") + "' ");
  EXPECT_STATUS(result, 4);
  EXPECT_NE(result.err.find("not backed up (case twin): " + P("source/Report.txt")), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("not backed up (unusable name): " + P("source/a:b.txt")), std::string::npos) << result.err;
  EXPECT_NE(result.out.find("  1 link to a folder copied as a link\n"), std::string::npos) << result.out;
  EXPECT_TRUE(fs::is_symlink(root_ / "backup/link"));
}

// Every kind of link through the real command: copied as links with their
// texts, one summary line per kind, each listed with -v and in the JSON
// plan, exit status 0, and a second run and its plan with nothing to do.
// Both ways a link made on either side goes across.
TEST_F(CommandPlan, LinksOfEveryKindAreCopiedAsLinksAndCounted) {
  Put("source/target.txt", "t");
  fs::create_directories(root_ / "elsewhere");
  Put("elsewhere/inside.txt", "behind a folder link");
  for (const auto& [link, text] : {std::pair{"to file", "target.txt"}, {"to file 2", "./target.txt"},
                                   {"to folder", "../elsewhere"}, {"dangling", "gone/away"}}) {
    fs::create_symlink(text, root_ / "source" / link);
  }
  WriteJob("TouchMode = both\nOrphanModeB = copy");
  const Result plan = Run(PlanArgs("-v --format=json"));
  EXPECT_STATUS(plan, 0);
  EXPECT_NE(plan.out.find("\"link\":\"link to a folder\""), std::string::npos) << plan.out;
  EXPECT_NE(plan.out.find("\"link\":\"dangling link\""), std::string::npos) << plan.out;

  const Result run = RunJob("-v");
  EXPECT_STATUS(run, 0);
  for (const std::string& expected :
       Lines{"  2 links to files copied as links\n", "  1 link to a folder copied as a link\n",
             "  1 dangling link copied as a link\n",
             P("source/to folder") + " -> " + P("backup/to folder"), "(link to a folder)",
             "(dangling link)"}) {
    EXPECT_NE(run.out.find(expected), std::string::npos) << expected << "\n" << run.out;
  }
  EXPECT_EQ(run.out.find("not followed"), std::string::npos) << run.out;
  EXPECT_EQ(fs::read_symlink(root_ / "backup/to folder").string(), "../elsewhere");
  EXPECT_EQ(fs::read_symlink(root_ / "backup/to file 2").string(), "./target.txt");
  EXPECT_EQ(fs::read_symlink(root_ / "backup/dangling").string(), "gone/away");
  EXPECT_FALSE(fs::exists(root_ / "backup/inside.txt"));

  // Made in the backup: copied back as a link.
  fs::create_symlink("target.txt", root_ / "backup/made in the backup");
  const Result back = RunJob("--format=json");
  EXPECT_STATUS(back, 0);
  EXPECT_NE(back.out.find("\"copied_as_links\":{\"links_to_files\":1,\"links_to_folders\":0,"
                          "\"dangling_links\":0}"),
            std::string::npos)
      << back.out;
  EXPECT_EQ(fs::read_symlink(root_ / "source/made in the backup").string(), "target.txt");

  const Result again = Run(PlanArgs());
  EXPECT_STATUS(again, 0);
  EXPECT_EQ(again.out.find("copy"), std::string::npos) << again.out;
  const Result second = RunJob();
  EXPECT_STATUS(second, 0);
  EXPECT_EQ(second.out.find("copied"), std::string::npos) << second.out;
}

// A pipe among the sources is named and left alone: nothing waits on it,
// nothing replaces it. It holds no data a backup could keep, so the run is
// complete (exit status 0, recorded in JOB.state) and the summary names it.
TEST_F(CommandPlan, APipeAmongTheSourcesIsNamedAndLeftAloneWithoutALoss) {
  Put("source/a.txt", "a");
  ASSERT_EQ(mkfifo((root_ / "source/pipe").c_str(), 0600), 0);
  WriteJob("");
  const Result result = RunJob();
  EXPECT_STATUS(result, 0);
  EXPECT_NE(result.out.find("pipes, sockets and devices (no data to back up), left alone:\n    " +
                            P("source/pipe")),
            std::string::npos)
      << result.out;
  EXPECT_EQ(result.err.find("not backed up"), std::string::npos) << result.err;
  EXPECT_FALSE(Exists("backup/pipe"));
  EXPECT_EQ(Get("backup/a.txt"), "a");
  EXPECT_NE(Get("job.job.state").find("LastUpdate = "), std::string::npos);
  // The plan says the same: a run would end with exit status 0.
  const Result plan = Run("plan \"" + P("job.job") + "\"");
  EXPECT_STATUS(plan, 0);
  EXPECT_EQ(plan.out.find("Left out"), std::string::npos) << plan.out;
}

// In the destination a pipe takes the name of the source's file: that file
// is not backed up, and the run must not pass for complete (the command
// cannot tell such a pipe from one that keeps nothing out, so any pipe in
// the destination counts).
TEST_F(CommandPlan, APipeInTheDestinationThatTakesASourceFilesNameIsALoss) {
  Put("source/a.txt", "a");
  Put("source/b.txt", "b");
  fs::create_directories(root_ / "backup");
  ASSERT_EQ(mkfifo((root_ / "backup/a.txt").c_str(), 0600), 0);
  WriteJob("");
  const Result result = RunJob();
  EXPECT_STATUS(result, 4);
  EXPECT_NE(result.err.find("not backed up (a special file in the destination holds the name of "
                            "the source's file, if there is one): " + P("backup/a.txt")),
            std::string::npos)
      << result.err;
  EXPECT_NE(result.out.find("1 special file in the destination."), std::string::npos) << result.out;
  EXPECT_EQ(Get("backup/b.txt"), "b");
  EXPECT_FALSE(Exists("job.job.state"));
}

// Ctrl-C in the middle of a run. The log is a pipe the test reads: once the
// first copy is logged the test stops reading, so the run soon waits to
// write, and the Ctrl-C comes in the middle of the copies.
Result InterruptedRun(const fs::path& root, const std::string& job, int interrupts) {
  Result result;
  const fs::path log = root / "run.log";
  if (mkfifo(log.c_str(), 0600) != 0) return result;
  const pid_t child = fork();
  if (child == 0) {
    const int null = open("/dev/null", O_RDONLY);
    const int out = open((root / "out.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open((root / "err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(null, 0);
    dup2(out, 1);
    dup2(err, 2);
    std::vector<std::string> words = tolvex::ChildCommand(TolvexPath());
    words.push_back(job);
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  const int fifo = open(log.c_str(), O_RDONLY);
  std::string text;
  char buffer[4096];
  bool signalled = false;
  for (;;) {
    const ssize_t got = read(fifo, buffer, sizeof buffer);
    if (got <= 0) break;
    text.append(buffer, static_cast<size_t>(got));
    if (!signalled && text.find("File copied:") != std::string::npos) {
      for (int i = 0; i < interrupts; ++i) kill(child, SIGINT);
      signalled = true;
    }
  }
  close(fifo);
  int status = 0;
  waitpid(child, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = ReadText(root / "out.txt") + "\n--- log ---\n" + text;
  result.err = ReadText(root / "err.txt");
  return result;
}

TEST_F(CommandPlan, CtrlCStopsTheRunAtItsNextCheckWithTheLogWhole) {
  for (int interrupts : {1, 2}) {
    SCOPED_TRACE(interrupts);
    fs::remove_all(root_ / "backup");
    fs::remove(root_ / "run.log");
    for (int i = 0; i < 600; ++i) Put("source/file" + std::to_string(i) + ".txt", "content " + std::to_string(i));
    WriteJob("LogDetails = both-sides\nLogDateTime = entries");
    const Result result = InterruptedRun(root_, P("job.job"), interrupts);
    EXPECT_STATUS(result, 1);
    EXPECT_NE(result.out.find("Aborted by user.\r\n"), std::string::npos);
    EXPECT_EQ(result.out.rfind(std::string(110, '-') + "\r\n"), result.out.size() - 112) << "the footer ends the log";
    EXPECT_NE(result.err.find("stopped by Ctrl-C"), std::string::npos) << result.err;
    // Every file logged as copied is whole; the rest are not there; no
    // temporary file is left.
    int copied = 0;
    for (const auto& entry : fs::directory_iterator(root_ / "backup")) {
      const std::string name = entry.path().filename().string();
      ASSERT_EQ(name.rfind("~tolvex-tmp.", 0), std::string::npos) << name;
      EXPECT_EQ(Get("backup/" + name), Get("source/" + name));
      ++copied;
    }
    EXPECT_GT(copied, 0);
    EXPECT_LT(copied, 600);
    EXPECT_EQ(CountOf(result.out, "File copied:"), copied);
    EXPECT_FALSE(Exists("job.job.state"));
  }
}
#endif

// A job kept in its own destination, whose orphans are erased: the job
// file and its state file are the command's, never a backup's orphans, on
// the first run and on every later one.
TEST_F(CommandPlan, AJobAndItsStateInsideTheDestinationAreNeverErased) {
  Put("source/a.txt", "a");
  Put("backup/orphan.txt", "orphan");
  WriteJob("OrphanModeD2 = erase\nMaxErase = none");
  fs::rename(root_ / "job.job", root_ / "backup/job.job");
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    const Result result = Run("\"" + P("backup/job.job") + "\"");
    EXPECT_STATUS(result, 0);
    EXPECT_TRUE(Exists("backup/job.job"));
    EXPECT_TRUE(Exists("backup/job.job.state"));
    EXPECT_EQ(result.out.find("job.job.state"), std::string::npos) << result.out;
    // The log's header names the job; no line names the two files.
    EXPECT_EQ(Log().find("backup\\job.job"), std::string::npos) << Log();
  }
  EXPECT_FALSE(Exists("backup/orphan.txt"));
  EXPECT_EQ(Get("backup/a.txt"), "a");
}

// Both ways, the sync state the command keeps beside the job is the run's
// own file too: never copied into the source, never erased as deleted there.
TEST_F(CommandPlan, TheSyncStateOfAJobInsideTheDestinationStaysWhereItIs) {
  Put("source/a.txt", "a");
  WriteJob("TouchMode = 1\nOrphanModeB = 2\nMaxErase = none");
  fs::create_directories(root_ / "backup");
  fs::rename(root_ / "job.job", root_ / "backup/job.job");
  for (int run = 1; run <= 3; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    const Result result = Run("\"" + P("backup/job.job") + "\"");
    EXPECT_STATUS(result, 0);
    EXPECT_TRUE(Exists("backup/job.job"));
    EXPECT_FALSE(Exists("source/job.job.sync"));
    EXPECT_FALSE(Exists("source/job.job"));
    EXPECT_EQ(Log().find("job.job.sync"), std::string::npos) << Log();
  }
  EXPECT_TRUE(Exists("backup/job.job.sync"));
  EXPECT_EQ(Get("backup/a.txt"), "a");
}

}  // namespace
