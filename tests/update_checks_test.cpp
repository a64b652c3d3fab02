// The checks and questions of an update run before anything is changed: the
// job checks, the drive queries, the midnight hint, an empty plan, the space
// warnings, the search dialog's Cancel and the overview's answer.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "model/plan.h"
#include "tests/run_fixture.h"

namespace tolvex::runtest {
namespace {

using Lines = std::vector<std::string>;
using Calls = std::vector<NotifyCall>;

class UpdateChecks : public RunTest {
 protected:
  // A newer, longer file over an older copy (8 bytes more): a run that is
  // not stopped copies it.
  void WritePair() {
    Write("S:\\Data\\a.txt", "new a, longer", kNew);
    Write("T:\\Backup\\Data\\a.txt", "old a", kOld);
  }
  bool PairCopied() const { return Read("T:\\Backup\\Data\\a.txt") == "new a, longer"; }
  // The run was ended by a check before the generation folders were made:
  // its log lines, its notification, no rename, no search.
  void ExpectEndedBeforeTheGenerationStep(const Lines& body, int code) {
    EXPECT_EQ(LogBody(), body);
    EXPECT_EQ(Notifications(), (Calls{{code, 0, 0}}));
    EXPECT_EQ(platform_.calls(CallKind::kMoveEntry), 0u);
    EXPECT_TRUE(ui_.searchDialogs.empty());
  }
  // Removes the folders the cases of a table write on S:.
  void RemoveSourceFolders() const {
    for (const char* folder : {"S:\\Data", "S:\\Grandson", "S:\\Son", "S:\\Father"}) {
      std::filesystem::remove_all(drives_.Native(folder));
    }
  }
};

// --- Job checks -------------------------------------------------------------

TEST_F(UpdateChecks, MissingIncludeSelectionEndsTheRunWithItsError) {
  struct Case {
    const char* what;
    Lines dirIncludes;
    Lines fileIncludes;
  };
  const Case cases[] = {
      {"no file include selection", {"S:\\Data\\*"}, {}},
      {"no directory include selection", {}, {"*.*"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Recorder() = CallbackRecorder();
    WritePair();
    job_.dirIncludes = c.dirIncludes;
    job_.fileIncludes = c.fileIncludes;

    EXPECT_EQ(Run(), 1);

    EXPECT_EQ(LogBody(), Lines{"Error: No source directories or files specified."});
    EXPECT_EQ(Notifications(), (Calls{{10002, 0, 0}}));
    EXPECT_FALSE(PairCopied());
    EXPECT_EQ(platform_.calls(CallKind::kDiskFreeSpace), 0u);
    EXPECT_TRUE(ui_.searchDialogs.empty());
  }
}

// When no include names a folder that exists, nothing is left to back up:
// the run reports each missing one and ends as without selections, before
// the generation folders are made, and the whole backup stays.
TEST_F(UpdateChecks, IncludesThatAllNameMissingFoldersEndTheRunBeforeTheGenerationStep) {
  struct Case {
    const char* what;
    Lines dirIncludes;
    Lines missing;
  };
  const Case cases[] = {
      {"a typo", {"S:\\Dta\\*"}, {"Missing folder: S:\\Dta\\*"}},
      {"a file, and a folder on a drive that is not there", {"S:\\Data\\a.txt\\", "V:\\Data\\"},
       {"Missing folder: S:\\Data\\a.txt\\", "Missing folder: V:\\Data\\"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Recorder() = CallbackRecorder();
    platform_.Reset();
    Write("S:\\Data\\a.txt", "a", kNew);
    Write("T:\\Backup\\Grandson\\Data\\a.txt", "a", kOld);
    Write("T:\\Backup\\Grandson\\Dta\\b.txt", "b", kOld);
    job_.dirIncludes = c.dirIncludes;
    job_.varyMode = 4;
    job_.orphanModeD2 = 2;

    EXPECT_EQ(Run(), 1);

    Lines body = c.missing;
    body.push_back("Error: No source directories or files specified.");
    ExpectEndedBeforeTheGenerationStep(body, 10002);
    EXPECT_EQ(Read("T:\\Backup\\Grandson\\Data\\a.txt"), "a");
    EXPECT_EQ(Read("T:\\Backup\\Grandson\\Dta\\b.txt"), "b");
  }
}

TEST_F(UpdateChecks, DestinationAtTheRootOfTheSourceDriveIsRefusedBeforeAnyDriveQuery) {
  struct Case {
    const char* what;
    std::string destination;
    int pathMode;
  };
  const Case cases[] = {
      {"the root itself", "S:\\", 1},
      {"the root in lower case", "s:\\", 1},
      // The generation folder step reads "S:" as "S:\"; so does this check.
      {"the root without its backslash", "S:", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Recorder() = CallbackRecorder();
    Write("S:\\Data\\a.txt", "a", kNew);
    drives_.MakeDirs("S:\\Data\\Empty\\");
    job_.destination = c.destination;
    job_.pathMode = c.pathMode;
    job_.deleteDestDirs = 1;  // every folder would be paired with itself

    EXPECT_EQ(Run(), 1);

    EXPECT_EQ(LogBody(), Lines{"Error: Source and destination are identical."});
    EXPECT_EQ(Notifications(), (Calls{{10003, 0, 0}}));
    EXPECT_EQ(platform_.calls(CallKind::kDiskFreeSpace), 0u);
    EXPECT_TRUE(ui_.searchDialogs.empty());
    EXPECT_EQ(NativeNames("S:\\"), Lines{"Data"});
    EXPECT_TRUE(Exists("S:\\Data\\Empty")) << "an empty source folder was removed";
  }
}

TEST_F(UpdateChecks, DatedFolderOnTheSourceDriveRoot) {
  // The same job with a dated generation folder writes below S:\A031499\.
  Write("S:\\Data\\a.txt", "a", kNew);
  job_.destination = "S:\\";
  job_.varyMode = 1;

  EXPECT_EQ(Run(), 1);

  EXPECT_TRUE(Notifications().empty());
  EXPECT_EQ(Read("S:\\A031499\\Data\\a.txt"), "a");
  EXPECT_EQ(Recorder().madeFolders, Lines{"S:\\A031499\\Data\\"});
  EXPECT_EQ(LogBody(), (Lines{"File copied: S:\\Data\\a.txt", "to: S:\\A031499\\Data\\a.txt"}));
}

// A destination folder that the scan reads (the twin of an include) and that
// holds a source folder would see the source tree as the destination's:
// source files and unrelated files would become orphans and be erased. The
// job is refused before the generation folders are made or rotated.
TEST_F(UpdateChecks, DestinationAboveASourceFolderIsRefusedBeforeTheGenerationStep) {
  struct Case {
    const char* what;
    std::string destination;
    Lines dirIncludes;
    int pathMode;
    int varyMode;
  };
  const Case cases[] = {
      {"the include below the destination", "S:\\Data\\", {"S:\\Data\\Src\\*"}, 2, 0},
      {"the drive root with relative paths", "S:\\", {"S:\\Data\\Src\\*"}, 2, 0},
      {"a plain include below the destination", "S:\\Data\\", {"S:\\Data\\Src\\"}, 2, 0},
      {"flat into a source folder", "S:\\Data\\", {"S:\\Data\\*"}, 0, 0},
      {"flat into a source folder, other case", "s:\\data\\", {"S:\\Data\\"}, 0, 0},
      // The rotation would rename the source folder Grandson to Son first.
      {"the generation folder is the include", "S:\\", {"S:\\Grandson\\*"}, 2, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Recorder() = CallbackRecorder();
    platform_.Reset();
    RemoveSourceFolders();
    Write("S:\\Data\\Src\\a.txt", "a", kNew);
    Write("S:\\Data\\Src\\Sub\\b.txt", "b", kNew);
    Write("S:\\Data\\other.txt", "unrelated", kOld);
    Write("S:\\Grandson\\g.txt", "g", kOld);
    Write("S:\\Son\\s.txt", "s", kOld);
    job_.destination = c.destination;
    job_.dirIncludes = c.dirIncludes;
    job_.pathMode = c.pathMode;
    job_.varyMode = c.varyMode;
    job_.orphanModeD2 = 2;
    job_.deleteDestDirs = 1;

    EXPECT_EQ(Run(), 1);

    ExpectEndedBeforeTheGenerationStep(Lines{"Error: Source and destination are identical."}, 10003);
    EXPECT_EQ(Read("S:\\Data\\Src\\a.txt"), "a");
    EXPECT_EQ(Read("S:\\Data\\Src\\Sub\\b.txt"), "b");
    EXPECT_EQ(Read("S:\\Data\\other.txt"), "unrelated");
    EXPECT_EQ(Read("S:\\Grandson\\g.txt"), "g");
    EXPECT_EQ(Read("S:\\Son\\s.txt"), "s");
    EXPECT_EQ(NativeNames("S:\\Data\\"), (Lines{"Src", "other.txt"}));
  }
}

// Full paths repeat the source path below the destination: the files of
// S:\Data\Src go to S:\Data\Data\Src, which holds no source folder, and the
// job runs.
// A destination inside a source folder runs as well: it is the user's to
// exclude it (the tolvex command insists).
TEST_F(UpdateChecks, DestinationsThatHoldNoSourceFolderRun) {
  struct Case {
    const char* what;
    std::string destination;
    Lines dirIncludes;
    int pathMode;
    std::string copy;
  };
  const Case cases[] = {
      {"full paths below a source folder's parent", "S:\\Data\\", {"S:\\Data\\Src\\*"}, 1,
       "S:\\Data\\Data\\Src\\a.txt"},
      {"relative paths into a sibling", "S:\\Data\\Copy\\", {"S:\\Data\\Src\\*"}, 2,
       "S:\\Data\\Copy\\a.txt"},
      {"flat into a subfolder of a plain include", "S:\\Data\\Src\\Flat\\", {"S:\\Data\\Src\\"},
       0, "S:\\Data\\Src\\Flat\\a.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Recorder() = CallbackRecorder();
    RemoveSourceFolders();
    Write("S:\\Data\\Src\\a.txt", "a", kNew);
    job_.destination = c.destination;
    job_.dirIncludes = c.dirIncludes;
    job_.pathMode = c.pathMode;
    job_.orphanModeD2 = 2;

    EXPECT_EQ(Run(), 1);

    EXPECT_TRUE(Notifications().empty());
    EXPECT_EQ(Read(c.copy), "a");
    EXPECT_EQ(Read("S:\\Data\\Src\\a.txt"), "a");
  }
}

// Folders of different drives that would share destination folders: with
// full paths, twins that are equal or nested (which drive would a file of
// the shared folder come from?); with relative paths, any two drives (there
// is no common root, and every target would hold a colon). Refused before
// the generation folders are made, with their own event.
TEST_F(UpdateChecks, SelectionsOfTwoDrivesThatMeetInTheDestinationAreRefused) {
  struct Case {
    const char* what;
    Lines dirIncludes;
    int pathMode;
  };
  const Case cases[] = {
      {"equal twins", {"S:\\a\\*", "U:\\a\\*"}, 1},
      {"a twin below another", {"S:\\a\\*", "U:\\a\\b\\"}, 1},
      {"the same twin in other letter case", {"S:\\a\\", "U:\\A\\"}, 1},
      {"relative paths", {"S:\\a\\*", "U:\\b\\*"}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Recorder() = CallbackRecorder();
    platform_.Reset();
    Write("S:\\a\\s.txt", "s", kNew);
    Write("U:\\a\\b\\u.txt", "u", kNew);
    Write("U:\\b\\u.txt", "u", kNew);
    Write("T:\\Backup\\a\\t.txt", "t", kOld);
    job_.dirIncludes = c.dirIncludes;
    job_.pathMode = c.pathMode;
    job_.varyMode = 4;
    job_.touchMode = 1;
    job_.orphanModeB = 2;

    EXPECT_EQ(Run(), 1);

    ExpectEndedBeforeTheGenerationStep(
        Lines{"Error: Source directories of different drives meet in the destination."}, 10009);
    EXPECT_EQ(Read("T:\\Backup\\a\\t.txt"), "t");
    EXPECT_EQ(Read("U:\\b\\u.txt"), "u");
  }
}

// Jobs whose destination could not keep their files apart, refused before
// the generation folders are made, each with its own event:
// - flat paths both ways: the flat folder holds names without their
//   folders, so its files cannot be paired back (the scan never read it:
//   a newer edit or a new file there was neither copied nor listed);
// - includes apart only by letter case ("S:\Data\*" and "S:\data\*", two
//   folders on Linux): the destination finds one twin under both
//   spellings, so the files of each were the other's orphans and were
//   erased, both ways on the source side too.
TEST_F(UpdateChecks, DestinationsThatCannotKeepTheFilesApartAreRefused) {
  struct Case {
    const char* what;
    Lines dirIncludes;
    int pathMode;
    Lines body;
    int code;
  };
  const std::string flat = "Error: A flat destination cannot be updated both ways.";
  const std::string cased =
      "Error: Source directories that differ only in letter case meet in the destination.";
  const Case cases[] = {
      {"flat paths both ways", {"S:\\Data\\*"}, 0, {flat}, 10022},
      {"two spellings, full paths", {"S:\\Data\\*", "S:\\data\\*"}, 1, {cased}, 10023},
      {"a spelling inside the other, relative paths", {"S:\\Data\\*", "S:\\data\\Sub\\"}, 2,
       {cased}, 10023},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Recorder() = CallbackRecorder();
    platform_.Reset();
    Write("S:\\Data\\a.txt", "a", kNew);
    Write("S:\\data\\Sub\\b.txt", "b", kOld);
    Write("T:\\Backup\\Grandson\\Data\\c.txt", "c", kOld);
    Write("T:\\Backup\\Grandson\\c.txt", "c", kOld);
    auto before = Snapshot();
    before.erase("U:\\run.log");
    job_.dirIncludes = c.dirIncludes;
    job_.pathMode = c.pathMode;
    job_.varyMode = 4;
    job_.touchMode = 1;
    job_.orphanModeB = 2;
    job_.lastUpdate = kNew;

    EXPECT_EQ(Run(), 1);

    ExpectEndedBeforeTheGenerationStep(c.body, c.code);
    auto after = Snapshot();
    after.erase("U:\\run.log");
    EXPECT_EQ(after, before);
  }
}

// Relative paths from a folder into itself pair every file with itself, and
// the destination scan reads the source tree. Folders that differ only in
// letter case are one folder on the drives the engine runs on. Both are
// refused before the search.
TEST_F(UpdateChecks, RelativePathsIntoTheirOwnRootAreRefusedBeforeTheSearch) {
  for (const char* include : {"T:\\Backup\\*", "T:\\backup\\*"}) {
    SCOPED_TRACE(include);
    Recorder() = CallbackRecorder();
    Write("T:\\Backup\\a.txt", "a", kNew);
    drives_.MakeDirs("T:\\Backup\\Empty\\");
    job_.dirIncludes = {include};
    job_.pathMode = 2;
    job_.deleteDestDirs = 1;

    EXPECT_EQ(Run(), 1);

    EXPECT_EQ(LogBody(), Lines{"Error: Source and destination are identical."});
    EXPECT_EQ(Notifications(), (Calls{{10003, 0, 0}}));
    EXPECT_TRUE(ui_.searchDialogs.empty());
    EXPECT_EQ(Read("T:\\Backup\\a.txt"), "a");
    EXPECT_TRUE(Exists("T:\\Backup\\Empty"));
  }
}

TEST_F(UpdateChecks, UnknownDriveIsReportedInUpperCase) {
  struct Case {
    const char* what;
    std::string include;
    std::string destination;
    int drive;  // as NotifyProc gets it
    std::string line;
    uint64_t queries;
  };
  const Case cases[] = {
      {"source drive", "r:\\Data\\*", "T:\\Backup\\", 'R', "Error: Drive R: not found.", 1},
      {"destination drive", "S:\\Data\\*", "q:\\Backup\\", 'Q', "Error: Drive Q: not found.", 2},
      // No letter at all: the log shows none either, and holds no NUL byte.
      {"no destination", "S:\\Data\\*", "", 0, "Error: Drive ?: not found.", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Recorder() = CallbackRecorder();
    platform_.Reset();
    job_.dirIncludes = {c.include};
    job_.destination = c.destination;

    EXPECT_EQ(Run(), 1);

    EXPECT_EQ(LogBody(), Lines{c.line});
    EXPECT_EQ(Notifications(), (Calls{{10004, c.drive, 0}}));
    EXPECT_EQ(platform_.calls(CallKind::kDiskFreeSpace), c.queries);
    EXPECT_TRUE(ui_.searchDialogs.empty());
  }
}

// --- Midnight hint ------------------------------------------------------------

TEST_F(UpdateChecks, MidnightHintIsLoggedUnlessTheAnswerIsNo) {
  struct Case {
    int answer;
    Lines body;
  };
  const std::string hint =
      "Hint: It is shortly after midnight. The last day is included in the update.";
  const Case cases[] = {
      {kIdNo, {"File copied: S:\\Data\\a.txt", "to: T:\\Backup\\Data\\a.txt"}},
      {kIdYes, {hint, "File copied: S:\\Data\\a.txt", "to: T:\\Backup\\Data\\a.txt"}},
      {kIdOk, {hint, "File copied: S:\\Data\\a.txt", "to: T:\\Backup\\Data\\a.txt"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    Recorder() = CallbackRecorder();
    Recorder().notifyAnswers.Push({c.answer});
    WritePair();
    job_.midnight = 1;

    EXPECT_EQ(Run(), 1);

    EXPECT_EQ(Notifications(), (Calls{{10005, 0, 0}}));
    EXPECT_EQ(LogBody(), c.body);
    EXPECT_TRUE(PairCopied());
  }
}

// --- Empty plan -----------------------------------------------------------------

TEST_F(UpdateChecks, EmptyPlanIsReportedAndEmptyFoldersAreStillRemoved) {
  Write("S:\\Data\\same.txt", "same", kOld);
  Write("T:\\Backup\\Data\\same.txt", "same", kOld);
  drives_.MakeDirs("T:\\Backup\\Data\\Empty\\Deeper\\");
  drives_.MakeDirs("S:\\Data\\Void\\");
  job_.deleteDestDirs = 1;

  EXPECT_EQ(Run(), 1);

  EXPECT_EQ(Notifications(), (Calls{{10007, 0, 0}}));
  // Deepest first; the folders that hold files and the source side stay.
  EXPECT_EQ(LogBody(), (Lines{"No files found.",
                              "Directory deleted: T:\\Backup\\Data\\Empty\\Deeper\\",
                              "Directory deleted: T:\\Backup\\Data\\Empty\\"}));
  EXPECT_FALSE(Exists("T:\\Backup\\Data\\Empty"));
  EXPECT_TRUE(Exists("T:\\Backup\\Data\\same.txt"));
  EXPECT_TRUE(Exists("S:\\Data\\Void"));
  EXPECT_TRUE(ui_.copyDialogs.empty());
  ASSERT_EQ(ui_.searchDialogs.size(), 2u);
  EXPECT_EQ(ui_.searchDialogs[1].statusTexts, Lines{"Erasing empty directories..."});
}

// --- Space warnings ---------------------------------------------------------------

TEST_F(UpdateChecks, SpaceShortageWarnsDestinationFirstAndNoEndsTheRun) {
  // Two ways: a sparse 6 GiB file for the destination drive and a 1.5 MB
  // file for the source drive, with no free space on either.
  const uint64_t kHuge = 6ull << 30;
  Write("S:\\Data\\huge.bin", "", kNew);
  std::filesystem::resize_file(drives_.Native("S:\\Data\\huge.bin"), kHuge);
  ASSERT_EQ(Sys().SetLastWriteStamp("S:\\Data\\huge.bin", kNew), kErrOk);
  Write("T:\\Backup\\Data\\back.bin", std::string(1572864, 'b'), kNew);
  job_.touchMode = 1;
  job_.orphanModeB = 0;
  platform_.freeSpace = {{'S', 0}, {'T', 0}};
  // Nothing may be copied whatever the run decides.
  platform_.FailCall(CallKind::kCopyOver, 1, kErrDiskFull, FaultInjectingPlatform::Repeat::kFromThenOn);
  Recorder().notifyAnswers.Push({kIdYes, kIdNo});

  EXPECT_EQ(Run(), 1);

  // The number is clamped to the int range; the log shows the whole amount.
  EXPECT_EQ(Notifications(), (Calls{{10008, 'T', INT_MAX}, {10008, 'S', 1572864}}));
  EXPECT_EQ(LogBody(), (Lines{"Warning: Drive T: lacks 6144.0 MB of storage space.",
                              "Warning: Drive S: lacks 1.5 MB of storage space.",
                              "Aborted by user."}));
  EXPECT_EQ(platform_.copies, 0);
  EXPECT_EQ(ui_.overviewRuns, 0);
  EXPECT_FALSE(Exists("S:\\Data\\back.bin"));
}

TEST_F(UpdateChecks, SpaceShortageAnsweredYesRunsOn) {
  WritePair();
  platform_.freeSpace = {{'T', 0}};
  Recorder().notifyAnswers.Push({kIdYes});

  EXPECT_EQ(Run(), 1);

  EXPECT_EQ(Notifications(), (Calls{{10008, 'T', 8}}));
  EXPECT_EQ(LogBody(), (Lines{"Warning: Drive T: lacks 0.0 MB of storage space.",
                              "File copied: S:\\Data\\a.txt", "to: T:\\Backup\\Data\\a.txt"}));
  EXPECT_TRUE(PairCopied());
}

// --- Search dialog's Cancel ----------------------------------------------------

TEST_F(UpdateChecks, CancelledSearchEndsTheRunWithoutWarningOrOverview) {
  for (const char* status : {"Searching for subdirectories...", "Searching for files..."}) {
    SCOPED_TRACE(status);
    Recorder() = CallbackRecorder();
    ui_.searchDialogs.clear();
    WritePair();
    job_.confirmMode = 2;
    platform_.freeSpace = {{'T', 0}};  // a warning would follow a finished search
    ui_.cancelAtStatus = status;

    EXPECT_EQ(Run(), 0);

    EXPECT_EQ(LogBody(), Lines{"Aborted by user."});
    EXPECT_TRUE(Notifications().empty());
    EXPECT_EQ(ui_.overviewRuns, 0);
    EXPECT_FALSE(PairCopied());
    ASSERT_EQ(ui_.searchDialogs.size(), 1u);
    EXPECT_EQ(ui_.searchDialogs[0].statusTexts.back(), status);
    EXPECT_EQ(ui_.openDialogs, 0);
  }
}

TEST_F(UpdateChecks, NextRunStartsUnaborted) {
  WritePair();
  ui_.cancelAtStatus = "Searching for files...";
  ASSERT_EQ(Run(), 0);
  ui_.cancelAtStatus.clear();

  EXPECT_EQ(Run(), 1);

  EXPECT_TRUE(PairCopied());
}

// --- Overview ----------------------------------------------------------------------

TEST_F(UpdateChecks, OverviewDecidesWhetherThePlanRuns) {
  struct Case {
    bool confirms;
    int result;
    Lines body;
    bool copied;
  };
  const Case cases[] = {
      {true, 1, {"File copied: S:\\Data\\a.txt", "to: T:\\Backup\\Data\\a.txt"}, true},
      {false, 0, {"Aborted by user."}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.confirms);
    ui_.overviewRuns = 0;
    WritePair();
    job_.confirmMode = 2;
    ui_.overviewConfirms = c.confirms;
    size_t planned = 0;
    ui_.onOverview = [&planned](Plan& plan) { planned = plan.candidates.size(); };

    EXPECT_EQ(Run(), c.result);

    EXPECT_EQ(ui_.overviewRuns, 1);
    EXPECT_EQ(planned, 1u);  // the overview sees the ordered plan
    EXPECT_EQ(LogBody(), c.body);
    EXPECT_EQ(PairCopied(), c.copied);
    EXPECT_TRUE(ui_.copyDialogs.empty() != c.copied);
    ui_.copyDialogs.clear();
  }
}

TEST_F(UpdateChecks, OverviewThatCannotBeShownCountsAsCancel) {
  SilentRunUi silent;
  SetRunUi(&silent);
  WritePair();
  job_.confirmMode = 2;

  EXPECT_EQ(Run(), 0);

  EXPECT_EQ(LogBody(), Lines{"Aborted by user."});
  EXPECT_FALSE(PairCopied());
}

}  // namespace
}  // namespace tolvex::runtest
