// Whole update runs through the exports and CallUpdate on real trees: every
// phase of a one-way run, a two-way run and its repetition, generation
// folders over several runs, and the log of a reference job byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "model/parameters.h"
#include "model/plan.h"
#include "model/records.h"
#include "tests/run_fixture.h"
#include "testing/test_volumes.h"

namespace tolvex::runtest {
namespace {

using Lines = std::vector<std::string>;

class UpdateRun : public RunTest {};

// --- One run, every phase --------------------------------------------------------

TEST_F(UpdateRun, OneWayRunErasesCopiesAndRemovesEmptyFolders) {
  Write("S:\\Data\\a.txt", "new a", kNew);
  Write("T:\\Backup\\Data\\a.txt", "older", kOld);
  Write("S:\\Data\\Docs\\b.txt", std::string(15, 'b'), kNew);
  Write("S:\\Data\\c.txt", "c (older here)", kOld);  // one way: the newer target stays
  Write("T:\\Backup\\Data\\c.txt", "c (newer)", kNew);
  Write("S:\\Data\\same.txt", "same", kOld);
  Write("T:\\Backup\\Data\\same.txt", "same", kOld);
  Write("T:\\Backup\\Data\\x.txt", "x", kOld);
  Write("T:\\Backup\\Data\\Gone\\y.txt", "y", kOld);
  job_.orphanModeD2 = 2;
  job_.deleteDestDirs = 1;

  EXPECT_EQ(Run(), 1);

  EXPECT_TRUE(Notifications().empty());
  // The erase pass goes from the last candidate to the first.
  EXPECT_EQ(LogBody(), (Lines{"File erased: T:\\Backup\\Data\\Gone\\y.txt",
                              "File erased: T:\\Backup\\Data\\x.txt",
                              "File copied: S:\\Data\\a.txt", "to: T:\\Backup\\Data\\a.txt",
                              "File copied: S:\\Data\\Docs\\b.txt",
                              "to: T:\\Backup\\Data\\Docs\\b.txt",
                              "Directory deleted: T:\\Backup\\Data\\Gone\\"}));
  EXPECT_EQ(Read("T:\\Backup\\Data\\a.txt"), "new a");
  EXPECT_EQ(Read("T:\\Backup\\Data\\Docs\\b.txt"), std::string(15, 'b'));
  EXPECT_EQ(Read("T:\\Backup\\Data\\c.txt"), "c (newer)");
  EXPECT_EQ(Read("S:\\Data\\c.txt"), "c (older here)");
  EXPECT_FALSE(Exists("T:\\Backup\\Data\\x.txt"));
  EXPECT_FALSE(Exists("T:\\Backup\\Data\\Gone"));
  EXPECT_EQ(NativeNames("T:\\Backup\\Data\\"), (Lines{"Docs", "a.txt", "c.txt", "same.txt"}));
  uint32_t stamp = 0;
  ASSERT_EQ(Sys().GetLastWriteStamp("T:\\Backup\\Data\\a.txt", &stamp), kErrOk);
  EXPECT_EQ(stamp, kNew);
  EXPECT_EQ(Recorder().madeFolders, (Lines{"T:\\Backup\\Data\\", "T:\\Backup\\Data\\Docs\\"}));
  EXPECT_TRUE(Recorder().confirmations.empty());
  EXPECT_TRUE(Recorder().copyErrors.empty());

  // The dialogs: search, erase, copy, folder removal; one at a time.
  ASSERT_EQ(ui_.searchDialogs.size(), 3u);
  for (const SearchDialogRecord& dialog : ui_.searchDialogs) {
    EXPECT_EQ(dialog.caption, "Tolvex 3.0 - Job.tvx");
  }
  EXPECT_EQ(ui_.AllStatusTexts(),
            (Lines{"Searching for subdirectories...", "Searching for files...",
                   "Erasing files...", "Erasing empty directories..."}));
  EXPECT_EQ(ui_.searchDialogs[0].waitCursors, 1);
  EXPECT_FALSE(ui_.searchDialogs[0].waitCursorShown);
  const Lines four_steps = {"range 0 4",  "position 0", "position 1",
                            "position 2", "position 3", "position 4"};
  EXPECT_EQ(ui_.searchDialogs[1].gauge, four_steps);  // a, b, x, y
  EXPECT_EQ(ui_.searchDialogs[2].gauge, four_steps);  // Data and Docs on S, Data and Gone on T
  ASSERT_EQ(ui_.copyDialogs.size(), 1u);
  EXPECT_EQ(ui_.copyDialogs[0].gaugePositions, (std::vector<int>{0, 25, 100}));
  EXPECT_EQ(ui_.copyDialogs[0].interruptsEnabled, 0);
  EXPECT_EQ(ui_.mostOpenDialogs, 1);
  EXPECT_EQ(ui_.openDialogs, 0);

  // What the run worked out, as its plan held it after the copy pass (the
  // plan does not outlive the run).
  EXPECT_EQ(ui_.planAtCopyEnd.SourceDrive, 'S');
  EXPECT_EQ(ui_.planAtCopyEnd.DestinationDrive, 'T');
  EXPECT_EQ(ui_.planAtCopyEnd.DestinationRoot, "T:\\Backup\\");
  EXPECT_EQ(ui_.planAtCopyEnd.CopyBytes, 20u);
  EXPECT_EQ(ui_.planAtCopyEnd.CountToDest, 2u);
  EXPECT_EQ(ui_.planAtCopyEnd.NewOnDest, 1u);
}

// Fails the n-th call of one kind, for n = 1, 2, ... until the run no longer
// makes that call, and checks after each run that the log tells the truth and
// that no file is lost or left half written.
TEST_F(UpdateRun, EveryFailingFileOperationIsLoggedAndLosesNothing) {
  struct Copy {
    std::string source, target, fresh, old;  // old "" : no target before the run
  };
  const Copy copies[] = {
      {"S:\\Data\\a.txt", "T:\\Backup\\Data\\a.txt", "new a", "old a"},
      {"S:\\Data\\Docs\\b.txt", "T:\\Backup\\Data\\Docs\\b.txt", "new b", ""},
      {"S:\\Data\\c.txt", "T:\\Backup\\Data\\c.txt", "new c", "old c"},
  };
  const std::string erased = "T:\\Backup\\Data\\x.txt";
  const std::string empty_folder = "T:\\Backup\\Data\\Gone\\";
  struct Fault {
    CallKind kind;
    uint32_t error;
    const char* name;
  };
  const Fault faults[] = {
      {CallKind::kCopyOver, kErrDiskFull, "copy"},
      {CallKind::kRemoveFile, kErrAccessDenied, "delete"},
      {CallKind::kRemoveFolder, kErrSharingViolation, "remove folder"},
      {CallKind::kMakeFolder, kErrAccessDenied, "make folder"},
      {CallKind::kGetAttributes, kErrAccessDenied, "attributes"},
      {CallKind::kDiskFreeSpace, kErrPathNotFound, "free space"},
  };
  job_.orphanModeD2 = 2;
  job_.deleteDestDirs = 1;
  for (const Fault& fault : faults) {
    for (uint64_t n = 1; n < 500; ++n) {
      SCOPED_TRACE(testing::Message() << fault.name << " call " << n);
      std::filesystem::remove_all(drives_.Native("S:\\Data"));
      std::filesystem::remove_all(drives_.Native("T:\\Backup"));
      for (const Copy& c : copies) {
        Write(c.source, c.fresh, kNew);
        if (!c.old.empty()) Write(c.target, c.old, kOld);
      }
      Write(erased, "x", kOld);
      drives_.MakeDirs(empty_folder);
      platform_.Reset();
      platform_.FailCall(fault.kind, n, fault.error);

      ASSERT_EQ(Run(), 1);

      const Lines body = LogBody();
      const auto logged = [&body](const std::string& line) {
        return std::find(body.begin(), body.end(), line) != body.end();
      };
      EXPECT_FALSE(logged("Aborted by user."));
      for (const Copy& c : copies) {
        EXPECT_EQ(Read(c.source), c.fresh);
        const std::string now = Read(c.target);
        EXPECT_TRUE(now == c.fresh || now == c.old) << c.target << " holds " << now;
        EXPECT_EQ(now == c.fresh, logged("File copied: " + c.source)) << c.target;
        if (logged("Error at copying: " + c.source)) {
          EXPECT_EQ(now, c.old) << c.target;
        }
      }
      EXPECT_NE(Exists(erased), logged("File erased: " + erased));
      EXPECT_NE(Exists(empty_folder), logged("Directory deleted: " + empty_folder));
      for (const char* folder : {"T:\\Backup\\Data\\", "T:\\Backup\\Data\\Docs\\"}) {
        for (const std::string& name : NativeNames(folder)) {
          EXPECT_NE(name.rfind(kTempPrefix, 0), 0u) << "left behind: " << folder << name;
        }
      }
      if (platform_.fired() == 0) break;  // call n never came: every point was tried
    }
  }
}

// A source folder that cannot be read tells nothing about which files it
// holds: the destination's copies of them must not be judged orphans and
// erased. The scan leaves such files out of the plan.
TEST_F(UpdateRun, UnreadableSourceFolderErasesNothingOnTheDestination) {
  Write("S:\\Data\\a.txt", "a", kOld);
  Write("T:\\Backup\\Data\\a.txt", "a", kOld);
  Write("S:\\Data\\Sub\\b.txt", "b", kOld);
  Write("T:\\Backup\\Data\\Sub\\b.txt", "b", kOld);
  job_.orphanModeD2 = 2;
  platform_.findError = [](const std::string& pattern) -> uint32_t {
    return pattern.rfind("S:\\Data\\Sub\\", 0) == 0 ? kErrAccessDenied : kErrOk;
  };

  ASSERT_EQ(Run(), 1);

  EXPECT_EQ(Read("T:\\Backup\\Data\\Sub\\b.txt"), "b");
  EXPECT_EQ(Read("T:\\Backup\\Data\\a.txt"), "a");
  for (const std::string& line : LogBody()) {
    EXPECT_EQ(line.rfind("File erased", 0), std::string::npos) << line;
  }
}

TEST_F(UpdateRun, CancelInALaterDialogStopsTheRunThere) {
  struct Case {
    const char* status;
    Lines body;
    bool erased;
    bool copied;
  };
  const Case cases[] = {
      {"Erasing files...", {"Aborted by user."}, false, false},
      {"Erasing empty directories...",
       {"File erased: T:\\Backup\\Data\\x.txt", "File copied: S:\\Data\\a.txt",
        "to: T:\\Backup\\Data\\a.txt", "Aborted by user."},
       true,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status);
    Write("S:\\Data\\a.txt", "new a", kNew);
    Write("T:\\Backup\\Data\\a.txt", "older", kOld);
    Write("T:\\Backup\\Data\\x.txt", "x", kOld);
    drives_.MakeDirs("T:\\Backup\\Data\\Empty\\");
    job_.orphanModeD2 = 2;
    job_.deleteDestDirs = 1;
    ui_.cancelAtStatus = c.status;

    EXPECT_EQ(Run(), 0);

    EXPECT_EQ(LogBody(), c.body);
    EXPECT_EQ(Exists("T:\\Backup\\Data\\x.txt"), !c.erased);
    EXPECT_EQ(Read("T:\\Backup\\Data\\a.txt"), c.copied ? "new a" : "older");
    EXPECT_TRUE(Exists("T:\\Backup\\Data\\Empty"));
  }
}

#ifndef _WIN32
// On a source that holds only Windows names (a FAT disk).
TEST_F(UpdateRun, NamesWindowsCannotHoldAreLoggedAndLeftAlone) {
  const ScopedTestVolumes fat("windows-names=" + drives_.Native("S:\\Data"));
  Write("S:\\Data\\a.txt", "a", kNew);
  const std::string odd = drives_.Native("S:\\Data") + "/bad|name.txt";
  std::ofstream(odd) << "odd";

  ASSERT_EQ(Run(), 1);

  EXPECT_EQ(LogBody(), (Lines{"Unusable name: " + odd, "File copied: S:\\Data\\a.txt",
                              "to: T:\\Backup\\Data\\a.txt"}));
  EXPECT_EQ(NativeNames("T:\\Backup\\Data\\"), Lines{"a.txt"});
}
#endif

TEST_F(UpdateRun, LogIsReplacedOrAppendedAndOnlyWhenActive) {
  Write("S:\\Data\\a.txt", "a", kNew);
  Write("U:\\run.log", "previous run\r\n", kOld);
  job_.logAppend = 1;
  ASSERT_EQ(Run(), 1);
  EXPECT_EQ(LogText().rfind("previous run\r\n\r\n" + std::string(110, '-'), 0), 0u);

  job_.logAppend = 0;
  ASSERT_EQ(Run(), 1);
  EXPECT_EQ(LogBody(), Lines{"No files found."});

  job_.logActive = 0;
  std::filesystem::remove(drives_.Native("U:\\run.log"));
  ASSERT_EQ(Run(), 1);
  EXPECT_FALSE(Exists("U:\\run.log"));
}

// --- Both ways --------------------------------------------------------------------

TEST_F(UpdateRun, TwoWayRunCopiesNewerFilesEachWayAndThenNothing) {
  Write("S:\\Data\\a.txt", "a from S", kNew);
  Write("T:\\Backup\\Data\\a.txt", "a from T", kOld);
  Write("S:\\Data\\b.txt", "b from S", kOld);
  Write("T:\\Backup\\Data\\b.txt", "b from T", kNew);
  Write("S:\\Data\\s.txt", "only S", kOld);
  Write("T:\\Backup\\Data\\t.txt", "only T", kOld);
  job_.touchMode = 1;
  job_.orphanModeB = 0;

  ASSERT_EQ(Run(), 1);

  EXPECT_EQ(LogBody(), (Lines{"File copied: S:\\Data\\a.txt", "to: T:\\Backup\\Data\\a.txt",
                              "File copied: T:\\Backup\\Data\\b.txt", "to: S:\\Data\\b.txt",
                              "File copied: S:\\Data\\s.txt", "to: T:\\Backup\\Data\\s.txt",
                              "File copied: T:\\Backup\\Data\\t.txt", "to: S:\\Data\\t.txt"}));
  for (const char* name : {"a.txt", "b.txt", "s.txt", "t.txt"}) {
    EXPECT_EQ(Read(std::string("S:\\Data\\") + name), Read(std::string("T:\\Backup\\Data\\") + name))
        << name;
  }
  EXPECT_EQ(Read("S:\\Data\\a.txt"), "a from S");
  EXPECT_EQ(Read("S:\\Data\\b.txt"), "b from T");
  EXPECT_EQ(ui_.planAtCopyEnd.CountToDest, 2u);
  EXPECT_EQ(ui_.planAtCopyEnd.CountToSrc, 2u);

  Recorder() = CallbackRecorder();
  ASSERT_EQ(Run(), 1);

  EXPECT_EQ(LogBody(), Lines{"No files found."});
  EXPECT_EQ(Notifications(), (std::vector<NotifyCall>{{10007, 0, 0}}));
  EXPECT_TRUE(ui_.copyDialogs.size() == 1u) << "the second run copies nothing";
}

// --- Generation folders ------------------------------------------------------------

TEST_F(UpdateRun, GenerationFoldersRotateOverFourRuns) {
  job_.varyMode = 4;
  job_.pathMode = 2;  // the files of S:\Data\ straight into the generation folder
  const std::string grandson = "T:\\Backup\\Grandson\\";
  // Which run's version each generation holds.
  const auto generations = [this] {
    Lines held;
    for (const char* name : {"Grandson", "Son", "Father", "Grandfather"}) {
      const std::string file = std::string("T:\\Backup\\") + name + "\\a.txt";
      held.push_back(std::string(name) + " " + (Exists(file) ? Read(file) : "-"));
    }
    return held;
  };
  const Lines expected[] = {
      {"Grandson v1", "Son -", "Father -", "Grandfather -"},
      {"Grandson v2", "Son v1", "Father -", "Grandfather -"},
      {"Grandson v3", "Son v2", "Father v1", "Grandfather -"},
      {"Grandson v4", "Son v3", "Father v2", "Grandfather -"},  // the old Father, updated
  };
  for (int run = 1; run <= 4; ++run) {
    SCOPED_TRACE(run);
    Recorder() = CallbackRecorder();
    Write("S:\\Data\\a.txt", "v" + std::to_string(run), Stamp(1999, 3, 10 + run, 9, 0));

    ASSERT_EQ(Run(), 1);

    EXPECT_EQ(generations(), expected[run - 1]);
    EXPECT_EQ(ui_.planAtCopyEnd.DestinationRoot, grandson);
    EXPECT_EQ(Recorder().madeFolders, Lines{grandson});
    EXPECT_EQ(LogBody(), (Lines{"File copied: S:\\Data\\a.txt", "to: " + grandson + "a.txt"}));
  }
  // The fourth run wrote over the first run's file (2 bytes, 11 March).
  EXPECT_EQ(LogLineWith("to: T:"), "                   to: T:\\Backup\\Grandson\\a.txt" +
                                       std::string(31, ' ') + "           2   03.11.99 09:00:00");
}

// The run works on its own copy of the parameter set: an export the front
// end calls from a callback during the run (here at the midnight hint,
// before the scan) changes the next run, not this one, whose plan was
// already being made.
TEST_F(UpdateRun, AnExportCalledDuringTheRunChangesOnlyTheNextRun) {
  Write("S:\\Data\\a.txt", "a", kNew);
  Write("T:\\Backup\\Data\\x.txt", "orphan", kOld);
  job_.midnight = 1;
  job_.orphanModeD2 = TOLVEX_ORPHAN_IGNORE;
  Recorder().onNotify = [](int code) {
    if (code == TOLVEX_NOTIFY_MIDNIGHT) SetOrphanModeD2(TOLVEX_ORPHAN_ERASE);
  };

  ASSERT_EQ(Run(), 1);
  EXPECT_EQ(Read("T:\\Backup\\Data\\a.txt"), "a");
  EXPECT_TRUE(Exists("T:\\Backup\\Data\\x.txt")) << "this run ignores orphans";

  // The next run, with the parameter set as the export left it.
  Recorder() = CallbackRecorder();
  ASSERT_EQ(CallUpdate(RecordNotify, RecordConfirm, RecordCopyError, RecordMakeDir), 1);
  EXPECT_FALSE(Exists("T:\\Backup\\Data\\x.txt")) << "the next run erases them";
}

// --- The reference log -----------------------------------------------------------------

#ifdef _WIN32
constexpr char kReferenceLog[] = "reference-win.log";
#else
constexpr char kReferenceLog[] = "reference.log";
#endif

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The log's bytes differ per platform only in the ellipsis of a shortened
// path (U+2026 in UTF-8 on POSIX, 0x85 on Windows). TOLVEX_WRITE_GOLDEN=1
// rewrites the file instead of comparing; read every line before keeping it.
//
// A job that shows every kind of line: the header and footer with dates, the
// midnight hint, an erased file, a copy over an older file with a path too
// long for its column, a copy without a counterpart, a file skipped in the
// overview, and a removed folder whose path is never shortened.
TEST_F(UpdateRun, ReferenceJobWritesTheReferenceLog) {
  const std::string long_folder = "S:\\Data\\Projects\\Quarterly reports for the board\\";
  Write(long_folder + "Summary 2023.txt", std::string(12288, 's'), Stamp(1999, 3, 14, 10, 22, 40));
  Write("T:\\Backup\\Data\\Projects\\Quarterly reports for the board\\Summary 2023.txt",
        std::string(8192, 'o'), Stamp(1999, 3, 10, 17, 5, 12));
  Write("S:\\Data\\new.txt", std::string(100, 'n'), Stamp(1998, 12, 31, 23, 59, 58));
  Write("S:\\Data\\notes.txt", std::string(2048, 'm'), Stamp(1999, 1, 2, 8, 0, 0));
  Write("T:\\Backup\\Data\\obsolete.doc", std::string(3000, 'd'), Stamp(1997, 6, 30, 12, 30, 4));
  drives_.MakeDirs("T:\\Backup\\Data\\Archive of the previous financial year and the one before\\");
  job_.filename = "Reference.tvx";
  job_.confirmMode = 2;
  job_.orphanModeD2 = 2;
  job_.deleteDestDirs = 1;
  job_.logDateTime = 2;
  job_.logDetails = 2;
  job_.midnight = 1;
  Recorder().notifyAnswers.Push({kIdYes});
  ui_.onOverview = [](Plan& plan) {  // the user keeps notes.txt out of this run
    for (CANDIDATE& c : plan.candidates) {
      if (c.name == "notes") c.state = ReplaceAction(c.state, STATE_IGNORE);
    }
  };

  ASSERT_EQ(Run(), 1);

  const std::string actual = LogText();
  LogLines();  // every line ends with CR LF
  const std::string golden_path = TestDataPath(kReferenceLog);
  if (std::getenv("TOLVEX_WRITE_GOLDEN") != nullptr) {
    std::ofstream(golden_path, std::ios::binary) << actual;
    GTEST_SKIP() << "wrote " << golden_path;
  }
  const std::string golden = ReadBytes(golden_path);
  ASSERT_FALSE(golden.empty()) << "missing " << golden_path;
  EXPECT_EQ(actual, golden) << "the log differs from " << golden_path;
}

}  // namespace
}  // namespace tolvex::runtest
