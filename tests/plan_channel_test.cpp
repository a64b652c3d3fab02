// The extension's channels on real runs: a dry run that changes nothing in
// any generation mode, the erase guard's figures and the stop before
// anything is erased or copied, Ctrl-C (CancelUpdate) at the next check and
// at once, the outcomes the log does not tell (failed erasures), and what
// the scan found and left alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/erase_guard.h"
#include "model/plan.h"
#include "model/records.h"
#include "model/run_extension.h"
#include "platform/stop_request.h"
#include "tests/run_fixture.h"

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace tolvex::runtest {
namespace {

using Lines = std::vector<std::string>;

class PlanChannel : public RunTest {
 protected:
  PlanChannel() { ListenToChannels(); }

  std::vector<ChannelItem> Plan(int32_t kind) const {
    return ChannelRecorder::OfKind(Channels().plan, kind);
  }
  std::vector<ChannelItem> Outcomes(int32_t kind) const {
    return ChannelRecorder::OfKind(Channels().outcomes, kind);
  }
  const ChannelItem& End() const {
    static const ChannelItem none;
    const std::vector<ChannelItem>& plan = Channels().plan;
    return !plan.empty() && plan.back().kind == TOLVEX_ITEM_END ? plan.back() : none;
  }
  // The backup of twenty files whose source folder is empty now: a disk
  // that is not mounted, seen through its empty mount point.
  void MakeBackupOfAnEmptySource() const {
    drives_.MakeDirs("S:\\Data");
    for (int i = 0; i < 20; ++i) {
      Write("T:\\Backup\\Data\\file" + std::to_string(i) + ".txt", "backup " + std::to_string(i), kOld);
    }
  }
};

// --- The dry run --------------------------------------------------------------

// Whatever the generation mode, a dry run renames nothing, makes no folder,
// writes no log and no hint, asks nothing and shows no overview; a space
// shortage is a figure of the plan, not a question.
TEST_F(PlanChannel, ADryRunChangesNothingInAnyGenerationMode) {
  const struct {
    int32_t varyMode;
    const char* folder;  // the working folder the plan names
  } cases[] = {{0, "T:\\Backup\\"},
               {1, "T:\\Backup\\A031499\\"},
               {2, "T:\\Backup\\Sunday\\"},
               {3, "T:\\Backup\\Even\\"},
               {4, "T:\\Backup\\Grandson\\"}};
  Write("S:\\Data\\new.txt", "new", kNew);
  Write("S:\\Data\\sub\\changed.txt", "changed, second edition", kNew);
  Write("U:\\run.log", "the log of an earlier run\r\n", kOld);
  for (const char* generation : {"Grandson", "Son", "Father"}) {
    Write(std::string("T:\\Backup\\") + generation + "\\sub\\changed.txt", generation, kOld);
  }
  Write("T:\\Backup\\sub\\changed.txt", "changed", kOld);
  job_.pathMode = 2;
  job_.midnight = 1;
  job_.confirmMode = 2;
  job_.orphanModeD2 = 2;
  platform_.freeSpace['T'] = 0;  // too little for the copies
  SetDryRun(TOLVEX_DRY_RUN_PLAN);
  const std::map<std::string, std::string> before = Snapshot();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.varyMode);
    job_.varyMode = c.varyMode;
    Channels() = ChannelRecorder();
    Recorder() = CallbackRecorder();
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(Snapshot(), before);
    EXPECT_TRUE(Notifications().empty());  // neither the midnight hint nor the space question
    EXPECT_EQ(ui_.overviewRuns, 0);
    ASSERT_EQ(Plan(TOLVEX_ITEM_GENERATION).size(), 1u);
    EXPECT_EQ(Plan(TOLVEX_ITEM_GENERATION)[0].from, c.folder);
    const std::vector<ChannelItem> space = Plan(TOLVEX_ITEM_SPACE);
    ASSERT_EQ(space.size(), 2u);  // the destination drive first, then the source drive
    EXPECT_EQ(space[0].drive, 'T');
    EXPECT_EQ(space[0].reason, TOLVEX_REASON_LACKS_SPACE) << space[0].number << " of " << space[0].limit;
    EXPECT_EQ(space[1].drive, 'S');
    EXPECT_EQ(End().kind, TOLVEX_ITEM_END);
  }
  // In mode 4 the plan names the renames as they would go and shows the
  // Father folder's content as the Grandson it would become.
  const std::vector<ChannelItem> renames = Plan(TOLVEX_ITEM_ROTATION);
  ASSERT_EQ(renames.size(), 4u);
  for (const ChannelItem& rename : renames) EXPECT_EQ(rename.error, 0u) << rename.Action();
  EXPECT_EQ(ChannelRecorder::Actions(Channels().plan),
            (Lines{"copy S:\\Data\\sub\\changed.txt -> T:\\Backup\\Grandson\\sub\\changed.txt",
                   "copy S:\\Data\\new.txt -> T:\\Backup\\Grandson\\new.txt"}));
  EXPECT_EQ(Plan(TOLVEX_ITEM_COPY)[0].counter_size, 6u);  // "Father" is what Grandson would hold
}

// In list mode the dry run lists every pair that needs nothing, and counts
// them in either mode.
TEST_F(PlanChannel, UnchangedPairsAreCountedAndListedOnlyWhenAsked) {
  Write("S:\\Data\\equal.txt", "same", kOld);
  Write("T:\\Backup\\Data\\equal.txt", "same", kOld);
  Write("S:\\Data\\older.txt", "old", kOld);
  Write("T:\\Backup\\Data\\older.txt", "newer in the backup", kNew);
  Write("S:\\Data\\new.txt", "new", kNew);
  for (const int32_t mode : {TOLVEX_DRY_RUN_PLAN, TOLVEX_DRY_RUN_LIST_ALL}) {
    SetDryRun(mode);
    Channels() = ChannelRecorder();
    EXPECT_EQ(Run(), 1);
    std::vector<std::string> listed;
    std::map<int32_t, int64_t> counted;
    for (const ChannelItem& item : Plan(TOLVEX_ITEM_UNCHANGED)) {
      if (item.from.empty()) {
        counted[item.reason] = item.number;
      } else {
        listed.push_back(item.from + " " + std::to_string(item.reason));
      }
    }
    EXPECT_EQ(counted, (std::map<int32_t, int64_t>{{TOLVEX_REASON_EQUAL, 1}, {TOLVEX_REASON_OLDER, 1}}));
    const Lines all = {"S:\\Data\\equal.txt " + std::to_string(TOLVEX_REASON_EQUAL),
                       "S:\\Data\\older.txt " + std::to_string(TOLVEX_REASON_OLDER)};
    EXPECT_EQ(listed, mode == TOLVEX_DRY_RUN_PLAN ? Lines() : all);
  }
}

// --- The erase guard ------------------------------------------------------------

TEST(EraseLimit, ASideIsOverWhenBothTheCountAndTheShareAreExceeded) {
  const struct {
    int32_t count;
    int32_t percent;
    uint64_t erasures;
    uint64_t present;
    bool over;
  } cases[] = {
      {10, 50, 11, 20, true},    // the default: more than 10 and more than half
      {10, 50, 10, 10, false},   // ten files are never too many
      {10, 50, 11, 22, false},   // half is not more than half
      {10, 50, 12, 22, true},
      {10, 50, 500, 10000, false},  // a big tree that loses a few
      {100, 0, 101, 100000, true},  // MaxErase = 100: a count alone
      {100, 0, 100, 100, false},
      {0, 20, 3, 10, true},      // MaxErase = 20%: a share alone
      {0, 20, 2, 10, false},
      {0, 0, 1, 1000, true},     // MaxErase = 0: any erasure
      {0, 0, 0, 1000, false},
      {-1, 0, 1000, 1000, false},  // none
  };
  for (const auto& c : cases) {
    TExtension extension;
    extension.eraseLimitCount = c.count;
    extension.eraseLimitPercent = c.percent;
    EXPECT_EQ(OverEraseLimit(extension, c.erasures, c.present), c.over)
        << c.count << " and " << c.percent << "%: " << c.erasures << " of " << c.present;
  }
}

// A source disk not mounted: one way with OrphanModeD2 erase, the whole
// backup is planned for erasure. The plan says so side by side, and the
// front end's answer stops the run before anything is erased or copied.
TEST_F(PlanChannel, TheGuardStopsTheUnmountedDiskCaseBeforeAnythingIsErased) {
  MakeBackupOfAnEmptySource();
  Write("S:\\Other\\keep.txt", "k", kNew);
  job_.orphanModeD2 = 2;
  job_.deleteDestDirs = 1;
  SetEraseLimit(10, 50);
  Channels().endAnswer = TOLVEX_PLAN_STOP;
  const std::map<std::string, std::string> before = Snapshot();

  EXPECT_EQ(Run(), 0);

  const std::vector<ChannelItem> sides = Plan(TOLVEX_ITEM_SIDE);
  ASSERT_EQ(sides.size(), 2u);
  EXPECT_EQ(sides[1].side, 1);
  EXPECT_EQ(sides[1].number, 20);
  EXPECT_EQ(sides[1].limit, 20);
  EXPECT_EQ(sides[1].reason, TOLVEX_REASON_ERASE_LIMIT);
  EXPECT_EQ(sides[0].reason, TOLVEX_REASON_NONE);
  EXPECT_EQ(End().reason, TOLVEX_REASON_ERASE_LIMIT);
  std::map<std::string, std::string> after = Snapshot();
  after.erase("U:\\run.log");
  EXPECT_EQ(after, before);
  EXPECT_TRUE(ChannelRecorder::Actions(Channels().outcomes).empty());
  EXPECT_EQ(LogBody(), (Lines{"Error: The plan erases more files than the erase limit allows; nothing was done."}));

  // The front end lets it through (--force): the same plan is carried out.
  Channels() = ChannelRecorder();
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(End().reason, TOLVEX_REASON_ERASE_LIMIT);
  EXPECT_EQ(Outcomes(TOLVEX_ITEM_ERASE).size(), 20u);
  EXPECT_FALSE(Exists("T:\\Backup\\Data\\file0.txt"));
}

// Asked per file, the run stops at the end of the plan before the first
// question; in mode 4 before the rotation too: the plan names the folder
// that would become Grandson, and every generation stays where it was.
TEST_F(PlanChannel, TheGuardComesBeforeTheFirstQuestionAndBeforeTheRotation) {
  drives_.MakeDirs("S:\\Data");
  for (int i = 0; i < 12; ++i) Write("T:\\Backup\\Father\\Data\\f" + std::to_string(i), "f", kOld);
  Write("T:\\Backup\\Grandson\\Data\\g", "g", kOld);
  job_.varyMode = 4;
  job_.confirmMode = 1;
  job_.orphanModeD2 = 2;
  SetEraseLimit(10, 50);
  Channels().endAnswer = TOLVEX_PLAN_STOP;

  EXPECT_EQ(Run(), 0);

  EXPECT_TRUE(Recorder().confirmations.empty());
  EXPECT_EQ(End().reason, TOLVEX_REASON_ERASE_LIMIT);
  EXPECT_EQ(ChannelRecorder::OfKind(Channels().plan, TOLVEX_ITEM_ERASE).front().from,
            "T:\\Backup\\Grandson\\Data\\f0");
  EXPECT_TRUE(Outcomes(TOLVEX_ITEM_ROTATION).empty());
  EXPECT_TRUE(Exists("T:\\Backup\\Father\\Data\\f0"));  // nothing renamed, nothing erased
  EXPECT_TRUE(Exists("T:\\Backup\\Grandson\\Data\\g"));
}

// With the overview, the plan goes to the front end as confirmed there. An
// overview that asked for the guard's warning line (the terminal overview
// does) and was confirmed with OK tells the front end so: OK there counts
// as --force; an overview that asked for nothing does not. (The Win32
// dialog asks the warning as a question: overview_dialog_warning_win32_test.)
TEST_F(PlanChannel, OkInAnOverviewThatShowedTheWarningLetsThePlanThrough) {
  MakeBackupOfAnEmptySource();
  job_.orphanModeD2 = 2;
  job_.confirmMode = 2;
  SetEraseLimit(10, 50);
  for (const bool shows_warning : {false, true}) {
    SCOPED_TRACE(shows_warning);
    std::string warning;
    ui_.onOverview = [&](tolvex::Plan&) {
      if (shows_warning) warning = ui_.ShowEraseWarning();
    };
    Channels() = ChannelRecorder();
    Channels().endAnswer = TOLVEX_PLAN_STOP;
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(End().reason, TOLVEX_REASON_ERASE_LIMIT);
    EXPECT_EQ(End().state, shows_warning ? TOLVEX_PLAN_CONFIRMED : 0u);
    if (shows_warning) {
      EXPECT_NE(warning.find("20 of 20 destination files"), std::string::npos) << warning;
    }
  }
  // Marked Ignore in the overview, the erasures are gone from the plan, and
  // so is the warning.
  ui_.onOverview = [this](tolvex::Plan& plan) {
    for (CANDIDATE& c : plan.candidates) c.state = ReplaceAction(c.state, STATE_IGNORE);
    EXPECT_EQ(ui_.ShowEraseWarning(), "");
  };
  Channels() = ChannelRecorder();
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(End().reason, TOLVEX_REASON_NONE);
}

// Both ways with OrphanModeB erase and the other side's disk not mounted:
// every file on this side older than the last run would go.
TEST_F(PlanChannel, TheGuardWeighsTheTwoWayCaseOnTheSourceSide) {
  for (int i = 0; i < 15; ++i) Write("S:\\Data\\f" + std::to_string(i), "f", kOld);
  drives_.MakeDirs("T:\\Backup\\Data");
  job_.touchMode = 1;
  job_.orphanModeB = 2;
  job_.lastUpdate = kNew;
  SetEraseLimit(10, 50);
  SetDryRun(TOLVEX_DRY_RUN_PLAN);
  EXPECT_EQ(Run(), 1);
  const std::vector<ChannelItem> sides = Plan(TOLVEX_ITEM_SIDE);
  ASSERT_EQ(sides.size(), 2u);
  EXPECT_EQ(sides[0].number, 15);
  EXPECT_EQ(sides[0].limit, 15);
  EXPECT_EQ(sides[0].reason, TOLVEX_REASON_ERASE_LIMIT);
  EXPECT_EQ(End().reason, TOLVEX_REASON_ERASE_LIMIT);
}

// --- Ctrl-C ---------------------------------------------------------------------

// The first CancelUpdate stops the run at its next check, as the search
// dialog's Cancel: the copy under way completes, the next is not tried, the
// log says "Aborted by user." and ends with its footer.
TEST_F(PlanChannel, TheFirstCancelLetsTheCopyUnderWayCompleteAndStops) {
  Write("S:\\Data\\a.txt", "a, new", kNew);
  Write("T:\\Backup\\Data\\a.txt", "a, old", kOld);
  Write("S:\\Data\\b.txt", "b", kNew);
  platform_.beforeCopy = [](int call, const std::string&, const std::string&) {
    if (call == 1) CancelUpdate();
  };
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(platform_.copies, 1);
  EXPECT_EQ(Read("T:\\Backup\\Data\\a.txt"), "a, new");
  EXPECT_FALSE(Exists("T:\\Backup\\Data\\b.txt"));
  EXPECT_EQ(LogBody(), (Lines{"File copied: S:\\Data\\a.txt", "to: T:\\Backup\\Data\\a.txt",
                              "Aborted by user."}));
  EXPECT_EQ(NativeNames("T:\\Backup\\Data\\"), (Lines{"a.txt"}));
  EXPECT_EQ(StopRequests(), 0);  // forgotten when the run returned
}

// The second stops the copy under way at once: its temporary file is
// removed, the target keeps what it held, nobody is asked about the failed
// copy, and the run ends.
TEST_F(PlanChannel, TheSecondCancelStopsTheCopyUnderWayAndLeavesTheTargetAsItWas) {
  Write("S:\\Data\\a.txt", std::string(3 << 20, 'n'), kNew);  // more than one chunk
  Write("T:\\Backup\\Data\\a.txt", "a, old", kOld);
  Write("S:\\Data\\b.txt", "b", kNew);
  job_.warnings = TOLVEX_WARN_ASK;
  platform_.beforeCopy = [](int call, const std::string&, const std::string&) {
    if (call != 1) return;
    CancelUpdate();
    CancelUpdate();
  };
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(Read("T:\\Backup\\Data\\a.txt"), "a, old");
  EXPECT_EQ(NativeNames("T:\\Backup\\Data\\"), (Lines{"a.txt"}));
  EXPECT_FALSE(Exists("T:\\Backup\\Data\\b.txt"));
  EXPECT_TRUE(Recorder().copyErrors.empty());
  EXPECT_EQ(LogBody(), (Lines{"Error at copying: S:\\Data\\a.txt", "to: T:\\Backup\\Data\\a.txt",
                              "Aborted by user."}));
  const std::vector<ChannelItem> copies = Outcomes(TOLVEX_ITEM_COPY);
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(copies[0].outcome, TOLVEX_OUTCOME_FAILED);
  EXPECT_EQ(copies[0].error, TOLVEX_ERROR_COPY_STOPPED);
}

// A Ctrl-C before the run began (between the job's hand-over and
// CallUpdate) stops it at its first check.
TEST_F(PlanChannel, ACancelBeforeTheRunStopsItAtItsFirstCheck) {
  Write("S:\\Data\\a.txt", "a", kNew);
  CancelUpdate();
  EXPECT_EQ(Run(), 0);
  EXPECT_FALSE(Exists("T:\\Backup\\Data\\a.txt"));
  EXPECT_EQ(LogBody(), (Lines{"Aborted by user."}));
}

// --- Outcomes the log does not tell ----------------------------------------------

// An erasure that fails is logged, and the outcome channel names it with
// its error; a copy that fails is reported, and the skip that follows says
// why.
TEST_F(PlanChannel, FailedErasuresAndCopiesReachTheFrontEnd) {
  Write("T:\\Backup\\Data\\gone.txt", "only in the backup", kOld);
  Write("S:\\Data\\a.txt", "a", kNew);
  job_.orphanModeD2 = 2;
  job_.warnings = TOLVEX_WARN_ASK;
  platform_.FailCall(CallKind::kRemoveFile, 1, kErrAccessDenied);
  platform_.FailCall(CallKind::kCopyOver, 1, kErrDiskFull);
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(LogBody(), (Lines{"Error at erasing: T:\\Backup\\Data\\gone.txt",
                              "Error at copying: S:\\Data\\a.txt", "to: T:\\Backup\\Data\\a.txt",
                              "File skipped: S:\\Data\\a.txt", "and: T:\\Backup\\Data\\a.txt"}));
  const std::vector<ChannelItem> erased = Outcomes(TOLVEX_ITEM_ERASE);
  ASSERT_EQ(erased.size(), 1u);
  EXPECT_EQ(erased[0].outcome, TOLVEX_OUTCOME_FAILED);
  EXPECT_EQ(erased[0].error, kErrAccessDenied);
  EXPECT_EQ(erased[0].from, "T:\\Backup\\Data\\gone.txt");
  const std::vector<ChannelItem> copies = Outcomes(TOLVEX_ITEM_COPY);
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(copies[0].error, kErrDiskFull);
  const std::vector<ChannelItem> skips = Outcomes(TOLVEX_ITEM_SKIP);
  ASSERT_EQ(skips.size(), 1u);
  EXPECT_EQ(skips[0].reason, TOLVEX_REASON_COPY_FAILED);
}

// --- What the scan found and left alone --------------------------------------------

// A folder that cannot be read was left out without a word: it is
// reported (log line and outcome), and its backup is not taken for orphans.
TEST_F(PlanChannel, AFolderThatCannotBeReadIsReportedAndItsBackupKept) {
  Write("S:\\Data\\open\\a.txt", "a", kNew);
  Write("S:\\Data\\locked\\b.txt", "b", kNew);
  Write("T:\\Backup\\Data\\locked\\b.txt", "the backup of b", kOld);
  job_.orphanModeD2 = 2;
  platform_.findError = [](const std::string& pattern) -> uint32_t {
    return pattern.rfind("S:\\Data\\locked\\", 0) == 0 ? uint32_t{kErrAccessDenied} : 0u;
  };
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(Read("T:\\Backup\\Data\\locked\\b.txt"), "the backup of b");
  EXPECT_EQ(LogLineWith("Unreadable folder"), "    Unreadable folder: S:\\Data\\locked\\");
  const std::vector<ChannelItem> found = Outcomes(TOLVEX_ITEM_FINDING);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].reason, TOLVEX_REPORT_UNREADABLE_FOLDER);
  EXPECT_EQ(Read("T:\\Backup\\Data\\open\\a.txt"), "a");
}

// A Grandfather left over from an interrupted run blocks the rotation: the
// run updates the Grandson that is there, and says why.
TEST_F(PlanChannel, ALeftoverGrandfatherIsReported) {
  Write("S:\\Data\\a.txt", "a", kNew);
  drives_.MakeDirs("T:\\Backup\\Grandfather");
  drives_.MakeDirs("T:\\Backup\\Father");
  job_.varyMode = 4;
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(LogLineWith("Rotation blocked"), "     Rotation blocked: T:\\Backup\\Grandfather");
  const std::vector<ChannelItem> found = Outcomes(TOLVEX_ITEM_FINDING);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].reason, TOLVEX_REPORT_ROTATION_BLOCKED);
}

#if !defined(_WIN32)
// A link to a folder is copied as a link: nothing behind it is entered,
// and nothing is reported.
TEST_F(PlanChannel, FolderLinksAreCopiedAsLinksAndNotFollowed) {
  Write("S:\\Data\\a.txt", "a", kNew);
  Write("S:\\Elsewhere\\secret.txt", "s", kNew);
  ASSERT_EQ(symlink(drives_.Native("S:\\Elsewhere").c_str(), drives_.Native("S:\\Data\\link").c_str()), 0);
  EXPECT_EQ(Run(), 1);
  struct stat st;
  ASSERT_EQ(lstat(drives_.Native("T:\\Backup\\Data\\link").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_FALSE(Exists("T:\\Backup\\Elsewhere"));
  EXPECT_EQ(LogLineWith("Link not followed"), "");
  EXPECT_NE(LogLineWith("S:\\Data\\link"), "");
}
#endif

}  // namespace
}  // namespace tolvex::runtest
