// Runs on real trees where a plain reading of the job would destroy or
// misreport a version of a file: each test shows one such way and holds the
// behaviour that keeps every version.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "model/plan.h"
#include "model/records.h"
#include "tests/run_fixture.h"
#include "testing/test_volumes.h"

namespace tolvex::runtest {
namespace {

using Lines = std::vector<std::string>;
using Calls = std::vector<NotifyCall>;

class LosslessRun : public RunTest {
 protected:
  // Runs the job, then holds what every run must: each "File copied" line
  // names two files that are equal afterwards (a later copy in the same run
  // must not have overwritten it, nor copied the other way).
  int Run() {
    const int result = RunTest::Run();
    const Lines body = LogBody();
    for (size_t i = 0; i + 1 < body.size(); ++i) {
      if (body[i].rfind(kCopied, 0) != 0 || body[i + 1].rfind(kTo, 0) != 0) continue;
      const std::string from = body[i].substr(sizeof kCopied - 1);
      const std::string to = body[i + 1].substr(sizeof kTo - 1);
      EXPECT_EQ(Read(from), Read(to)) << "logged as copied: " << from << " to " << to;
    }
    return result;
  }

 private:
  static constexpr char kCopied[] = "File copied: ";
  static constexpr char kTo[] = "to: ";
};

// --- A run that fails inside ------------------------------------------------------

// An exception inside the run (here: no memory at the second copy) must not
// pass for a done run: the log says that the run failed and ends with its
// footer, CallUpdate returns 0 and the front end hears of it, and the next
// run starts from clean lists instead of acting on the stale plan.
TEST_F(LosslessRun, AFailureInsideTheRunIsReportedAndLeavesNothingBehind) {
  Write("S:\\Data\\a.txt", "a", kNew);
  Write("S:\\Data\\b.txt", "b", kNew);
  platform_.beforeCopy = [](int call, const std::string&, const std::string&) {
    if (call == 2) throw std::bad_alloc();
  };

  EXPECT_EQ(Run(), 0);

  EXPECT_EQ(LogBody(), (Lines{"File copied: S:\\Data\\a.txt", "to: T:\\Backup\\Data\\a.txt",
                              "Error: The run failed (internal error)."}));
  EXPECT_EQ(Notifications(), (Calls{{10010, 0, 0}}));
  EXPECT_FALSE(Exists("T:\\Backup\\Data\\b.txt"));

  platform_.beforeCopy = nullptr;
  Recorder() = CallbackRecorder();
  EXPECT_EQ(Run(), 1);

  EXPECT_EQ(LogBody(), (Lines{"File copied: S:\\Data\\b.txt", "to: T:\\Backup\\Data\\b.txt"}));
  EXPECT_TRUE(Notifications().empty());
}

// Whatever a run before left in the lists, a run starts from none of it.
TEST_F(LosslessRun, ARunStartsFromEmptyLists) {
  Write("S:\\Data\\a.txt", "a", kNew);
  Write("S:\\Other\\stale.txt", "not selected", kNew);
  // A run before, cancelled in the overview, planned S:\Other\stale.txt.
  const Job job = job_;
  job_.dirIncludes = {"S:\\Other\\*"};
  job_.confirmMode = TOLVEX_CONFIRM_MODE_OVERVIEW;
  ui_.overviewConfirms = false;
  ASSERT_EQ(Run(), 0);
  ASSERT_EQ(ui_.overviewRuns, 1);
  job_ = job;
  ui_.overviewConfirms = true;
  Recorder() = CallbackRecorder();

  EXPECT_EQ(Run(), 1);

  EXPECT_EQ(LogBody(), (Lines{"File copied: S:\\Data\\a.txt", "to: T:\\Backup\\Data\\a.txt"}));
  EXPECT_FALSE(Exists("T:\\Elsewhere"));
  EXPECT_FALSE(Exists("T:\\Backup\\Data\\stale.txt"));
}

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

// --- Two-way runs and files on one side only ------------------------------------

// Both ways with OrphanModeB 2, a file on one side only was deleted on the
// other since the last update, or it is new work done since then. New work
// (stamped at or after LastUpdate minus two hours, the margin for clock
// changes) is copied across, never erased; with LastUpdate 0 (no earlier
// run) every file is new work.
TEST_F(LosslessRun, TwoWayRunsCopyNewWorkAndEraseOnlyWhatWasDeletedElsewhere) {
  struct Case {
    const char* what;
    uint32_t lastUpdate;
    uint32_t stamp;  // of the file on one side only
    bool erased;
  };
  const Case cases[] = {
      {"made after the last update", Stamp(1999, 3, 14, 12, 0), Stamp(1999, 3, 14, 13, 0), false},
      {"made at the last update", Stamp(1999, 3, 14, 12, 0), Stamp(1999, 3, 14, 12, 0), false},
      {"made within the margin", Stamp(1999, 3, 14, 12, 0), Stamp(1999, 3, 14, 10, 0), false},
      {"older than the margin", Stamp(1999, 3, 14, 12, 0), Stamp(1999, 3, 14, 9, 58), true},
      {"the margin across a month's end", Stamp(1999, 3, 1, 1, 0), Stamp(1999, 2, 28, 23, 0), false},
      {"before the margin across a month's end", Stamp(1999, 3, 1, 1, 0), Stamp(1999, 2, 28, 22, 58),
       true},
      {"the margin across the new year", Stamp(2000, 1, 1, 0, 30), Stamp(1999, 12, 31, 22, 30),
       false},
      {"no earlier run", 0, Stamp(1985, 1, 1, 0, 0), false},
  };
  for (const bool on_destination : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << c.what << (on_destination ? ", in the backup" : ", in the source"));
      std::filesystem::remove_all(drives_.Native("S:\\Data"));
      std::filesystem::remove_all(drives_.Native("T:\\Backup"));
      drives_.MakeDirs("S:\\Data\\");
      drives_.MakeDirs("T:\\Backup\\Data\\");
      const std::string file = on_destination ? "T:\\Backup\\Data\\one.txt" : "S:\\Data\\one.txt";
      const std::string other = on_destination ? "S:\\Data\\one.txt" : "T:\\Backup\\Data\\one.txt";
      Write(file, "one side", c.stamp);
      job_.touchMode = 1;
      job_.orphanModeB = 2;
      job_.createSrcDirs = 1;
      job_.lastUpdate = c.lastUpdate;

      ASSERT_EQ(Run(), 1);

      if (c.erased) {
        EXPECT_EQ(LogBody(), Lines{"File erased: " + file});
        EXPECT_FALSE(Exists(file));
      } else {
        EXPECT_EQ(LogBody(), (Lines{"File copied: " + file, "to: " + other}));
        EXPECT_EQ(Read(file), "one side");
        EXPECT_EQ(Read(other), "one side");
      }
    }
  }
}

// --- Both ways, equal stamps and other sizes ---------------------------------------

// Two versions with one stamp and other sizes: nothing tells which is newer,
// and each side offers to copy itself over the other. Copying both destroys
// one version and copies back what was just written.
class Conflict : public LosslessRun {
 protected:
  static constexpr const char* kSource = "S:\\Data\\a.txt";
  static constexpr const char* kBackup = "T:\\Backup\\Data\\a.txt";
  Conflict() {
    Write(kSource, "version in the source", kNew);
    Write(kBackup, "backup's version", kNew);
    job_.touchMode = 1;
  }
  // True when both sides hold `content`.
  bool BothHold(const std::string& content) const {
    return Read(kSource) == content && Read(kBackup) == content;
  }
};

TEST_F(Conflict, WithoutConfirmationNeitherIsCopiedAndThePairIsReportedEachRun) {
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE(run);
    ASSERT_EQ(Run(), 1);

    EXPECT_EQ(LogBody(), (Lines{"Conflict: S:\\Data\\a.txt",
                                "File skipped: S:\\Data\\a.txt", "and: T:\\Backup\\Data\\a.txt",
                                "File skipped: T:\\Backup\\Data\\a.txt", "and: S:\\Data\\a.txt"}));
    EXPECT_EQ(Read(kSource), "version in the source");
    EXPECT_EQ(Read(kBackup), "backup's version");
  }
}

// Asked file by file, the user settles the pair with the first question
// that gets a copy; the other candidate of the pair is then skipped without
// a question.
TEST_F(Conflict, AskedPerFileTheFirstCopySettlesThePair) {
  struct Case {
    const char* what;
    std::vector<int> answers;
    size_t questions;
    std::string content;  // both sides afterwards
  };
  const Case cases[] = {
      {"the first as proposed", {10}, 1, "version in the source"},
      {"the first the other way", {40}, 1, "backup's version"},
      {"the first skipped, the second as proposed", {20, 10}, 2, "backup's version"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Recorder() = CallbackRecorder();
    for (int answer : c.answers) Recorder().confirmAnswers.Push({answer});
    Recorder().confirmAnswers.SetFallback(10);
    Write(kSource, "version in the source", kNew);
    Write(kBackup, "backup's version", kNew);
    job_.confirmMode = 1;

    ASSERT_EQ(Run(), 1);

    EXPECT_EQ(Recorder().confirmations.size(), c.questions);
    EXPECT_TRUE(BothHold(c.content)) << Read(kSource) << " / " << Read(kBackup);
    // The conflict, then one copy and one skip, in either order.
    const Lines body = LogBody();
    ASSERT_EQ(body.size(), 5u) << testing::PrintToString(body);
    EXPECT_EQ(body[0], "Conflict: S:\\Data\\a.txt");
    EXPECT_EQ(body[1].rfind("File ", 0), 0u);
    EXPECT_EQ(body[3].rfind("File ", 0), 0u);
    EXPECT_TRUE((body[1].rfind("File copied", 0) == 0) != (body[3].rfind("File copied", 0) == 0))
        << testing::PrintToString(body);
  }
}

// Also when copies are staged: the second copy of the pair reads the file
// the first one writes, so it waits for it, and is then settled.
TEST_F(Conflict, InTheOverviewTheFirstCopySettlesThePair) {
  for (const bool staged : {false, true}) {
    SCOPED_TRACE(staged ? "staged" : "at once");
    Write(kSource, "version in the source", kNew);
    Write(kBackup, "backup's version", kNew);
    job_.confirmMode = 2;
    ui_.overviewRuns = 0;
    platform_.stageCopies = staged;

    ASSERT_EQ(Run(), 1);

    EXPECT_EQ(ui_.overviewRuns, 1);
    EXPECT_EQ(LogBody(), (Lines{"Conflict: S:\\Data\\a.txt",
                                "File copied: S:\\Data\\a.txt", "to: T:\\Backup\\Data\\a.txt",
                                "File skipped: T:\\Backup\\Data\\a.txt", "and: S:\\Data\\a.txt"}));
    EXPECT_TRUE(BothHold("version in the source"));
  }
}

// --- Flat path mode: one destination folder for every source folder -----------------

// Files of one name (letter case aside) from different folders all go to
// the one destination file. Only the newest is carried out, on a tie the
// first in folder order; the others are skipped and reported, also when the
// newest gives no candidate because its copy is up to date.
TEST_F(LosslessRun, FlatRunCarriesOutOnlyTheNewestFileOfEachName) {
#ifndef _WIN32
  // The backup ignores letter case, as on Windows (the test switch): the
  // names are matched as they are there.
  const ScopedTestVolumes caseless("caseless=" + drives_.Native("T:\\"));
#endif

  Write("S:\\Data\\A\\a.txt", "A, oldest", kOld);
  Write("S:\\Data\\B\\A.TXT", "B, newest", kNew);
  Write("S:\\Data\\C\\a.txt", "C, between", Stamp(1999, 3, 12, 8, 0));
  Write("S:\\Data\\C\\b.txt", "b", kOld);
  job_.pathMode = 0;
  job_.destination = "T:\\Flat\\";
  job_.createDestDirs = 1;
  const Lines clashes = {"Name clash: S:\\Data\\A\\a.txt", "Name clash: S:\\Data\\C\\a.txt"};

  ASSERT_EQ(Run(), 1);

  Lines body = clashes;
  for (const char* line : {"File skipped: S:\\Data\\A\\a.txt", "and: T:\\Flat\\a.txt",
                           "File copied: S:\\Data\\B\\A.TXT", "to: T:\\Flat\\A.TXT",
                           "File skipped: S:\\Data\\C\\a.txt", "and: T:\\Flat\\a.txt",
                           "File copied: S:\\Data\\C\\b.txt", "to: T:\\Flat\\b.txt"}) {
    body.push_back(line);
  }
  EXPECT_EQ(LogBody(), body);
  EXPECT_EQ(Read("T:\\Flat\\A.TXT"), "B, newest");
  EXPECT_EQ(Read("T:\\Flat\\b.txt"), "b");
  EXPECT_EQ(NativeNames("T:\\Flat\\"), (Lines{"A.TXT", "b.txt"}));

  // Nothing changed: nothing is copied, and the clashes are still told.
  ASSERT_EQ(Run(), 1);

  body = clashes;
  body.push_back("No files found.");
  EXPECT_EQ(LogBody(), body);
  EXPECT_EQ(Read("T:\\Flat\\A.TXT"), "B, newest");
}

TEST_F(LosslessRun, FlatRunTakesTheFirstFolderOnATie) {
  Write("S:\\Data\\A\\x.txt", "from A", kNew);
  Write("S:\\Data\\B\\x.txt", "from B, longer", kNew);
  job_.pathMode = 0;
  job_.destination = "T:\\Flat\\";

  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE(run);
    ASSERT_EQ(Run(), 1);

    const Lines copied = {"File copied: S:\\Data\\A\\x.txt", "to: T:\\Flat\\x.txt"};
    Lines body = {"Name clash: S:\\Data\\B\\x.txt"};
    if (run == 1) body.insert(body.end(), copied.begin(), copied.end());
    body.push_back("File skipped: S:\\Data\\B\\x.txt");
    body.push_back("and: T:\\Flat\\x.txt");
    EXPECT_EQ(LogBody(), body);
    EXPECT_EQ(Read("T:\\Flat\\x.txt"), "from A");
  }
}

// --- Names Windows could not tell apart (Linux only) ------------------------------

#ifndef _WIN32
// A file written byte for byte under its name, past the platform's rules.
struct NativeFile {
  std::string path;  // drive form
  std::string content;
  bool older = false;  // written a year before the others
};

// Files that no action of a run may touch, and the reports it makes of them.
struct Untouchable {
  const char* what;
  std::vector<NativeFile> files;
  int touchMode;
  int orphanMode;  // OrphanModeD2 in touch mode 0, OrphanModeB in 1
  Lines reports;
};

class UntouchableNames : public LosslessRun {
 protected:
  // Two runs: each leaves every file as it was and logs the reports and no
  // action.
  void RunCase(const Untouchable& c) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(drives_.Native("S:\\Data"));
    std::filesystem::remove_all(drives_.Native("T:\\Backup"));
    drives_.MakeDirs("T:\\Backup\\Data\\");
    for (const NativeFile& file : c.files) WriteNative(file);
    job_.touchMode = c.touchMode;
    job_.orphanModeD2 = c.touchMode == 0 ? c.orphanMode : 1;
    job_.orphanModeB = c.orphanMode;
    job_.createSrcDirs = 1;
    Lines body = c.reports;
    body.push_back("No files found.");
    for (int run = 1; run <= 2; ++run) {
      SCOPED_TRACE(run);
      ASSERT_EQ(Run(), 1);
      EXPECT_EQ(LogBody(), body);
      for (const NativeFile& file : c.files) {
        EXPECT_EQ(ReadNative(file.path), file.content) << file.path;
      }
    }
  }
  void WriteNative(const NativeFile& file) {
    const std::filesystem::path native = drives_.Native(file.path);
    std::filesystem::create_directories(native.parent_path());
    std::ofstream(native, std::ios::binary) << file.content;
    drives_.SetNativeWriteTime(file.path, file.older ? 1000000000 - 31536000 : 1000000000);
  }
  std::string ReadNative(const std::string& path) {
    std::ifstream in(drives_.Native(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
};

// Two names that differ only in letter case are one name on Windows: a copy
// of one lands on the other, a lookup finds either. Such a name, on either
// side, is left alone on both sides and reported; so is the whole subtree of
// such a folder.
TEST_F(UntouchableNames, CaseTwinsAreLeftAloneOnBothSidesAndReported) {
  const Untouchable cases[] = {
      {"two files in the source, one way",
       {{"S:\\Data\\a.txt", "lower"}, {"S:\\Data\\A.TXT", "upper"}},
       0, 2,
       {"Case twin: S:\\Data\\A.TXT", "Case twin: S:\\Data\\a.txt"}},
      {"two files in the source and one backup, both ways",
       {{"S:\\Data\\a.txt", "lower"}, {"S:\\Data\\A.TXT", "upper"},
        {"T:\\Backup\\Data\\a.txt", "backup of lower, changed"}},
       1, 2,
       {"Case twin: S:\\Data\\A.TXT", "Case twin: S:\\Data\\a.txt"}},
      {"two files in the backup, one way",
       {{"S:\\Data\\a.txt", "source"}, {"T:\\Backup\\Data\\a.txt", "lower"},
        {"T:\\Backup\\Data\\A.txt", "upper"}},
       0, 2,
       {"Case twin: T:\\Backup\\Data\\A.txt", "Case twin: T:\\Backup\\Data\\a.txt"}},
      {"two folders in the source, and a backup of one",
       {{"S:\\Data\\Dir\\x.txt", "upper"}, {"S:\\Data\\dir\\x.txt", "lower"},
        {"S:\\Data\\Dir\\Sub\\y.txt", "deeper"},
        {"T:\\Backup\\Data\\Dir\\x.txt", "backup"},
        {"T:\\Backup\\Data\\Dir\\Gone\\z.txt", "deeper backup"}},
       1, 2,
       {"Case twin: S:\\Data\\Dir\\", "Case twin: S:\\Data\\dir\\"}},
  };
  // Where either side ignores case (here the test switch), as on Windows.
  for (const char* caseless : {"S:\\", "T:\\"}) {
    SCOPED_TRACE(caseless);
    const ScopedTestVolumes volumes("caseless=" + drives_.Native(caseless));
    for (const Untouchable& c : cases) RunCase(c);
  }
}

// --- Names apart only by letter case, where both sides tell case apart ------------

// Files before a run, the log of the run, and the files after it.
struct CaseSensitiveCase {
  const char* what;
  std::vector<NativeFile> before;
  int touchMode;
  int orphanMode;  // OrphanModeD2 in touch mode 0, OrphanModeB in 1
  Lines log;
  std::vector<NativeFile> after;  // each path with its content
  std::vector<std::string> gone;  // drive form
};

class CaseSensitivePairs : public UntouchableNames {
 protected:
  // The run, then a second one that finds nothing to do.
  void RunCase(const CaseSensitiveCase& c) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(drives_.Native("S:\\Data"));
    std::filesystem::remove_all(drives_.Native("T:\\Backup"));
    drives_.MakeDirs("S:\\Data\\");
    drives_.MakeDirs("T:\\Backup\\Data\\");
    for (const NativeFile& file : c.before) WriteNative(file);
    job_.touchMode = c.touchMode;
    job_.orphanModeD2 = c.touchMode == 0 ? c.orphanMode : 1;
    job_.orphanModeB = c.orphanMode;
    job_.createSrcDirs = 1;
    job_.lastUpdate = 0;  // both ways: every orphan is new work, none erased
    ASSERT_EQ(Run(), 1);
    EXPECT_EQ(Entries(LogBody()), Entries(c.log));
    for (const NativeFile& file : c.after) EXPECT_EQ(ReadNative(file.path), file.content) << file.path;
    for (const std::string& path : c.gone) {
      EXPECT_FALSE(std::filesystem::exists(drives_.Native(path))) << path;
    }
    ASSERT_EQ(Run(), 1);
    EXPECT_EQ(LogBody(), Lines{"No files found."}) << "second run";
  }

  // The log's entries, each copy with its "to:" line, sorted: names that
  // sort alike ("a.txt", "A.TXT") come in the order the folder lists them.
  static Lines Entries(const Lines& body) {
    Lines entries;
    for (size_t i = 0; i < body.size(); ++i) {
      entries.push_back(body[i]);
      if (i + 1 < body.size() && body[i + 1].rfind("to: ", 0) == 0) entries.back() += " " + body[++i];
    }
    std::sort(entries.begin(), entries.end());
    return entries;
  }
};

// Two names apart only by letter case are two files where both sides tell
// case apart (tmpfs, ext4): each is matched with its own counterpart,
// copied, erased and logged like any other, and a name renamed in case
// only is a new file and an orphan.
TEST_F(CaseSensitivePairs, NamesApartOnlyByCaseAreSeparateFiles) {
  const CaseSensitiveCase cases[] = {
      {"two files in the source, one way",
       {{"S:\\Data\\a.txt", "lower"}, {"S:\\Data\\A.TXT", "upper"}},
       0, 1,
       {"File copied: S:\\Data\\A.TXT", "to: T:\\Backup\\Data\\A.TXT",
        "File copied: S:\\Data\\a.txt", "to: T:\\Backup\\Data\\a.txt"},
       {{"T:\\Backup\\Data\\a.txt", "lower"}, {"T:\\Backup\\Data\\A.TXT", "upper"}},
       {}},
      {"each matched with its own counterpart, one way",
       {{"S:\\Data\\a.txt", "lower, new"}, {"S:\\Data\\A.TXT", "upper", true},
        {"T:\\Backup\\Data\\a.txt", "lower", true}, {"T:\\Backup\\Data\\A.TXT", "upper", true}},
       0, 2,
       {"File copied: S:\\Data\\a.txt", "to: T:\\Backup\\Data\\a.txt"},
       {{"T:\\Backup\\Data\\a.txt", "lower, new"}, {"T:\\Backup\\Data\\A.TXT", "upper"}},
       {}},
      {"a twin gone from the source is an orphan, erased",
       {{"S:\\Data\\a.txt", "lower", true},
        {"T:\\Backup\\Data\\a.txt", "lower", true}, {"T:\\Backup\\Data\\A.TXT", "upper"}},
       0, 2,
       {"File erased: T:\\Backup\\Data\\A.TXT"},
       {{"T:\\Backup\\Data\\a.txt", "lower"}},
       {"T:\\Backup\\Data\\A.TXT"}},
      {"renamed in case only: the new name copied, the old one erased",
       {{"S:\\Data\\Report.txt", "report"}, {"T:\\Backup\\Data\\report.txt", "report"}},
       0, 2,
       {"File erased: T:\\Backup\\Data\\report.txt",
        "File copied: S:\\Data\\Report.txt", "to: T:\\Backup\\Data\\Report.txt"},
       {{"T:\\Backup\\Data\\Report.txt", "report"}},
       {"T:\\Backup\\Data\\report.txt"}},
      {"two folders in the source and one backup, both ways",
       {{"S:\\Data\\Dir\\x.txt", "upper"}, {"S:\\Data\\dir\\x.txt", "lower"},
        {"T:\\Backup\\Data\\DIR\\y.txt", "third"}},
       1, 2,
       {"File copied: T:\\Backup\\Data\\DIR\\y.txt", "to: S:\\Data\\DIR\\y.txt",
        "File copied: S:\\Data\\Dir\\x.txt", "to: T:\\Backup\\Data\\Dir\\x.txt",
        "File copied: S:\\Data\\dir\\x.txt", "to: T:\\Backup\\Data\\dir\\x.txt"},
       {{"S:\\Data\\DIR\\y.txt", "third"}, {"T:\\Backup\\Data\\Dir\\x.txt", "upper"},
        {"T:\\Backup\\Data\\dir\\x.txt", "lower"}},
       {"S:\\Data\\Dir\\y.txt", "T:\\Backup\\Data\\DIR\\x.txt"}},
      {"twins on both sides, both ways",
       {{"S:\\Data\\a.txt", "lower, new"}, {"S:\\Data\\A.txt", "upper", true},
        {"T:\\Backup\\Data\\a.txt", "lower", true}, {"T:\\Backup\\Data\\A.txt", "upper, new"},
        {"T:\\Backup\\Data\\b.txt", "only here"}, {"T:\\Backup\\Data\\B.txt", "only here too"}},
       1, 2,
       {"File copied: T:\\Backup\\Data\\A.txt", "to: S:\\Data\\A.txt",
        "File copied: T:\\Backup\\Data\\B.txt", "to: S:\\Data\\B.txt",
        "File copied: S:\\Data\\a.txt", "to: T:\\Backup\\Data\\a.txt",
        "File copied: T:\\Backup\\Data\\b.txt", "to: S:\\Data\\b.txt"},
       {{"S:\\Data\\a.txt", "lower, new"}, {"S:\\Data\\A.txt", "upper, new"},
        {"T:\\Backup\\Data\\a.txt", "lower, new"}, {"T:\\Backup\\Data\\A.txt", "upper, new"},
        {"S:\\Data\\b.txt", "only here"}, {"S:\\Data\\B.txt", "only here too"}},
       {}},
  };
  for (const CaseSensitiveCase& c : cases) RunCase(c);
}

// Windows strips a final dot or space from a name: "x." is "x" there, and a
// lookup of "x." finds "x". Such names are unusable names, left alone and
// reported; the names Windows would take them for are left alone too, on
// both sides, and nothing is compared or written under another name.
TEST_F(UntouchableNames, NamesEndingInADotOrASpaceAreLeftAloneOnBothSides) {
  const std::string data = drives_.Native("S:\\Data");
  const std::string backup = drives_.Native("T:\\Backup\\Data");
  // Both sides hold only Windows names (FAT disks); elsewhere such names
  // travel mapped (platform/posix/host_names.h).
  const ScopedTestVolumes fat("windows-names=" + data + ":" + backup);
  const Untouchable cases[] = {
      {"a newer x. over x, one way",
       {{"S:\\Data\\x.", "x with a dot, newer"}, {"T:\\Backup\\Data\\x", "x", true}},
       0, 2,
       {"Unusable name: " + data + "/x."}},
      {"both ways",
       {{"S:\\Data\\x.", "x with a dot, newer"}, {"T:\\Backup\\Data\\x", "x", true}},
       1, 2,
       {"Unusable name: " + data + "/x."}},
      {"x and x. side by side",
       {{"S:\\Data\\x", "plain"}, {"S:\\Data\\x.", "dotted"}, {"T:\\Backup\\Data\\x", "old", true}},
       0, 2,
       {"Unusable name: " + data + "/x."}},
      {"a folder ending in a dot, in the backup",
       {{"S:\\Data\\d\\f.txt", "f"}, {"T:\\Backup\\Data\\d.\\f.txt", "in the dotted folder"}},
       1, 2,
       {"Unusable name: " + backup + "/d."}},
  };
  for (const Untouchable& c : cases) RunCase(c);
}
#endif

}  // namespace
}  // namespace tolvex::runtest
