// Whole runs against what other runs leave or hold: the temporary files of
// a killed run, the lock of a run still going, a generation rotation that
// was interrupted or refused, and the failures a run must say it met.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "model/plan.h"
#include "platform/reserved_names.h"
#include "tests/run_fixture.h"

namespace tolvex::runtest {
namespace {

using Lines = std::vector<std::string>;

bool Has(const Lines& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class Leftovers : public RunTest {};

// A killed run leaves its temporary files behind, held by nobody: the next
// run removes them at once, also in folders it does not write to. Those a
// live writer holds stay. Files that merely look like temporary files are
// the user's and are backed up.
TEST_F(Leftovers, DeadTemporaryFilesGoAtOnceLiveOnesStayLookalikesAreBackedUp) {
  Write("S:\\Data\\a.txt", "a", kNew);
  const Lines lookalikes = {"~tolvex-tmp.notes.txt", "~tolvex-tmp.0123abcd"};
  for (const std::string& name : lookalikes) Write("S:\\Data\\" + name, "mine", kNew);
  Write("S:\\Data\\Quiet\\same.txt", "same", kOld);
  Write("T:\\Backup\\Data\\Quiet\\same.txt", "same", kOld);
  const std::string dead = "T:\\Backup\\Data\\" + TemporaryName(0xdeaddeaddeaddeadull, 1);
  const std::string dead_quiet = "T:\\Backup\\Data\\Quiet\\" + TemporaryName(0xdeaddeaddeaddeadull, 2);
  const std::string live = "T:\\Backup\\Data\\" + TemporaryName(0x1111222233334444ull, 9);
  Write(dead, std::string(4096, 'd'), kOld);
  Write(dead_quiet, "partial", kOld);
  Write(live, "being written", kOld);
  const HeldFile writer(drives_, live);
  ASSERT_TRUE(writer.held());

  ASSERT_EQ(Run(), 1);

  EXPECT_FALSE(Exists(dead));
  EXPECT_FALSE(Exists(dead_quiet));  // nothing was copied into Quiet
  EXPECT_EQ(Read(live), "being written");
  EXPECT_EQ(LogBody(), (Lines{"File copied: S:\\Data\\a.txt", "to: T:\\Backup\\Data\\a.txt",
                              "File copied: S:\\Data\\~tolvex-tmp.0123abcd",
                              "to: T:\\Backup\\Data\\~tolvex-tmp.0123abcd",
                              "File copied: S:\\Data\\~tolvex-tmp.notes.txt",
                              "to: T:\\Backup\\Data\\~tolvex-tmp.notes.txt"}));
  for (const std::string& name : lookalikes) EXPECT_EQ(Read("T:\\Backup\\Data\\" + name), "mine");

  // Nothing changed: the next run copies nothing and leaves the live file.
  ASSERT_EQ(Run(), 1);
  EXPECT_EQ(LogBody(), Lines{"No files found."});
  EXPECT_EQ(Read(live), "being written");
}

// A dead run's temporary files make a folder look empty to the scan; the
// folder removal takes it away with them.
TEST_F(Leftovers, AFolderHoldingOnlyDeadTemporaryFilesIsRemoved) {
  Write("S:\\Data\\a.txt", "a", kOld);
  Write("T:\\Backup\\Data\\a.txt", "a", kOld);
  Write("T:\\Backup\\Data\\Gone\\" + TemporaryName(0xabcdef0123456789ull, 3), "partial", kOld);
  job_.deleteDestDirs = 1;

  ASSERT_EQ(Run(), 1);

  EXPECT_EQ(LogBody(), (Lines{"No files found.", "Directory deleted: T:\\Backup\\Data\\Gone\\"}));
  EXPECT_FALSE(Exists("T:\\Backup\\Data\\Gone"));
}

class RunLock : public RunTest {};

// Another run holds the destination: this one asks, and on any answer but
// Retry ends without touching a file, its log included (a replaced log
// would be emptied under the other run).
TEST_F(RunLock, ASecondRunOfTheDestinationIsRefusedAndTouchesNothing) {
  Write("S:\\Data\\a.txt", "new", kNew);
  Write("T:\\Backup\\Data\\a.txt", "old", kOld);
  Write("U:\\run.log", "the other run's log\r\n", kOld);
  std::unique_ptr<FolderLock> other;
  ASSERT_EQ(Sys().LockFolder("T:\\Backup\\", &other), kErrOk);

  EXPECT_EQ(Run(), 1);

  EXPECT_EQ(Notifications(), (std::vector<NotifyCall>{{TOLVEX_NOTIFY_DESTINATION_BUSY, 'T', 0}}));
  EXPECT_EQ(Read("T:\\Backup\\Data\\a.txt"), "old");
  EXPECT_EQ(Read("U:\\run.log"), "the other run's log\r\n");
  EXPECT_TRUE(ui_.searchDialogs.empty());

  // Cancel in the meantime (a dialog's Cancel, or a front end's abort) ends
  // it as aborted.
  Recorder() = CallbackRecorder();
  Recorder().onNotify = [](int) { CancelUpdate(); };
  Recorder().notifyAnswers.Push({TOLVEX_NOTIFY_RETRY});
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(Read("T:\\Backup\\Data\\a.txt"), "old");
}

// Retry waits for the other run: once it lets go, this one runs as usual,
// and its own lock file does not keep the emptied destination from being
// removed.
TEST_F(RunLock, RetryRunsOnceTheOtherRunEnds) {
  Write("S:\\Data\\a.txt", "new", kNew);
  Write("T:\\Backup\\Data\\a.txt", "old", kOld);
  Write("T:\\Backup\\Data\\orphan.txt", "orphan", kOld);
  std::unique_ptr<FolderLock> other;
  ASSERT_EQ(Sys().LockFolder("T:\\Backup\\", &other), kErrOk);
  int asked = 0;
  Recorder().onNotify = [&](int code) {
    if (code == TOLVEX_NOTIFY_DESTINATION_BUSY && ++asked == 3) other.reset();
  };
  Recorder().notifyAnswers.SetFallback(TOLVEX_NOTIFY_RETRY);

  ASSERT_EQ(Run(), 1);

  EXPECT_EQ(asked, 3);
  EXPECT_EQ(Read("T:\\Backup\\Data\\a.txt"), "new");
  EXPECT_FALSE(Exists(std::string("T:\\Backup\\") + kRunLockName));
  EXPECT_EQ(NativeNames("T:\\Backup\\"), Lines{"Data"});

  // Everything erased and emptied: the destination itself goes too.
  std::filesystem::remove_all(drives_.Native("S:\\Data"));
  drives_.MakeDirs("S:\\Data");
  job_.orphanModeD2 = 2;
  job_.deleteDestDirs = 1;
  Recorder() = CallbackRecorder();
  ASSERT_EQ(Run(), 1);
  EXPECT_FALSE(Exists("T:\\Backup"));
}

// A first run, before the destination exists, locks the nearest folder
// above it: a second first run waits for it as well.
TEST_F(RunLock, AMissingDestinationIsLockedThroughTheFolderAboveIt) {
  Write("S:\\Data\\a.txt", "new", kNew);
  drives_.MakeDirs("T:\\Jobs");
  job_.destination = "T:\\Jobs\\Backup\\";
  std::unique_ptr<FolderLock> other;
  ASSERT_EQ(Sys().LockFolder("T:\\Jobs\\", &other), kErrOk);

  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(Notifications(), (std::vector<NotifyCall>{{TOLVEX_NOTIFY_DESTINATION_BUSY, 'T', 0}}));
  EXPECT_FALSE(Exists("T:\\Jobs\\Backup"));

  other.reset();
  Recorder() = CallbackRecorder();
  ASSERT_EQ(Run(), 1);
  EXPECT_EQ(Read("T:\\Jobs\\Backup\\Data\\a.txt"), "new");
}

class Rotation : public RunTest {
 protected:
  Rotation() {
    job_.varyMode = 4;
    job_.pathMode = 2;
  }
  // What each generation folder's a.txt holds ("-" when missing).
  Lines Generations() const {
    Lines held;
    for (const char* name : {"Grandson", "Son", "Father", "Grandfather"}) {
      const std::string file = std::string("T:\\Backup\\") + name + "\\a.txt";
      held.push_back(std::string(name) + " " + (Exists(file) ? Read(file) : "-"));
    }
    return held;
  }
};

// A Grandfather left over next to all three generations blocks every
// rename of the rotation, run after run (the rule stays); each run says so,
// updates Grandson in place, and every other generation stays as it was.
TEST_F(Rotation, ALeftoverGrandfatherIsReportedEveryRunAndLosesNoGeneration) {
  const char* names[] = {"Grandson", "Son", "Father", "Grandfather"};
  for (int k = 0; k < 4; ++k) {
    Write(std::string("T:\\Backup\\") + names[k] + "\\a.txt", "v" + std::to_string(3 - k), kOld);
  }
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE(run);
    Recorder() = CallbackRecorder();
    Write("S:\\Data\\a.txt", "new " + std::to_string(run), Stamp(1999, 3, 12 + run, 9, 0));

    ASSERT_EQ(Run(), 1);

    EXPECT_EQ(LogBody(), (Lines{"Rotation blocked: T:\\Backup\\Grandfather",
                                "File copied: S:\\Data\\a.txt",
                                "to: T:\\Backup\\Grandson\\a.txt"}));
    EXPECT_EQ(Generations(), (Lines{"Grandson new " + std::to_string(run), "Son v2", "Father v1",
                                    "Grandfather v0"}));
  }
}

// A rename the system refuses (a file open in the folder, no access) while
// the run rotates: the plan was made for the folder the rotation would have
// made the working folder, so the renames done are undone and the run ends
// before its first change, naming the folder. The next rotation completes,
// and no generation is ever overwritten but the one each rotation renews.
TEST_F(Rotation, ARefusedRenameIsUndoneAndTheNextRotationCompletes) {
  Write("T:\\Backup\\Grandson\\a.txt", "v3", kOld);
  Write("T:\\Backup\\Son\\a.txt", "v2", kOld);
  Write("T:\\Backup\\Father\\a.txt", "v1", kOld);
  Write("S:\\Data\\a.txt", "v4", Stamp(1999, 3, 13, 9, 0));
  platform_.FailCall(CallKind::kMoveEntry, 2, kErrAccessDenied);  // Son -> Father

  ASSERT_EQ(Run(), 1);

  EXPECT_EQ(LogBody(), (Lines{"Rotation blocked: T:\\Backup\\Son",
                              "Error: The generation folders could not be rotated; nothing was "
                              "done."}));
  EXPECT_EQ(Recorder().notifications, (std::vector<NotifyCall>{{10017, 'T', 0}}));
  EXPECT_EQ(Generations(), (Lines{"Grandson v3", "Son v2", "Father v1", "Grandfather -"}));

  platform_.Reset();
  Recorder() = CallbackRecorder();
  Write("S:\\Data\\a.txt", "v5", Stamp(1999, 3, 14, 9, 0));
  ASSERT_EQ(Run(), 1);
  EXPECT_EQ(LogBody(), (Lines{"File copied: S:\\Data\\a.txt", "to: T:\\Backup\\Grandson\\a.txt"}));
  EXPECT_EQ(Generations(), (Lines{"Grandson v5", "Son v3", "Father v2", "Grandfather -"}));
}

class ReportedFailures : public RunTest {};

// What a run meets and cannot do is in its log: a planned erase that
// fails, an empty folder that cannot be removed, a folder that cannot be
// read (whose files the run leaves out on both sides).
TEST_F(ReportedFailures, FailedErasuresAndUnreadableFoldersAreLogged) {
  Write("S:\\Data\\a.txt", "a", kNew);
  Write("T:\\Backup\\Data\\orphan.txt", "orphan", kOld);
  Write("S:\\Data\\Locked\\b.txt", "b", kNew);
  Write("T:\\Backup\\Data\\Locked\\b.txt", "old b", kOld);
  drives_.MakeDirs("T:\\Backup\\Data\\Empty");
  job_.orphanModeD2 = 2;
  job_.deleteDestDirs = 1;
  platform_.FailCall(CallKind::kRemoveFile, 1, kErrSharingViolation);
  platform_.FailCall(CallKind::kRemoveFolder, 1, kErrAccessDenied);
  platform_.findError = [](const std::string& pattern) -> uint32_t {
    return pattern.rfind("S:\\Data\\Locked\\", 0) == 0 ? kErrAccessDenied : kErrOk;
  };

  ASSERT_EQ(Run(), 1);

  const Lines body = LogBody();
  EXPECT_TRUE(Has(body, "Unreadable folder: S:\\Data\\Locked\\"));
  EXPECT_TRUE(Has(body, "Error at erasing: T:\\Backup\\Data\\orphan.txt"));
  EXPECT_TRUE(Has(body, "Error at erasing: T:\\Backup\\Data\\Locked\\"));
  EXPECT_FALSE(Has(body, "File copied: S:\\Data\\Locked\\b.txt"));
  EXPECT_EQ(Read("T:\\Backup\\Data\\Locked\\b.txt"), "old b");
  EXPECT_EQ(Read("T:\\Backup\\Data\\orphan.txt"), "orphan");
  EXPECT_EQ(Read("T:\\Backup\\Data\\a.txt"), "a");
}

// A log that cannot be opened, or loses a write, cannot say so itself:
// the front end hears it (10013) at the end of the run, once.
TEST_F(ReportedFailures, ALogThatCouldNotBeWrittenIsToldToTheFrontEnd) {
  struct Case {
    const char* name;
    CallKind kind;
    uint64_t call;
  };
  const Case cases[] = {
      {"open", CallKind::kOpenForWrite, 1},
#if defined(__GLIBC__)
      {"first write", CallKind::kLogWrite, 1},
      {"a later write", CallKind::kLogWrite, 3},
#endif
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Write("S:\\Data\\a.txt", "a", kNew);
    Recorder() = CallbackRecorder();
    platform_.Reset();
    platform_.FailCall(c.kind, c.call, kErrDiskFull);

    ASSERT_EQ(Run(), 1);

    EXPECT_EQ(Notifications(), (std::vector<NotifyCall>{{TOLVEX_NOTIFY_LOG_FAILED, 0, 0}}));
    EXPECT_EQ(Read("T:\\Backup\\Data\\a.txt"), "a");
    std::filesystem::remove_all(drives_.Native("T:\\Backup"));
  }
  platform_.Reset();
  Recorder() = CallbackRecorder();
  ASSERT_EQ(Run(), 1);
  EXPECT_TRUE(Notifications().empty());
}

}  // namespace
}  // namespace tolvex::runtest
