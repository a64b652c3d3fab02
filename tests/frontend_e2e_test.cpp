// The tolvex command end to end: runs, answers, failed copies and exit
// statuses (the fixture: tests/command_fixture.h).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "testing/child_command.h"
#include "tests/command_fixture.h"

#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>
#endif
#if !defined(_WIN32) && defined(TOLVEX_TERMINAL_UI)
#include "testing/pty_terminal.h"
#endif

namespace {

using namespace tolvex::command_test;

TEST_F(TolvexCommand, OneWayBackupCopiesNewAndChangedFilesAndErasesOrphans) {
  Put("source/new.txt", "new");
  Put("source/sub/deeper/changed.txt", "changed, second edition", 24h);
  Put("backup/sub/deeper/changed.txt", "changed", 72h);
  Put("source/kept.txt", "older in the source", 72h);
  Put("backup/kept.txt", "newer in the backup", 24h);
  Put("source/empty.txt", "");
  Put("source/tmp/skipped.txt", "excluded folder");
  Put("backup/gone.txt", "removed from the source");
  WriteJob("OrphanModeD2 = 2", "[DExclSels]\n" + P("source/tmp") + Star() + "\n");
  const Result result = RunJob();
  EXPECT_STATUS(result, 0);
  EXPECT_EQ(Get("backup/new.txt"), "new");
  EXPECT_EQ(Get("backup/sub/deeper/changed.txt"), "changed, second edition");
  EXPECT_EQ(Get("backup/kept.txt"), "newer in the backup");
  EXPECT_TRUE(Exists("backup/empty.txt"));
  EXPECT_FALSE(Exists("backup/tmp"));
  EXPECT_FALSE(Exists("backup/gone.txt"));
  EXPECT_EQ(CountOf(Log(), "File copied:"), 3) << Log();
  EXPECT_EQ(CountOf(Log(), "File erased:"), 1) << Log();
  EXPECT_NE(result.out.find("Run completed."), std::string::npos);
  EXPECT_NE(Get("job.job.state").find("LastUpdate = "), std::string::npos);
}

TEST_F(TolvexCommand, ASecondRunFindsEverythingUpToDate) {
  Put("source/a.txt", "a");
  Put("source/sub/b.txt", "b");
  WriteJob("");
  ASSERT_EQ(RunJob().status, 0);
  const std::string first_state = Get("job.job.state");
  const Result second = RunJob();
  EXPECT_STATUS(second, 0);
  EXPECT_EQ(CountOf(Log(), "File copied:"), 0) << Log();
  EXPECT_NE(Log().find("No files found."), std::string::npos) << Log();  // the log's line as it was
  // The command says what it compared.
  EXPECT_NE(second.out.find("Nothing to update: all 2 files found are equal on both sides."),
            std::string::npos)
      << second.out;
  EXPECT_EQ(second.out.find("No files found"), std::string::npos) << second.out;
  EXPECT_NE(Get("job.job.state").find("LastUpdate = "), std::string::npos);
}

#if !defined(_WIN32)
// Names Linux holds and Windows cannot (reserved characters, a final dot or
// space) are backed up under their own names, in files and folders; a
// second run finds them equal and changes nothing.
TEST_F(TolvexCommand, NamesWindowsCannotHoldAreBackedUpUnderTheirOwnNames) {
  const std::vector<std::string> names = {"a:b.txt", "what?.txt", "star*.txt", "back\\slash.txt",
                                          "<angle>.txt", "pipe|quote\".txt", "trail.", "space ",
                                          "x..", "tab\there"};
  for (const std::string& name : names) Put("source/" + name, "content of " + name);
  Put("source/trail", "the plain one");
  Put("source/dir:x./inner?.txt", "inner");
  WriteJob("");
  const Result first = RunJob();
  EXPECT_STATUS(first, 0);
  for (const std::string& name : names) EXPECT_EQ(Get("backup/" + name), "content of " + name) << name;
  EXPECT_EQ(Get("backup/trail"), "the plain one");
  EXPECT_EQ(Get("backup/dir:x./inner?.txt"), "inner");
  EXPECT_EQ(CountOf(Log(), "File copied:"), static_cast<int>(names.size()) + 2) << Log();
  EXPECT_EQ(first.err.find("unusable name"), std::string::npos) << first.err;
  const Result second = RunJob();
  EXPECT_STATUS(second, 0);
  EXPECT_EQ(CountOf(Log(), "File copied:"), 0) << Log();
  EXPECT_NE(second.out.find("Nothing to update: all 12 files found are equal on both sides."),
            std::string::npos)
      << second.out;
}

// A destination that holds only Windows names (a FAT disk, here the test
// switch) keeps them out: those files alone fail (the scan does not yet
// name them beforehand), the rest is backed up, and nothing is written
// under another name ("trail." as "trail").
TEST_F(TolvexCommand, ADestinationThatHoldsOnlyWindowsNamesKeepsThoseFilesOut) {
  Put("source/a:b.txt", "colon");
  Put("source/trail.", "dot");
  Put("source/ok.txt", "ok");
  fs::create_directories(root_ / "backup");
  WriteJob("");
  const Result result = RunJob("", "TOLVEX_TEST_VOLUMES='windows-names=" + P("backup") + "' ");
  EXPECT_EQ(Get("backup/ok.txt"), "ok");
  EXPECT_FALSE(Exists("backup/a:b.txt"));
  EXPECT_FALSE(Exists("backup/trail."));
  EXPECT_FALSE(Exists("backup/trail"));
  EXPECT_STATUS(result, 4);
  // Each such file is named, by its real name, as not backed up.
  for (const char* name : {"a:b.txt", "trail."}) {
    EXPECT_NE(result.err.find("copy failed: " + P(std::string("source/") + name) + " -> " +
                              P(std::string("backup/") + name) + ": the file name is not valid"),
              std::string::npos)
        << result.err;
  }
}

// Where both sides tell letter case apart (the test folders lie on ext4 or
// tmpfs), names apart only by case are files like any others: copied,
// matched each with its own counterpart, erased as orphans and logged; a
// name renamed in case only is copied under its new name and the old one
// erased. A destination that ignores case keeps them out as case twins.
TEST_F(TolvexCommand, NamesApartOnlyByCaseAreBackedUpWhereBothSidesTellCaseApart) {
  Put("source/xt_TCPMSS.h", "upper");
  Put("source/xt_tcpmss.h", "lower");
  Put("source/Dir/a.txt", "in Dir");
  Put("source/dir/a.txt", "in dir");
  Put("source/Report.txt", "renamed in case only");
  Put("backup/report.txt", "renamed in case only");
  Put("backup/ONLY.txt", "orphan");
  Put("backup/only.txt", "orphan too");
  WriteJob("OrphanModeD2 = 2");
  const Result first = RunJob();
  EXPECT_STATUS(first, 0);
  EXPECT_EQ(Get("backup/xt_TCPMSS.h"), "upper");
  EXPECT_EQ(Get("backup/xt_tcpmss.h"), "lower");
  EXPECT_EQ(Get("backup/Dir/a.txt"), "in Dir");
  EXPECT_EQ(Get("backup/dir/a.txt"), "in dir");
  EXPECT_EQ(Get("backup/Report.txt"), "renamed in case only");
  for (const char* gone : {"backup/report.txt", "backup/ONLY.txt", "backup/only.txt"}) {
    EXPECT_FALSE(Exists(gone)) << gone;
  }
  EXPECT_EQ(CountOf(Log(), "File copied:"), 5) << Log();
  EXPECT_EQ(CountOf(Log(), "File erased:"), 3) << Log();
  EXPECT_EQ(first.err.find("case twin"), std::string::npos) << first.err;
  const Result second = RunJob();
  EXPECT_STATUS(second, 0);
  EXPECT_EQ(CountOf(Log(), "File copied:") + CountOf(Log(), "File erased:"), 0) << Log();

  // The same source into a backup that ignores case (the test switch).
  fs::remove_all(root_ / "backup");
  fs::create_directories(root_ / "backup");
  const Result caseless = RunJob("", "TOLVEX_TEST_VOLUMES='caseless=" + P("backup") + "' ");
  EXPECT_STATUS(caseless, 4);
  for (const char* twin : {"source/xt_TCPMSS.h", "source/xt_tcpmss.h", "source/Dir/", "source/dir/"}) {
    EXPECT_NE(caseless.err.find("not backed up (case twin): " + P(twin)), std::string::npos)
        << twin << "\n" << caseless.err;
  }
  EXPECT_FALSE(Exists("backup/xt_tcpmss.h"));
  EXPECT_FALSE(Exists("backup/dir"));
  EXPECT_EQ(Get("backup/Report.txt"), "renamed in case only");
}

// Both ways, in both directions, with the sync state the command keeps: the
// twins of each side reach the other, a second run plans nothing, and a
// twin deleted on one side is erased on the other while its twin stays.
TEST_F(TolvexCommand, TwoWayRunsCarryNamesApartOnlyByCaseBothWays) {
  Put("source/A.txt", "source upper");
  Put("source/a.txt", "source lower");
  Put("backup/B.txt", "backup upper");
  Put("backup/b.txt", "backup lower");
  WriteJob("TouchMode = 1\nOrphanModeB = 2");
  EXPECT_STATUS(RunJob(), 0);
  for (const char* side : {"source/", "backup/"}) {
    EXPECT_EQ(Get(std::string(side) + "A.txt"), "source upper") << side;
    EXPECT_EQ(Get(std::string(side) + "a.txt"), "source lower") << side;
    EXPECT_EQ(Get(std::string(side) + "B.txt"), "backup upper") << side;
    EXPECT_EQ(Get(std::string(side) + "b.txt"), "backup lower") << side;
  }
  EXPECT_EQ(CountOf(Log(), "File copied:"), 4) << Log();
  EXPECT_STATUS(RunJob(), 0);
  EXPECT_EQ(CountOf(Log(), "File copied:") + CountOf(Log(), "File erased:"), 0) << Log();
  // A deletion on each side reaches the other; the twin of each stays.
  fs::remove(root_ / "backup/a.txt");
  fs::remove(root_ / "source/B.txt");
  EXPECT_STATUS(RunJob(), 0);
  EXPECT_EQ(CountOf(Log(), "File erased:"), 2) << Log();
  EXPECT_FALSE(Exists("source/a.txt"));
  EXPECT_FALSE(Exists("backup/B.txt"));
  EXPECT_EQ(Get("source/A.txt"), "source upper");
  EXPECT_EQ(Get("backup/A.txt"), "source upper");
  EXPECT_EQ(Get("source/b.txt"), "backup lower");
  EXPECT_EQ(Get("backup/b.txt"), "backup lower");
  EXPECT_STATUS(RunJob(), 0);
  EXPECT_EQ(CountOf(Log(), "File copied:") + CountOf(Log(), "File erased:"), 0) << Log();
}
#endif

TEST_F(TolvexCommand, TwoWayUpdateCopiesTheNewerFileOfEachPairBothWays) {
  Put("source/left.txt", "left, newer", 24h);
  Put("backup/left.txt", "left", 72h);
  Put("source/right.txt", "right", 72h);
  Put("backup/right.txt", "right, newer", 24h);
  Put("backup/only-there/file.txt", "only in the backup");
  WriteJob("TouchMode = 1\nOrphanModeB = 0");
  const Result result = RunJob();
  EXPECT_STATUS(result, 0);
  EXPECT_EQ(Get("backup/left.txt"), "left, newer");
  EXPECT_EQ(Get("source/right.txt"), "right, newer");
  EXPECT_EQ(Get("source/only-there/file.txt"), "only in the backup");  // folder made on the way
  EXPECT_EQ(CountOf(Log(), "File copied:"), 3) << Log();
}

TEST_F(TolvexCommand, RefusesEachKindOfBadJobLineAndRunsNothing) {
  struct Case {
    const char* job_line;
    const char* where;
  } cases[] = {
      {"Colour = red", "job.job:6: Colour: unknown key"},
      {"VaryMode = four", "job.job:6: VaryMode: \"four\" is not a number"},
      {"OrphanModeD1 = 2", "job.job:6: OrphanModeD1: 2 is not one of the values 0 or 1"},
      {"Warnings = 0x10", "job.job:6: Warnings:"},
      {"LeastDate = 2026-13-01", "job.job:6: LeastDate:"},
      {"BlockColor1 = 255,0,0", "job.job:6: BlockColor1:"},
      {"DateSeparator = ::", "job.job:6: DateSeparator:"},
      {"LogDetails = 9", "job.job:6: LogDetails:"},
      {"Destination = relative/backup", "job.job:6: Destination: given twice"},
      {"[Options]", "job.job:6: [Options]: unknown section"},
  };
  Put("source/a.txt", "a");
  for (const Case& c : cases) {
    WriteJob(c.job_line);
    const Result result = RunJob();
    EXPECT_STATUS(result, 2);
    EXPECT_NE(result.err.find(c.where), std::string::npos) << c.job_line << ": " << result.err;
    EXPECT_FALSE(Exists("backup")) << c.job_line;
    EXPECT_FALSE(Exists("run.log")) << c.job_line;
  }
  std::ofstream(root_ / "job.job") << "[Job]\nDestination = " << P("backup")
                                   << "\nLogFile = relative.log\n";
  Result relative = RunJob();
  EXPECT_STATUS(relative, 2);
  EXPECT_NE(relative.err.find("job.job:3: LogFile: \"relative.log\" is not an absolute path"),
            std::string::npos)
      << relative.err;
  std::ofstream(root_ / "job.job") << "[Job]\nVaryMode = 1\n";
  Result missing = RunJob();
  EXPECT_STATUS(missing, 2);
  EXPECT_NE(missing.err.find("job.job: Destination: missing"), std::string::npos) << missing.err;
  EXPECT_FALSE(Exists("job.job.state"));
}

TEST_F(TolvexCommand, CheckPrintsTheResolvedJobAndRunsNothing) {
  Put("source/a.txt", "a");
  WriteJob("VaryMode = 3\nLeastDate = 2001-01-05 07:08:10\nBlockColor2 = #102030");
  const Result result = Run("check \"" + P("job.job") + "\"");
  EXPECT_STATUS(result, 0);
  for (const char* expected : {"SetDInclSel", ":\\", "SetVaryMode         3",
                               "SetLeastDate        0x2A253905", "2001-01-05 07:08:10",
                               "SetBlockColor2      0x00302010", "SetFilename         \"job.job\""}) {
    EXPECT_NE(result.out.find(expected), std::string::npos) << expected << "\n" << result.out;
  }
  EXPECT_FALSE(Exists("backup"));
  EXPECT_FALSE(Exists("run.log"));
}

TEST_F(TolvexCommand, ConfirmModeOneWithYesKeepsTheProposedActions) {
  Put("source/a.txt", "a");
  Put("source/b.txt", "b");
  WriteJob("ConfirmMode = 1");
  const Result kept = RunJob("--yes");
  EXPECT_STATUS(kept, 0);
  EXPECT_EQ(Get("backup/a.txt"), "a");
  EXPECT_EQ(Get("backup/b.txt"), "b");
  EXPECT_EQ(CountOf(kept.out, "[as proposed, for all files]"), 1) << kept.out;  // then no more questions
}

TEST_F(TolvexCommand, ConfirmModeOneWithNoSkipsEveryFile) {
  Put("source/a.txt", "a");
  Put("source/b.txt", "b");
  WriteJob("ConfirmMode = 1");
  const Result skipped = RunJob("--no");
  EXPECT_STATUS(skipped, 0);
  EXPECT_FALSE(Exists("backup/a.txt"));
  EXPECT_EQ(CountOf(Log(), "File skipped:"), 2) << Log();
}

TEST_F(TolvexCommand, TheMidnightHintIsLoggedUnlessAnsweredNo) {
  Put("source/a.txt", "a");
  WriteJob("Midnight = 1");
  EXPECT_STATUS(RunJob(), 0);
  EXPECT_NE(Log().find("Hint: It is shortly after midnight."), std::string::npos) << Log();
  EXPECT_STATUS(RunJob("--no"), 0);
  EXPECT_EQ(Log().find("Hint:"), std::string::npos) << Log();
}

// A job that asks questions, started where nobody can answer them (cron, a
// pipe): a default answer would decide for nobody (keep all: the newer
// edit overwrites the other side's), and a plan the user asked to see
// would run unseen. The job does not start: one line says why, exit status
// 7, nothing scanned, written or logged. --yes and --no answer per-file
// questions; nothing answers the overview.
TEST_F(TolvexCommand, AJobThatAsksQuestionsDoesNotStartWithoutATerminal) {
  const struct {
    const char* job_lines;
    const char* options;
    const char* why;
  } cases[] = {
      {"ConfirmMode = each-file", "", "ConfirmMode each-file"},
#if !defined(_WIN32)
      // On Windows the overview is a dialog, with or without a console.
      {"ConfirmMode = overview", "", "ConfirmMode overview"},
      {"ConfirmMode = overview", "--yes ", "ConfirmMode overview"},
#endif
  };
  std::ofstream(root_ / "job.job.state") << "[State]\nLastUpdate = " << DateAgo(72h) << "\n";
  Put("source/a.txt", "edited on the laptop, longer", 24h);
  Put("backup/a.txt", "edited on the desktop", 48h);
  Put("source/new.txt", "new");
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.job_lines) + " " + c.options);
    WriteJob(std::string("TouchMode = both\nOrphanModeB = erase\n") + c.job_lines);
    // In a session of its own (POSIX): no controlling terminal, as under
    // cron, also when the tests run from a terminal.
#if defined(_WIN32)
    const Result result = RunJob(c.options);
#else
    const Result result = Run(std::string(c.options) + "\"" + P("job.job") + "\"", "setsid -w ");
#endif
    EXPECT_STATUS(result, 7);
    EXPECT_EQ(CountOf(result.err, "\n"), 1) << result.err;
    EXPECT_NE(result.err.find(c.why), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("no terminal"), std::string::npos) << result.err;
    EXPECT_EQ(Get("source/a.txt"), "edited on the laptop, longer");
    EXPECT_EQ(Get("backup/a.txt"), "edited on the desktop");
    EXPECT_FALSE(Exists("backup/new.txt"));
    EXPECT_FALSE(Exists("run.log"));
    EXPECT_NE(Get("job.job.state").find(DateAgo(72h).substr(0, 10)), std::string::npos);
  }
  // Answered by the person who started it, per-file questions run.
  WriteJob("TouchMode = both\nOrphanModeB = erase\nConfirmMode = each-file");
  EXPECT_STATUS(RunJob("--no"), 0);
  EXPECT_EQ(Get("backup/a.txt"), "edited on the desktop");
}

// "tolvex check --unattended" tells beforehand what a timer or cron run of
// the job would do: start, or stop with exit status 7 and the same one line.
TEST_F(TolvexCommand, CheckUnattendedTellsWhetherATimerRunWouldStart) {
  const struct {
    const char* job_lines;
    const char* options;
    int status;
  } cases[] = {
      {"ConfirmMode = none", "", 0},
      {"ConfirmMode = each-file", "", 7},
      {"ConfirmMode = each-file", "--yes ", 0},
      {"ConfirmMode = each-file", "--no ", 0},
#if !defined(_WIN32)
      {"ConfirmMode = overview", "", 7},
      {"ConfirmMode = overview", "--yes ", 7},
#endif
  };
  Put("source/a.txt", "a");
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.job_lines) + " " + c.options);
    WriteJob(c.job_lines);
    const Result checked = Run(std::string("check --unattended ") + c.options + "\"" + P("job.job") + "\"");
    EXPECT_STATUS(checked, c.status);
    EXPECT_EQ(CountOf(checked.err, "\n"), c.status == 7 ? 1 : 0) << checked.err;
    if (c.status == 7) {
      EXPECT_NE(checked.err.find("unattended, this job would stop before anything was done"),
                std::string::npos) << checked.err;
      EXPECT_NE(checked.err.find(std::string(c.job_lines).substr(14)), std::string::npos)
          << checked.err;
    }
    EXPECT_FALSE(Exists("backup")) << "check wrote into the destination";
    // The run itself, without a terminal, agrees.
#if defined(_WIN32)
    const Result run = RunJob(c.options);
#else
    const Result run = Run(std::string(c.options) + "\"" + P("job.job") + "\"", "setsid -w ");
#endif
    EXPECT_EQ(run.status == 7, c.status == 7) << run.err;
    std::error_code ignored;
    fs::remove_all(root_ / "backup", ignored);
    fs::remove(root_ / "job.job.state", ignored);
  }
  // Plain check says nothing of it; --unattended belongs to check.
  WriteJob("ConfirmMode = each-file");
  EXPECT_STATUS(Run("check \"" + P("job.job") + "\""), 0);
  EXPECT_STATUS(Run("--unattended \"" + P("job.job") + "\""), 2);
}

TEST_F(TolvexCommand, ChecksOfTheEngineEndTheRunWithStatusThree) {
  Put("source/a.txt", "a");
  WriteJob("", "[FExclSels]\n*.bak\n[FInclSels]\n");  // no file pattern at all
  const Result no_patterns = RunJob();
  EXPECT_STATUS(no_patterns, 3);
  EXPECT_NE(Log().find("Error: No source directories or files specified."), std::string::npos);
  EXPECT_NE(no_patterns.out.find("no file pattern"), std::string::npos) << no_patterns.out;

  // A drive letter that names no drive.
  std::ofstream(root_ / "job.job") << "[Job]\nDestination = Q:\\backup\nLogFile = " << P("run.log")
                                   << "\n[DInclSels]\n" << P("source") << "\n[FInclSels]\n*.*\n";
  const Result no_drive = RunJob();
  EXPECT_STATUS(no_drive, 3);
  EXPECT_NE(no_drive.out.find("drive Q:"), std::string::npos) << no_drive.out;
  EXPECT_FALSE(Exists("job.job.state"));
}

// A destination whose scanned folders hold a source folder: relative paths
// from source/ into the folder above it would scan the whole tree as the
// destination's, and take the source files (and the job file) for orphans.
// The command refuses the job before anything runs, and so does its check.
TEST_F(TolvexCommand, RefusesADestinationAboveTheSourceFolders) {
  Put("source/a.txt", "a");
  Put("elsewhere/keep.txt", "unrelated");
  std::ofstream(root_ / "job.job", std::ios::binary)
      << "[Job]\nDestination = " << P("") << "\nPathMode = 2\nOrphanModeD2 = 2\nLogFile = "
      << P("run.log") << "\n[DInclSels]\n" << P("source") << Star() << "\n[FInclSels]\n*.*\n";
  for (const char* command : {"", "check "}) {
    SCOPED_TRACE(command);
    const Result result = Run(std::string(command) + "\"" + P("job.job") + "\"");
    EXPECT_STATUS(result, 2);
    EXPECT_NE(result.err.find("Destination"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(P("source")), std::string::npos) << result.err;
  }
  EXPECT_EQ(Get("source/a.txt"), "a");
  EXPECT_EQ(Get("elsewhere/keep.txt"), "unrelated");
  EXPECT_TRUE(Exists("job.job"));
  EXPECT_FALSE(Exists("run.log"));
  EXPECT_FALSE(Exists("job.job.state"));
}

// The source folder is gone (renamed, or a disk not mounted): the backup is
// no pile of orphans. The run stops as without selections, says why, and
// records nothing.
TEST_F(TolvexCommand, AMissingSourceFolderLeavesTheBackupAlone) {
  Put("backup/a.txt", "the only copy left");
  Put("backup/sub/b.txt", "b");
  fs::remove_all(root_ / "source");
  WriteJob("OrphanModeD2 = 2");
  const Result result = RunJob();
  EXPECT_STATUS(result, 3);
  EXPECT_EQ(Get("backup/a.txt"), "the only copy left");
  EXPECT_EQ(Get("backup/sub/b.txt"), "b");
  EXPECT_NE(Log().find("Missing folder: "), std::string::npos) << Log();
  EXPECT_NE(result.out.find("no source folder that exists"), std::string::npos) << result.out;
  EXPECT_FALSE(Exists("job.job.state"));
}

// The summary names the folder written into only after a run that wrote
// there: not after the erase guard stopped it ("nothing was erased or
// copied"), nor after a run with nothing to update.
TEST_F(TolvexCommand, WrittenIntoOnlyAfterARunThatWroteThere) {
  const struct {
    const char* name;
    const char* options;
    bool wrote;
  } cases[] = {
      {"stopped by the erase guard", "", false},
      {"forced: erased in the backup", "--force ", true},
      {"nothing left to update", "", false},
  };
  for (int i = 0; i < 12; ++i) Put("backup/old" + std::to_string(i) + ".txt", "orphan");
  WriteJob("OrphanModeD2 = erase");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Result result = RunJob(c.options);
    EXPECT_EQ(result.out.find("written into") != std::string::npos, c.wrote) << result.out;
  }
  Put("source/a.txt", "a");
  const Result copied = RunJob();
  EXPECT_STATUS(copied, 0);
  EXPECT_NE(copied.out.find("written into              " + P("backup")), std::string::npos) << copied.out;
}

// "tolvex plan" ends with the status the run would get now, and "tolvex
// check" warns of a source folder that is not there and ends as a run would.
TEST_F(TolvexCommand, PlanAndCheckEndWithTheStatusOfTheRun) {
  for (int i = 0; i < 12; ++i) Put("backup/old" + std::to_string(i) + ".txt", "orphan");
  Put("elsewhere/b.txt", "b");
  const auto job_with = [&](const std::string& job_lines, const std::vector<std::string>& sources) {
    std::ofstream job(root_ / "job.job", std::ios::binary);
    job << "[Job]\nDestination = " << P("backup") << "\n" << job_lines << "\n[DInclSels]\n";
    for (const std::string& source : sources) job << P(source) << Star() << "\n";
    job << "[FInclSels]\n*.*\n";
  };
  const struct {
    const char* name;
    const char* job_lines;
    std::vector<std::string> sources;
    int plan_status;
    int check_status;
  } cases[] = {
      {"the guard would stop the run", "OrphanModeD2 = erase", {"source"}, 1, 0},
      {"a missing source folder would be left out", "", {"source", "nowhere"}, 4, 4},
      {"no source folder is there", "", {"nowhere", "gone"}, 3, 3},
      {"the run would complete", "", {"elsewhere"}, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    job_with(c.job_lines, c.sources);
    const Result plan = Run("plan \"" + P("job.job") + "\"");
    EXPECT_STATUS(plan, c.plan_status);
    const Result check = Run("check \"" + P("job.job") + "\"");
    EXPECT_STATUS(check, c.check_status);
    EXPECT_EQ(check.err.find("tolvex: warning: the source folder " + P("nowhere") + " does not exist") !=
                  std::string::npos,
              c.check_status != 0)
        << check.err;
  }
  EXPECT_FALSE(Exists("backup/b.txt"));
  EXPECT_TRUE(Exists("backup/old0.txt"));
}

// Both ways, files on one side only erased: a file made since the last run
// is new work and is copied. When its copy fails, the run is not recorded:
// the next run still counts from the run before, so the file is still new
// work then, and not taken for one deleted on the other side.
TEST_F(TolvexCommand, AFileWhoseCopyFailedIsStillNewWorkInTheNextRun) {
  Put("source/a.txt", "a", 480h);
  Put("backup/a.txt", "a", 480h);
  std::ofstream(root_ / "job.job.state") << "[State]\nLastUpdate = " << DateAgo(240h) << "\n";
  Put("source/new.txt", "made five days ago", 120h);
  fs::create_directories(root_ / "backup/new.txt");  // a folder in the way: the copy fails
  WriteJob("TouchMode = 1\nOrphanModeB = 2");

  const Result first = RunJob();
  EXPECT_STATUS(first, 4);
  EXPECT_EQ(Get("source/new.txt"), "made five days ago");
  EXPECT_NE(Get("job.job.state").find(DateAgo(240h).substr(0, 10)), std::string::npos)
      << Get("job.job.state");

  fs::remove(root_ / "backup/new.txt");
  const Result second = RunJob();
  EXPECT_STATUS(second, 0);
  EXPECT_EQ(Get("source/new.txt"), "made five days ago");
  EXPECT_EQ(Get("backup/new.txt"), "made five days ago");
  EXPECT_EQ(CountOf(Log(), "File erased:"), 0) << Log();
}

// An older copy in the backup that cannot be replaced: the copy fails, and
// the run ends with status 4, whichever way the command learns of it. On
// Linux the copy is read-only; on Windows it is held open without sharing
// (Wine, run as root, copies over read-only files).
class FailedCopy : public TolvexCommand {
 protected:
  ~FailedCopy() override {
#if defined(_WIN32)
    if (held_ != INVALID_HANDLE_VALUE) CloseHandle(held_);
#endif
  }
  void MakeProtectedTarget() {
    Put("source/locked.txt", "new content", 24h);
    Put("backup/locked.txt", "old content", 72h);
    Put("source/fine.txt", "fine");
#if defined(_WIN32)
    held_ = CreateFileA(P("backup/locked.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held_, INVALID_HANDLE_VALUE);
#else
    fs::permissions(root_ / "backup/locked.txt",
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
#endif
  }
  std::string LockedContent() {
#if defined(_WIN32)
    CloseHandle(held_);
    held_ = INVALID_HANDLE_VALUE;
#endif
    return Get("backup/locked.txt");
  }
  void ExpectFailureReported(const Result& result) {
    EXPECT_STATUS(result, 4);
    EXPECT_EQ(LockedContent(), "old content");
    EXPECT_EQ(Get("backup/fine.txt"), "fine");
    EXPECT_NE(result.out.find("1 copy failed"), std::string::npos) << result.out;
    // Standard error names the file and the reason.
    EXPECT_NE(result.err.find("tolvex: copy failed: " + P("source/locked.txt") + " -> " +
                              P("backup/locked.txt") + ": "),
              std::string::npos)
        << result.err;
    // Not recorded: the file that failed stays newer than LastUpdate.
    EXPECT_FALSE(Exists("job.job.state"));
  }

#if defined(_WIN32)
  HANDLE held_ = INVALID_HANDLE_VALUE;
#endif
};

TEST_F(FailedCopy, AskedAboutItIsSkipped) {
  MakeProtectedTarget();
  WriteJob("Warnings = 0x40");
  const Result result = RunJob();
  ExpectFailureReported(result);
  EXPECT_NE(result.out.find("Copy failed: "), std::string::npos) << result.out;
  EXPECT_EQ(CountOf(Log(), "Error at copying:"), 1) << Log();
  EXPECT_EQ(CountOf(Log(), "File skipped:"), 1) << Log();
}

// The command always hears of a failed copy from the engine (it sets
// Warnings 0x40) and skips it without a question when the job did not ask:
// the engine then logs the skip after the error.
TEST_F(FailedCopy, NotAskedAboutItIsSkippedWithoutAQuestion) {
  MakeProtectedTarget();
  WriteJob("");
  const Result result = RunJob();
  ExpectFailureReported(result);
  EXPECT_NE(result.out.find("skipped"), std::string::npos) << result.out;
  EXPECT_EQ(CountOf(Log(), "Error at copying:"), 1) << Log();
  EXPECT_EQ(CountOf(Log(), "File skipped:"), 1) << Log();
}

// What the command reports never depends on the log: none, one with no file
// lines, or one that cannot be opened (a folder stands where it should be).
TEST_F(FailedCopy, IsReportedWhateverTheLogDoes) {
  for (const char* lines : {"LogActive = 0", "LogDetails = 3", ""}) {
    MakeProtectedTarget();
    fs::remove_all(root_ / "run.log");
    if (std::string(lines).empty()) fs::create_directory(root_ / "run.log");
    WriteJob(lines);
    const Result result = RunJob();
    SCOPED_TRACE(lines);
    ExpectFailureReported(result);
    fs::remove(root_ / "job.job.state");
#if !defined(_WIN32)
    fs::permissions(root_ / "backup/locked.txt", fs::perms::owner_write, fs::perm_options::add);
#endif
  }
}

// Holds the lock file of a destination as a running engine does.
class DestinationHolder {
 public:
  explicit DestinationHolder(const fs::path& folder) {
    const fs::path file = folder / "~tolvex-run.lock";
#if defined(_WIN32)
    handle_ = ::CreateFileA(file.string().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_ALWAYS, 0, nullptr);
#else
    fd_ = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ >= 0 && flock(fd_, LOCK_EX | LOCK_NB) != 0) Release();
#endif
  }
  ~DestinationHolder() { Release(); }
  bool held() const {
#if defined(_WIN32)
    return handle_ != INVALID_HANDLE_VALUE;
#else
    return fd_ >= 0;
#endif
  }
  void Release() {
#if defined(_WIN32)
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
#else
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
#endif
  }

 private:
#if defined(_WIN32)
  HANDLE handle_ = INVALID_HANDLE_VALUE;
#else
  int fd_ = -1;
#endif
};

// Two runs of one job at once (two terminals, a scheduler firing twice):
// the second stops at once and touches nothing, its log included, or with
// --wait waits for the first to end and then runs.
TEST_F(TolvexCommand, ASecondRunOfTheJobStopsOrWaitsForTheFirst) {
  Put("source/a.txt", "a");
  WriteJob("");
  fs::create_directories(root_ / "backup");
  DestinationHolder first(root_ / "backup");
  ASSERT_TRUE(first.held());

  const Result refused = RunJob();
  EXPECT_STATUS(refused, 3);
  EXPECT_NE(refused.out.find("another run is using the destination"), std::string::npos)
      << refused.out;
  EXPECT_FALSE(Exists("backup/a.txt"));
  EXPECT_FALSE(Exists("run.log"));

  const Result gave_up = RunJob("--wait 1");
  EXPECT_STATUS(gave_up, 3);
  EXPECT_NE(gave_up.out.find("waiting"), std::string::npos) << gave_up.out;
  EXPECT_NE(gave_up.out.find("did not end within 1 s"), std::string::npos) << gave_up.out;

  std::thread ends([&first] {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    first.Release();
  });
  const Result waited = RunJob("--wait 30");
  ends.join();
  EXPECT_STATUS(waited, 0);
  EXPECT_NE(waited.out.find("waiting"), std::string::npos) << waited.out;
  EXPECT_EQ(Get("backup/a.txt"), "a");
  EXPECT_STATUS(Run("--wait soon \"" + P("job.job") + "\""), 2);
}

TEST_F(TolvexCommand, CommandLineFaultsAndAMissingEngine) {
  Put("source/a.txt", "a");
  WriteJob("");
  EXPECT_STATUS(Run(""), 2);
  EXPECT_STATUS(Run("--frobnicate \"" + P("job.job") + "\""), 2);
  EXPECT_STATUS(Run("--yes --no \"" + P("job.job") + "\""), 2);
  const Result no_engine = RunJob("--library \"" + P("missing-library") + "\"");
  EXPECT_STATUS(no_engine, 5);
  EXPECT_NE(no_engine.err.find("missing-library"), std::string::npos) << no_engine.err;
  EXPECT_FALSE(Exists("backup"));
  const Result help = Run("--help");
  EXPECT_STATUS(help, 0);
  for (const char* section : {"EXIT STATUS", "ANSWERS", "OrphanModeD2", "LAST UPDATE", "OVERVIEW"}) {
    EXPECT_NE(help.out.find(section), std::string::npos) << section;
  }
}

// The pseudo-terminal the tests read is built with the terminal views (a
// build without them, such as the 32-bit one, has no terminal emulator
// library to read it with).
#if !defined(_WIN32) && defined(TOLVEX_TERMINAL_UI)

// A person at a terminal: tolvex runs on a pseudo terminal, and each key is
// typed once the question it answers has been printed.
struct TypedAnswer {
  const char* question;  // text that ends the question on the screen
  char key;
};

// Runs the command on `terminal` (a child that execs it).
bool StartCommand(tolvex::PtyTerminal& terminal, const std::vector<std::string>& arguments) {
  std::vector<std::string> argv = tolvex::ChildCommand(TolvexPath());
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return terminal.Start([argv] {
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    return 127;
  });
}

int ExitStatusOf(int wait_status) { return WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1; }

Result RunOnTerminal(const std::vector<std::string>& arguments,
                     const std::vector<TypedAnswer>& answers) {
  tolvex::PtyTerminal terminal(24, 80);
  Result result;
  if (!StartCommand(terminal, arguments)) return result;
  for (const TypedAnswer& answer : answers) {
    if (!terminal.WaitForOutput(answer.question)) break;
    terminal.Type(std::string(1, answer.key));
  }
  result.status = ExitStatusOf(terminal.WaitForExit());
  result.out = terminal.Output();
  return result;
}

TEST_F(TolvexCommand, APersonAnswersEachFileWithOneKey) {
  Put("source/a.txt", "a");
  Put("source/b.txt", "b");
  Put("source/c.txt", "c");
  WriteJob("ConfirmMode = 1\nSortMode = 1");  // by name: a, b, c
  const Result result = RunOnTerminal(
      {P("job.job")}, {{"(Enter keeps copy)", 'i'}, {"(Enter keeps copy)", '\r'}, {"(Enter keeps copy)", 'q'}});
  EXPECT_STATUS(result, 1);  // q quits: the run is aborted
  EXPECT_FALSE(Exists("backup/a.txt"));
  EXPECT_EQ(Get("backup/b.txt"), "b");
  EXPECT_FALSE(Exists("backup/c.txt"));
  EXPECT_EQ(CountOf(Log(), "File skipped:"), 1) << Log();
  EXPECT_EQ(CountOf(Log(), "File copied:"), 1) << Log();
}

// A restore asks a person before it replaces a file in place that is newer
// than the backup's copy: y replaces it (kept beside it as
// NAME.tolvex-replaced), Enter keeps it.
TEST_F(TolvexCommand, ARestoreAsksAPersonBeforeReplacingANewerFile) {
  Put("source/docs/a.txt", "backed up", 72h);
  WriteJob("");
  ASSERT_EQ(RunJob().status, 0);
  Put("source/docs/a.txt", "edited since", 1h);
  const std::vector<std::string> restore = {"restore", P("job.job"), P("source/docs")};
  const Result kept = RunOnTerminal(restore, {{"[y/N] ", '\r'}});
  EXPECT_STATUS(kept, 0);
  EXPECT_NE(kept.out.find("newer than the backup's copy"), std::string::npos) << kept.out;
  EXPECT_EQ(Get("source/docs/a.txt"), "edited since");
  EXPECT_FALSE(Exists("source/docs/a.txt.tolvex-replaced"));
  const Result replaced = RunOnTerminal(restore, {{"[y/N] ", 'y'}});
  EXPECT_STATUS(replaced, 0);
  EXPECT_EQ(Get("source/docs/a.txt"), "backed up");
  EXPECT_EQ(Get("source/docs/a.txt.tolvex-replaced"), "edited since");
}

TEST_F(FailedCopy, APersonMayAbortTheRunAtAFailedCopy) {
  MakeProtectedTarget();
  WriteJob("Warnings = 0x40\nSortMode = 1");  // fine.txt, then locked.txt
  const Result result = RunOnTerminal({P("job.job")}, {{"(Enter skips)", 'a'}});
  EXPECT_STATUS(result, 1);
  EXPECT_NE(result.out.find("access denied: the target is read-only"), std::string::npos);
  EXPECT_EQ(Get("backup/fine.txt"), "fine");
  EXPECT_FALSE(Exists("job.job.state"));
}

// One key used to erase the source file: e at a question erases the
// candidate's file and its counterpart, whatever the job planned. The
// question names each file with its side and real path, and an erase the
// job did not plan is asked about once more (No: the question again).
TEST_F(TolvexCommand, TheKeyEraseNamesTheFilesAndAsksOnceMoreUnlessPlanned) {
  Put("source/a.txt", "a, the only copy");
  Put("backup/gone.txt", "only in the backup");
  WriteJob("ConfirmMode = each-file\nSortMode = name\nOrphanModeD2 = erase");
  const Result result = RunOnTerminal({P("job.job")}, {{"(Enter keeps copy)", 'e'},
                                                       {"Erase? [y/N]", 'n'},
                                                       {"(Enter keeps copy)", 'i'},
                                                       {"(Enter keeps erase)", 'e'}});
  EXPECT_STATUS(result, 0);
  EXPECT_NE(result.out.find("e erase the SOURCE file " + P("source/a.txt") + "\r\n"), std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("e erase the DESTINATION file " + P("backup/gone.txt") + "\r\n"),
            std::string::npos)
      << result.out;
  EXPECT_EQ(CountOf(result.out, "Erase? [y/N]"), 1) << result.out;  // the planned erase is not asked again
  EXPECT_EQ(Get("source/a.txt"), "a, the only copy");
  EXPECT_FALSE(Exists("backup/a.txt"));
  EXPECT_FALSE(Exists("backup/gone.txt"));
}

// At a failed copy e erases both files of the pair (the engine's answer 40
// takes the candidate's file and its counterpart): both are named, and it is
// asked once more; yes erases them (the read-only backup refuses, as on
// Windows, and the log says so).
TEST_F(FailedCopy, TheKeyEraseNamesBothFilesAndAsksOnceMore) {
  MakeProtectedTarget();
  WriteJob("Warnings = 0x40\nSortMode = name");  // fine.txt, then locked.txt
  const std::string names = "e erase the SOURCE file " + P("source/locked.txt") +
                            " and the DESTINATION file " + P("backup/locked.txt") + "\r\n";
  const Result kept = RunOnTerminal(
      {P("job.job")}, {{"(Enter skips)", 'e'}, {"Erase? [y/N]", 'n'}, {"(Enter skips)", 's'}});
  EXPECT_STATUS(kept, 4);
  EXPECT_NE(kept.out.find(names), std::string::npos) << kept.out;
  EXPECT_EQ(Get("source/locked.txt"), "new content");
  EXPECT_EQ(LockedContent(), "old content");

  const Result erased = RunOnTerminal({P("job.job")}, {{"(Enter skips)", 'e'}, {"Erase? [y/N]", 'y'}});
  EXPECT_NE(erased.out.find(names), std::string::npos) << erased.out;
  EXPECT_FALSE(Exists("source/locked.txt"));
  EXPECT_EQ(CountOf(Log(), "File erased:"), 1) << Log();
  EXPECT_EQ(CountOf(Log(), "Error at erasing:"), 1) << Log();
}

// The Interrupt key (i in the copy view) is the person's own doing: the
// command says "interrupted by you", never "copy failed" (the log keeps its
// "Error at copying" line). The key typed right after the answer to a
// per-file question waits for the copy view, which reads it before the copy.
TEST_F(TolvexCommand, AnInterruptIsReportedAsInterruptedByYou) {
  Put("source/a.txt", "a");
  WriteJob("ConfirmMode = each-file");
  tolvex::PtyTerminal terminal(24, 80);
  ASSERT_TRUE(StartCommand(terminal, {P("job.job")}));
  ASSERT_TRUE(terminal.WaitForOutput("(Enter keeps copy)")) << terminal.Output();
  terminal.Type("ci");
  ASSERT_TRUE(terminal.WaitForOutput("(Enter skips)")) << terminal.Output();
  terminal.Type("s");
  EXPECT_EQ(ExitStatusOf(terminal.WaitForExit()), 4) << terminal.Output();
  const std::string out = terminal.Output();
  EXPECT_NE(out.find("Interrupted by you: " + P("source/a.txt") + " -> " + P("backup/a.txt") +
                     " (not copied)."),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("not everything selected was backed up: 1 copy interrupted by you."),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("tolvex: interrupted by you, not copied: " + P("source/a.txt")), std::string::npos)
      << out;
  EXPECT_NE(out.find("skipped                   1 file (interrupted by you 1)"), std::string::npos) << out;
  EXPECT_EQ(out.find("opy failed"), std::string::npos) << out;
  EXPECT_EQ(CountOf(Log(), "Error at copying:"), 1) << Log();
  EXPECT_FALSE(Exists("backup/a.txt"));
}

// Erase in the terminal overview: for files the plan did not erase, the
// overview lists what the erase takes (both files of a pair) and asks; any
// key but y leaves the entry as it was. A planned erase is not asked about.
TEST_F(TolvexCommand, EraseInTheTerminalOverviewNamesTheFilesAndAsksOnceMore) {
  Put("source/a.txt", "a, the only copy");      // new: e, then not confirmed
  Put("source/b.txt", "b, new", 24h);           // newer: e, confirmed
  Put("backup/b.txt", "b, old", 72h);
  Put("backup/gone.txt", "only in the backup");  // planned erase: n, then e again
  WriteJob("ConfirmMode = overview\nSortMode = name\nDisplayMode = compact\nOrphanModeD2 = erase");
  using Pty = tolvex::PtyTerminal;
  Pty terminal(24, 80);
  ASSERT_TRUE(StartCommand(terminal, {P("job.job")}));
  ASSERT_TRUE(terminal.WaitForScreen("h Help")) << terminal.Screen();
  terminal.Type(std::string(Pty::kHome) + "e");
  ASSERT_TRUE(terminal.WaitForScreen("the SOURCE file " + P("source/a.txt"))) << terminal.Screen();
  EXPECT_EQ(terminal.Screen().find("DESTINATION"), std::string::npos) << terminal.Screen();
  terminal.Type("n");
  ASSERT_TRUE(terminal.WaitForScreen("h Help")) << terminal.Screen();
  terminal.Type(std::string(Pty::kDown) + "e");
  ASSERT_TRUE(terminal.WaitForScreen("the DESTINATION file " + P("backup/b.txt"))) << terminal.Screen();
  EXPECT_NE(terminal.Screen().find("the SOURCE file " + P("source/b.txt")), std::string::npos)
      << terminal.Screen();
  terminal.Type("y");
  ASSERT_TRUE(terminal.WaitForScreen("h Help")) << terminal.Screen();
  terminal.Type(std::string(Pty::kEnd) + "ne" + "k");
  EXPECT_EQ(ExitStatusOf(terminal.WaitForExit()), 0) << terminal.Output();
  EXPECT_EQ(CountOf(terminal.Output(), P("backup/gone.txt")), 0) << "asked about the planned erase";
  EXPECT_EQ(Get("source/a.txt"), "a, the only copy");
  EXPECT_EQ(Get("backup/a.txt"), "a, the only copy");
  EXPECT_FALSE(Exists("source/b.txt"));
  EXPECT_FALSE(Exists("backup/b.txt"));
  EXPECT_FALSE(Exists("backup/gone.txt"));
}

// -q and -v change what the command prints, never whether the overview of
// ConfirmMode 2 is shown: it comes up, and OK runs the plan.
TEST_F(TolvexCommand, QuietAndVerboseStillShowTheOverview) {
  Put("source/a.txt", "a");
  WriteJob("ConfirmMode = overview");
  for (const char* option : {"-q", "-v"}) {
    SCOPED_TRACE(option);
    fs::remove_all(root_ / "backup");
    tolvex::PtyTerminal terminal(24, 80);
    ASSERT_TRUE(StartCommand(terminal, {option, P("job.job")}));
    ASSERT_TRUE(terminal.WaitForScreen("h Help")) << terminal.Output();
    terminal.Type("k");
    EXPECT_EQ(ExitStatusOf(terminal.WaitForExit()), 0) << terminal.Output();
    EXPECT_EQ(Get("backup/a.txt"), "a");
  }
}

// A person reviews the plan in the terminal overview, changes it and runs
// it: exactly the actions left in the plan are carried out.
TEST_F(TolvexCommand, APersonChangesThePlanInTheTerminalOverviewAndRunsIt) {
  Put("source/a.txt", "a");                    // new: copied
  Put("source/b.txt", "b");                    // new: set to Ignore
  Put("source/c.txt", "c, new", 24h);          // newer: set to Invert
  Put("backup/c.txt", "c, old", 72h);
  Put("source/d.txt", "d, new", 24h);          // newer: Enter makes it Ignore
  Put("backup/d.txt", "d, old", 72h);
  Put("backup/gone.txt", "only in the backup");  // to be erased: set to Normal
  WriteJob("ConfirmMode = 2\nSortMode = 1\nDisplayMode = 2\nOrphanModeD2 = 2");
  using Pty = tolvex::PtyTerminal;
  Pty terminal(24, 80);
  ASSERT_TRUE(StartCommand(terminal, {P("job.job")}));
  // The key line, drawn last: the overview is up (the search view came and
  // went).
  ASSERT_TRUE(terminal.WaitForScreen("h Help")) << terminal.Screen();
  terminal.Type(std::string(Pty::kDown) + "o" + Pty::kDown + "t" + Pty::kDown + Pty::kEnter +
                Pty::kEnd + "n" + "1");
  // The group view shows what the changes left: one copy into the backup
  // (a), two into the source (c back, gone).
  ASSERT_TRUE(terminal.WaitForScreen("> 1 / 1       < 2 / 1")) << terminal.Screen();
  terminal.Type("k");
  EXPECT_EQ(ExitStatusOf(terminal.WaitForExit()), 0) << terminal.Output();
  EXPECT_EQ(Get("backup/a.txt"), "a");
  EXPECT_FALSE(Exists("backup/b.txt"));
  EXPECT_EQ(Get("source/c.txt"), "c, old");  // the backup's copy came back
  EXPECT_EQ(Get("backup/c.txt"), "c, old");
  EXPECT_EQ(Get("source/d.txt"), "d, new");
  EXPECT_EQ(Get("backup/d.txt"), "d, old");
  EXPECT_EQ(Get("backup/gone.txt"), "only in the backup");  // not erased, but copied back
  EXPECT_EQ(Get("source/gone.txt"), "only in the backup");
  EXPECT_EQ(CountOf(Log(), "File copied:"), 3) << Log();
  EXPECT_EQ(CountOf(Log(), "File skipped:"), 2) << Log();
  EXPECT_EQ(CountOf(Log(), "File erased:"), 0) << Log();
  EXPECT_NE(terminal.Output().find("Run completed."), std::string::npos);
}

TEST_F(TolvexCommand, CancelInTheTerminalOverviewRunsNothing) {
  Put("source/a.txt", "a");
  Put("backup/gone.txt", "only in the backup");
  WriteJob("ConfirmMode = 2\nDisplayMode = 0\nOrphanModeD2 = 2");
  tolvex::PtyTerminal terminal(24, 80);
  ASSERT_TRUE(StartCommand(terminal, {P("job.job")}));
  ASSERT_TRUE(terminal.WaitForScreen("h Help")) << terminal.Screen();
  // Every group marked Erase (asked once more: yes), then Cancel.
  terminal.Type(std::string(tolvex::PtyTerminal::kHome) + tolvex::PtyTerminal::kShiftDown + "e");
  ASSERT_TRUE(terminal.WaitForScreen("y  erase them")) << terminal.Screen();
  terminal.Type("yc");
  EXPECT_EQ(ExitStatusOf(terminal.WaitForExit()), 1) << terminal.Output();
  EXPECT_FALSE(Exists("backup/a.txt"));
  EXPECT_EQ(Get("source/a.txt"), "a");
  EXPECT_EQ(Get("backup/gone.txt"), "only in the backup");
  EXPECT_NE(Log().find("Aborted by user."), std::string::npos) << Log();
  EXPECT_FALSE(Exists("job.job.state"));
}

// Over the erase limit, the terminal overview shows the warning line; OK
// while it stands runs the plan as --force would (the overview answers that
// the warning was seen, and the plan goes to the command as confirmed).
TEST_F(TolvexCommand, OkUnderTheTerminalOverviewsEraseWarningRunsThePlan) {
  Put("source/same.txt", "same");
  Put("backup/same.txt", "same");
  for (int i = 0; i < 12; ++i) Put("backup/old" + std::to_string(i) + ".txt", "orphan");
  WriteJob("ConfirmMode = overview\nOrphanModeD2 = erase");
  tolvex::PtyTerminal terminal(24, 80);
  ASSERT_TRUE(StartCommand(terminal, {P("job.job")}));
  ASSERT_TRUE(terminal.WaitForScreen("h Help")) << terminal.Screen();
  ASSERT_TRUE(terminal.WaitForScreen("! Over the erase limit: 12 of 13 destination files erased"))
      << terminal.Screen();
  terminal.Type("k");
  EXPECT_EQ(ExitStatusOf(terminal.WaitForExit()), 0) << terminal.Output();
  for (int i = 0; i < 12; ++i) EXPECT_FALSE(Exists("backup/old" + std::to_string(i) + ".txt"));
  EXPECT_EQ(Get("backup/same.txt"), "same");
  EXPECT_EQ(CountOf(Log(), "File erased:"), 12) << Log();
}

// Ctrl-C where the run waits for a person: the overview counts it as
// Cancel, a per-file question as quit; either way nothing of the plan runs,
// the log ends with its footer and the terminal is the shell's again.
TEST_F(TolvexCommand, CtrlCWhileTheRunWaitsForAPersonRunsNothing) {
  Put("source/a.txt", "a");
  Put("backup/gone.txt", "only in the backup");
  for (const char* confirm_mode : {"overview", "each-file"}) {
    SCOPED_TRACE(confirm_mode);
    WriteJob(std::string("ConfirmMode = ") + confirm_mode + "\nOrphanModeD2 = erase");
    tolvex::PtyTerminal terminal(24, 80);
    ASSERT_TRUE(StartCommand(terminal, {P("job.job")}));
    if (std::string(confirm_mode) == "overview") {
      ASSERT_TRUE(terminal.WaitForScreen("h Help")) << terminal.Screen();
    } else {
      ASSERT_TRUE(terminal.WaitForOutput("(Enter keeps")) << terminal.Output();
    }
    terminal.Type("\x03");
    EXPECT_EQ(ExitStatusOf(terminal.WaitForExit()), 1) << terminal.Output();
    EXPECT_FALSE(terminal.AlternateScreen());
    EXPECT_FALSE(Exists("backup/a.txt"));
    EXPECT_EQ(Get("backup/gone.txt"), "only in the backup");
    EXPECT_NE(Log().find("Aborted by user.\r\n"), std::string::npos) << Log();
    EXPECT_EQ(Log().rfind(std::string(110, '-') + "\r\n"), Log().size() - 112) << "the footer ends the log";
  }
}

#endif

}  // namespace
