// The copy pass of an update run on real trees: the per-file confirmation,
// copy failures and the front end's answers, the Interrupt button, read-only
// targets, folder creation through MakeDirProc, the copy gauge, and what a
// failed copy leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "model/plan.h"
#include "model/records.h"
#include "tests/run_fixture.h"

namespace tolvex::runtest {
namespace {

using Lines = std::vector<std::string>;

const std::string kSourceA = "S:\\Data\\a.txt";
const std::string kTargetA = "T:\\Backup\\Data\\a.txt";
const std::string kSourceB = "S:\\Data\\Sub\\b.txt";
const std::string kTargetB = "T:\\Backup\\Data\\Sub\\b.txt";

// The log lines of a copied b.txt.
const Lines kBCopied = {"File copied: " + kSourceB, "to: " + kTargetB};

Lines Concat(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

class CopyPass : public RunTest {
 protected:
  // a.txt: a newer 7-byte file over an older 5-byte copy; b.txt: a new file
  // in a subfolder that the destination lacks. By name, a comes first.
  void WriteTwoCandidates() {
    Write(kSourceA, "new a!!", kNew);
    Write(kTargetA, "old a", kOld);
    Write(kSourceB, "b", kNew);
    std::filesystem::remove_all(drives_.Native("T:\\Backup\\Data\\Sub"));
  }
};

// --- ConfirmProc ----------------------------------------------------------------

TEST_F(CopyPass, ConfirmProcAnswersDecideEachFile) {
  struct Case {
    int answer;
    size_t questions;
    int result;
    Lines body;
    std::string sourceA;  // "" when erased
    std::string targetA;
    bool bCopied;
  };
  const Lines copied_a = {"File copied: " + kSourceA, "to: " + kTargetA};
  const Lines skipped_a = {"File skipped: " + kSourceA, "and: " + kTargetA};
  const Case cases[] = {
      {10, 2, 1, Concat({copied_a, kBCopied}), "new a!!", "new a!!", true},
      {20, 2, 1, Concat({skipped_a, kBCopied}), "new a!!", "old a", true},
      {30, 2, 1, Concat({{"File erased: " + kSourceA, "File erased: " + kTargetA}, kBCopied}), "",
       "", true},
      {40, 2, 1, Concat({{"File copied: " + kTargetA, "to: " + kSourceA}, kBCopied}), "old a",
       "old a", true},
      {60, 2, 1, Concat({skipped_a, kBCopied}), "new a!!", "old a", true},
      {70, 1, 1, Concat({copied_a, kBCopied}), "new a!!", "new a!!", true},
      {80, 1, 0, {"Aborted by user."}, "new a!!", "old a", false},
      {99, 2, 1, Concat({copied_a, kBCopied}), "new a!!", "new a!!", true},
  };
  // The same with copies staged: each question comes when every earlier
  // copy is in place, as when each copy is made at once.
  for (const Case& c : cases) {
    std::vector<int> copies_at_questions[2];
    for (const bool staged : {false, true}) {
      SCOPED_TRACE(c.answer);
      SCOPED_TRACE(staged ? "staged" : "at once");
      Recorder() = CallbackRecorder();
      Recorder().confirmAnswers.Push({c.answer});  // then 10 for b
      Recorder().onQuestion = [&] { copies_at_questions[staged].push_back(platform_.copies); };
      WriteTwoCandidates();
      job_.confirmMode = 1;
      job_.orphanModeD2 = 2;  // an erase pass would be visible: there is none
      platform_.stageCopies = staged;
      platform_.copies = 0;

      EXPECT_EQ(Run(), c.result);

      EXPECT_EQ(Recorder().confirmations.size(), c.questions);
      EXPECT_EQ(LogBody(), c.body);
      EXPECT_EQ(Read(kSourceA), c.sourceA);
      EXPECT_EQ(Read(kTargetA), c.targetA);
      EXPECT_EQ(Exists(kTargetB), c.bCopied);
      EXPECT_EQ(ui_.searchDialogs.size(), 1u) << "no erase pass with ConfirmMode 1";
      ui_.searchDialogs.clear();
    }
    EXPECT_EQ(copies_at_questions[1], copies_at_questions[0]) << c.answer;
  }
}

TEST_F(CopyPass, ConfirmProcIsToldBothSidesAndTheState) {
  WriteTwoCandidates();
  job_.confirmMode = 1;
  Recorder().confirmAnswers.SetFallback(0);

  ASSERT_EQ(Run(), 1);

  const std::vector<FileQuestion>& asked = Recorder().confirmations;
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].path, kSourceA);
  EXPECT_EQ(asked[0].counterPath, kTargetA);
  EXPECT_EQ(asked[0].size, 7u);
  EXPECT_EQ(asked[0].counterSize, 5u);
  EXPECT_EQ(asked[0].stamp, kNew);
  EXPECT_EQ(asked[0].counterStamp, kOld);
  EXPECT_EQ(asked[0].value, uint32_t{STATE_NORMAL});
  EXPECT_EQ(asked[1].path, kSourceB);
  EXPECT_EQ(asked[1].counterPath, kTargetB);
  EXPECT_EQ(asked[1].counterSize, 0u);
  EXPECT_EQ(asked[1].counterStamp, 0u);
  EXPECT_EQ(asked[1].value, uint32_t{STATE_NORMAL | STATE_BAND});  // the second group
}

TEST_F(CopyPass, InvertedCopyLogsTheSwappedSides) {
  WriteTwoCandidates();
  job_.confirmMode = 1;
  Recorder().confirmAnswers.Push({40});

  ASSERT_EQ(Run(), 1);

  EXPECT_EQ(LogLineWith("File copied: T:"),
            "          File copied: T:\\Backup\\Data\\a.txt" + std::string(35, ' ') +
                "           5   03.10.99 17:05:12");
  EXPECT_EQ(LogLineWith("to: S:"), "                   to: S:\\Data\\a.txt" + std::string(42, ' ') +
                                       "           7   03.14.99 10:22:40");
  uint32_t stamp = 0;
  ASSERT_EQ(Sys().GetLastWriteStamp(kSourceA, &stamp), kErrOk);
  EXPECT_EQ(stamp, kOld);
}

TEST_F(CopyPass, FailedInvertedCopyIsReportedWithSwappedPathsAndUnswappedNumbers) {
  WriteTwoCandidates();
  job_.confirmMode = 1;
  job_.warnings = 0x40;
  Recorder().confirmAnswers.Push({40});
  platform_.FailCall(CallKind::kCopyOver, 1, kErrSharingViolation);

  ASSERT_EQ(Run(), 1);

  ASSERT_EQ(Recorder().copyErrors.size(), 1u);
  const FileQuestion& asked = Recorder().copyErrors[0];
  EXPECT_EQ(asked.path, kTargetA);
  EXPECT_EQ(asked.counterPath, kSourceA);
  EXPECT_EQ(asked.size, 7u);
  EXPECT_EQ(asked.counterSize, 5u);
  EXPECT_EQ(asked.stamp, kNew);
  EXPECT_EQ(asked.counterStamp, kOld);
  EXPECT_EQ(asked.value, uint32_t{kErrSharingViolation});
  // The confirmed answer is not asked again when the file comes round again.
  EXPECT_EQ(Recorder().confirmations.size(), 2u);
  EXPECT_EQ(LogBody(), Concat({{"Error at copying: " + kTargetA, "to: " + kSourceA,
                                "File skipped: " + kSourceA, "and: " + kTargetA},
                               kBCopied}));
  EXPECT_EQ(Read(kSourceA), "new a!!");
}

TEST_F(CopyPass, ConfirmAnswer60IgnoresTheWholeGroupOfTheFile) {
  // By folder: S:\Data\ holds a.txt and c.txt (in the file system's order),
  // S:\Data\Sub\ holds b.txt.
  WriteTwoCandidates();
  Write("S:\\Data\\c.txt", "c", kNew);
  job_.sortMode = 0;
  job_.confirmMode = 1;
  Recorder().confirmAnswers.Push({60});

  ASSERT_EQ(Run(), 1);

  const std::vector<FileQuestion>& asked = Recorder().confirmations;
  ASSERT_EQ(asked.size(), 2u);  // once for the first group, once for b
  EXPECT_EQ(asked[1].path, kSourceB);
  const Lines body = LogBody();
  ASSERT_EQ(body.size(), 6u);
  EXPECT_EQ(Lines(body.begin() + 4, body.end()), kBCopied);
  for (const char* name : {"a.txt", "c.txt"}) {
    EXPECT_NE(std::find(body.begin(), body.end(), "File skipped: S:\\Data\\" + std::string(name)),
              body.end())
        << name;
  }
  EXPECT_EQ(Read(kTargetA), "old a");
  EXPECT_FALSE(Exists("T:\\Backup\\Data\\c.txt"));
}

TEST_F(CopyPass, SkippingTheGroupSkipsTheFileEvenWithoutGroups) {
  // An unknown sort mode leaves the plan unordered and builds no group. The
  // answers that skip "the group of this file" must still skip the file.
  struct Case {
    const char* what;
    int confirmMode;
    int confirmAnswer;
    int copyErrorAnswer;
    Lines body;
  };
  const Lines skipped_a = {"File skipped: " + kSourceA, "and: " + kTargetA};
  const Lines error_a = {"Error at copying: " + kSourceA, "to: " + kTargetA};
  const Case cases[] = {
      {"ConfirmProc 60", 1, 60, 20, skipped_a},
      {"CopyErrorProc 30", 0, 10, 30, Concat({error_a, skipped_a})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Recorder() = CallbackRecorder();
    Write(kSourceA, "new a!!", kNew);
    Write(kTargetA, "old a", kOld);
    job_.sortMode = 7;
    job_.confirmMode = c.confirmMode;
    job_.warnings = 0x40;
    Recorder().confirmAnswers.Push({c.confirmAnswer});
    Recorder().copyErrorAnswers.Push({c.copyErrorAnswer});
    platform_.Reset();
    platform_.FailCall(CallKind::kCopyOver, 1, kErrSharingViolation,
                       FaultInjectingPlatform::Repeat::kFromThenOn);

    EXPECT_EQ(Run(), 1);

    EXPECT_EQ(LogBody(), c.body);
    EXPECT_EQ(Read(kTargetA), "old a");
  }
}

TEST_F(CopyPass, EraseCandidatesWaitForTheirTurnWhenEveryFileIsConfirmed) {
  // a.txt is copied, x.txt exists only on the destination side and is to be
  // erased. With an erase pass it goes first; with ConfirmMode 1 it is erased
  // in list order during the copy pass.
  struct Case {
    int confirmMode;
    Lines body;
    size_t searchDialogs;
  };
  const Case cases[] = {
      {0, {"File erased: T:\\Backup\\Data\\x.txt", "File copied: " + kSourceA, "to: " + kTargetA}, 2},
      {1, {"File copied: " + kSourceA, "to: " + kTargetA, "File erased: T:\\Backup\\Data\\x.txt"}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.confirmMode);
    Recorder() = CallbackRecorder();
    Recorder().confirmAnswers.SetFallback(0);  // no change
    ui_.searchDialogs.clear();
    Write(kSourceA, "new a!!", kNew);
    Write(kTargetA, "old a", kOld);
    Write("T:\\Backup\\Data\\x.txt", "x", kOld);
    job_.confirmMode = c.confirmMode;
    job_.orphanModeD2 = 2;

    ASSERT_EQ(Run(), 1);

    EXPECT_EQ(LogBody(), c.body);
    EXPECT_FALSE(Exists("T:\\Backup\\Data\\x.txt"));
    EXPECT_EQ(Read(kTargetA), "new a!!");
    EXPECT_EQ(ui_.searchDialogs.size(), c.searchDialogs);
    if (c.confirmMode == 1) {
      ASSERT_EQ(Recorder().confirmations.size(), 2u);
      EXPECT_EQ(Recorder().confirmations[1].value,
                uint32_t{STATE_ERASE | STATE_DEST_SIDE | STATE_BAND});
    }
  }
}

// --- CopyErrorProc -----------------------------------------------------------------

TEST_F(CopyPass, CopyErrorProcAnswersDecideAfterAFailedCopy) {
  struct Case {
    int answer;
    int result;
    Lines body;
    std::string sourceA;
    std::string targetA;
    bool bCopied;
    Lines madeFolders;
  };
  const Lines error_a = {"Error at copying: " + kSourceA, "to: " + kTargetA};
  const Lines copied_a = {"File copied: " + kSourceA, "to: " + kTargetA};
  const Lines skipped_a = {"File skipped: " + kSourceA, "and: " + kTargetA};
  const std::string data = "T:\\Backup\\Data\\";
  const std::string sub = "T:\\Backup\\Data\\Sub\\";
  const Case cases[] = {
      // Retry: the folder is offered again, then the copy succeeds.
      {10, 1, Concat({error_a, copied_a, kBCopied}), "new a!!", "new a!!", true, {data, data, sub}},
      {20, 1, Concat({error_a, skipped_a, kBCopied}), "new a!!", "old a", true, {data, sub}},
      {30, 1, Concat({error_a, skipped_a, kBCopied}), "new a!!", "old a", true, {data, sub}},
      {40, 1,
       Concat({error_a, {"File erased: " + kSourceA, "File erased: " + kTargetA}, kBCopied}), "",
       "", true, {data, sub}},
      {50, 0, {"Aborted by user."}, "new a!!", "old a", false, {data}},
      {0, 1, Concat({error_a, copied_a, kBCopied}), "new a!!", "new a!!", true, {data, data, sub}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    Recorder() = CallbackRecorder();
    Recorder().copyErrorAnswers.Push({c.answer});
    WriteTwoCandidates();
    job_.warnings = 0x40;
    platform_.Reset();
    platform_.FailCall(CallKind::kCopyOver, 1, kErrDiskFull);

    EXPECT_EQ(Run(), c.result);

    ASSERT_EQ(Recorder().copyErrors.size(), 1u);
    const FileQuestion& asked = Recorder().copyErrors[0];
    EXPECT_EQ(asked.path, kSourceA);
    EXPECT_EQ(asked.counterPath, kTargetA);
    EXPECT_EQ(asked.size, 7u);
    EXPECT_EQ(asked.counterSize, 5u);
    EXPECT_EQ(asked.stamp, kNew);
    EXPECT_EQ(asked.counterStamp, kOld);
    EXPECT_EQ(asked.value, uint32_t{kErrDiskFull});
    EXPECT_EQ(LogBody(), c.body);
    EXPECT_EQ(Read(kSourceA), c.sourceA);
    EXPECT_EQ(Read(kTargetA), c.targetA);
    EXPECT_EQ(Exists(kTargetB), c.bCopied);
    EXPECT_EQ(Recorder().madeFolders, c.madeFolders);
    EXPECT_TRUE(platform_.beeps.empty());
  }
}

TEST_F(CopyPass, WarningBitsChooseBeepAndQuestion) {
  struct Case {
    int warnings;
    size_t questions;
    std::vector<uint32_t> beeps;
    Lines body;
  };
  const Lines error_a = {"Error at copying: " + kSourceA, "to: " + kTargetA};
  const Lines skipped_a = {"File skipped: " + kSourceA, "and: " + kTargetA};
  const Case cases[] = {
      {0x00, 0, {}, Concat({error_a, kBCopied})},
      {0x80, 0, {0x30}, Concat({error_a, kBCopied})},
      {0x40, 1, {}, Concat({error_a, skipped_a, kBCopied})},
      {0xC0, 1, {0x30}, Concat({error_a, skipped_a, kBCopied})},
      {0x3F, 0, {}, Concat({error_a, kBCopied})},  // other bits do nothing
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.warnings);
    Recorder() = CallbackRecorder();
    WriteTwoCandidates();
    job_.warnings = c.warnings;
    platform_.Reset();
    platform_.beeps.clear();
    platform_.FailCall(CallKind::kCopyOver, 1, kErrSharingViolation);

    EXPECT_EQ(Run(), 1);

    EXPECT_EQ(Recorder().copyErrors.size(), c.questions);
    EXPECT_EQ(platform_.beeps, c.beeps);
    EXPECT_EQ(LogBody(), c.body);
    EXPECT_EQ(Read(kTargetA), "old a");
    EXPECT_TRUE(Exists(kTargetB));
  }
}

// --- Interrupt -----------------------------------------------------------------------

TEST_F(CopyPass, InterruptStopsTheNextCopyAndAsksEvenWithoutTheWarningBit) {
  // By name: a.txt (copied; Interrupt is pressed while it is being copied),
  // m.txt (only on the destination side, ignored: it never reaches a copy),
  // z.txt (the next copy: interrupted).
  struct Case {
    int answer;
    int result;
    Lines tail;  // the log after a and m
    int copies;
    bool zCopied;
    int interruptsEnabled;
  };
  const std::string z = "S:\\Data\\z.txt";
  const std::string z_target = "T:\\Backup\\Data\\z.txt";
  const Lines error_z = {"Error at copying: " + z, "to: " + z_target};
  const Case cases[] = {
      {20, 1, Concat({error_z, {"File skipped: " + z, "and: " + z_target}}), 1, false, 1},
      {10, 1, Concat({error_z, {"File copied: " + z, "to: " + z_target}}), 2, true, 1},
      {50, 0, {"Aborted by user."}, 1, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    Recorder() = CallbackRecorder();
    Recorder().copyErrorAnswers.Push({c.answer});
    ui_.copyDialogs.clear();
    std::filesystem::remove_all(drives_.Native("T:\\Backup"));
    Write(kSourceA, "a", kNew);
    Write("T:\\Backup\\Data\\m.txt", "m", kOld);
    Write(z, "z", kNew);
    platform_.copies = 0;
    platform_.beforeCopy = [this](int call, const std::string&, const std::string&) {
      if (call == 1) platform_.PostClick([this] { ui_.runPlan->InterruptRequest = true; });
    };

    EXPECT_EQ(Run(), c.result);

    ASSERT_EQ(Recorder().copyErrors.size(), 1u);
    EXPECT_EQ(Recorder().copyErrors[0].path, z);
    EXPECT_EQ(Recorder().copyErrors[0].value, kInterrupted);
    EXPECT_EQ(LogBody(), Concat({{"File copied: " + kSourceA, "to: " + kTargetA,
                                  "File skipped: T:\\Backup\\Data\\m.txt", "and: S:\\Data\\m.txt"},
                                 c.tail}));
    EXPECT_EQ(platform_.copies, c.copies);
    EXPECT_EQ(Exists(z_target), c.zCopied);
    ASSERT_EQ(ui_.copyDialogs.size(), 1u);
    EXPECT_EQ(ui_.copyDialogs[0].interruptsEnabled, c.interruptsEnabled);
  }
}

TEST_F(CopyPass, InterruptPressedBeforeTheFirstCopy) {
  WriteTwoCandidates();
  ui_.interruptAtCopyRow = 1;
  Recorder().copyErrorAnswers.Push({20});

  EXPECT_EQ(Run(), 1);

  ASSERT_EQ(Recorder().copyErrors.size(), 1u);
  EXPECT_EQ(Recorder().copyErrors[0].path, kSourceA);
  EXPECT_EQ(Recorder().copyErrors[0].value, kInterrupted);
  EXPECT_EQ(LogBody(), Concat({{"Error at copying: " + kSourceA, "to: " + kTargetA,
                                "File skipped: " + kSourceA, "and: " + kTargetA},
                               kBCopied}));
  EXPECT_EQ(Read(kTargetA), "old a");
}

// --- Read-only targets ---------------------------------------------------------------

TEST_F(CopyPass, ReadOnlyTargetIsReplacedOnlyWithTheAttributeSwitch) {
  struct Case {
    int attributes;
    std::string target;
    size_t questions;
    bool stillReadOnly;
  };
  const Case cases[] = {
      {0x01, "new a!!", 0, false},
      {0x00, "old a", 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attributes);
    Recorder() = CallbackRecorder();
    Write(kSourceA, "new a!!", kNew);
    Sys().SetAttributes(kTargetA, 0);
    Write(kTargetA, "old a", kOld);
    ASSERT_EQ(Sys().SetAttributes(kTargetA, kAttrReadOnly), kErrOk);
    job_.attributes = c.attributes;
    job_.warnings = 0x40;

    EXPECT_EQ(Run(), 1);

    EXPECT_EQ(Read(kTargetA), c.target);
    ASSERT_EQ(Recorder().copyErrors.size(), c.questions);
    if (c.questions != 0) {
      EXPECT_EQ(Recorder().copyErrors[0].value, uint32_t{kErrAccessDenied});
      EXPECT_EQ(LogBody(), (Lines{"Error at copying: " + kSourceA, "to: " + kTargetA,
                                  "File skipped: " + kSourceA, "and: " + kTargetA}));
    } else {
      EXPECT_EQ(LogBody(), (Lines{"File copied: " + kSourceA, "to: " + kTargetA}));
    }
    uint32_t attributes = 0;
    ASSERT_EQ(Sys().GetAttributes(kTargetA, &attributes), kErrOk);
    EXPECT_EQ((attributes & kAttrReadOnly) != 0, c.stillReadOnly);
  }
}

// --- MakeDirProc ---------------------------------------------------------------------

TEST_F(CopyPass, MakeDirProcIsCalledOnlyForTheSidesThatMayGrowFolders) {
  // Both ways: a.txt goes into T:\Backup\Data\ (present), d.txt from
  // T:\Backup\Data\New\ into S:\Data\New\ (missing).
  struct Case {
    int createDestDirs;
    int createSrcDirs;
    Lines madeFolders;
    bool dCopied;
  };
  const std::string d_target = "S:\\Data\\New\\d.txt";
  const Case cases[] = {
      {1, 0, {"T:\\Backup\\Data\\"}, false},
      {0, 1, {"S:\\Data\\New\\"}, true},
      {1, 1, {"T:\\Backup\\Data\\", "S:\\Data\\New\\"}, true},
      {0, 0, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.createDestDirs << c.createSrcDirs);
    Recorder() = CallbackRecorder();
    std::filesystem::remove_all(drives_.Native("S:\\Data"));
    std::filesystem::remove_all(drives_.Native("T:\\Backup"));
    Write(kSourceA, "a", kNew);
    Write("T:\\Backup\\Data\\New\\d.txt", "d", kNew);
    job_.touchMode = 1;
    job_.createDestDirs = c.createDestDirs;
    job_.createSrcDirs = c.createSrcDirs;

    EXPECT_EQ(Run(), 1);

    EXPECT_EQ(Recorder().madeFolders, c.madeFolders);
    EXPECT_EQ(Read(kTargetA), "a");
    EXPECT_EQ(Read(d_target), c.dCopied ? "d" : "");
    const std::string d_line = c.dCopied ? "File copied: T:\\Backup\\Data\\New\\d.txt"
                                         : "Error at copying: T:\\Backup\\Data\\New\\d.txt";
    const Lines body = LogBody();
    EXPECT_NE(std::find(body.begin(), body.end(), d_line), body.end());
  }
}

TEST_F(CopyPass, MakeDirProcIsCalledWhenTheTargetFolderChanges) {
  struct Case {
    int sortMode;
    Lines madeFolders;
  };
  const std::string data = "T:\\Backup\\Data\\";
  const std::string sub = "T:\\Backup\\Data\\Sub\\";
  const Case cases[] = {
      {0, {data, sub}},       // by folder: a and c, then b
      {1, {data, sub, data}},  // by name: a, b, c
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sortMode);
    Recorder() = CallbackRecorder();
    std::filesystem::remove_all(drives_.Native("T:\\Backup"));
    Write(kSourceA, "a", kNew);
    Write(kSourceB, "b", kNew);
    Write("S:\\Data\\c.txt", "c", kNew);
    job_.sortMode = c.sortMode;

    EXPECT_EQ(Run(), 1);

    EXPECT_EQ(Recorder().madeFolders, c.madeFolders);
    EXPECT_EQ(Read(kTargetA), "a");
    EXPECT_EQ(Read(kTargetB), "b");
    EXPECT_EQ(Read("T:\\Backup\\Data\\c.txt"), "c");
  }
}

// --- Copy gauge ----------------------------------------------------------------------

TEST_F(CopyPass, CopyGaugeFollowsTheCopiedBytes) {
  struct Case {
    const char* what;
    std::string contentA;
    std::string contentB;
    std::vector<int> positions;
  };
  const Case cases[] = {
      {"100 and 300 bytes", std::string(100, 'a'), std::string(300, 'b'), {0, 25, 100}},
      {"only empty files: no total", "", "", {0, -1, -1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ui_.copyDialogs.clear();
    std::filesystem::remove_all(drives_.Native("T:\\Backup"));
    Write(kSourceA, c.contentA, kNew);
    Write("S:\\Data\\b.txt", c.contentB, kNew);

    EXPECT_EQ(Run(), 1);

    ASSERT_EQ(ui_.copyDialogs.size(), 1u);
    EXPECT_EQ(ui_.copyDialogs[0].caption, "Tolvex 3.0 - Job.tvx");
    EXPECT_EQ(ui_.copyDialogs[0].gaugePositions, c.positions);
    EXPECT_EQ(ui_.copyDialogs[0].copyRows, (Lines{kSourceA, "S:\\Data\\b.txt"}));
    EXPECT_EQ(ui_.copyDialogs[0].toRows, (Lines{kTargetA, "T:\\Backup\\Data\\b.txt"}));
    EXPECT_TRUE(Exists("T:\\Backup\\Data\\b.txt"));
  }
}

// --- A failed copy keeps the old target ------------------------------------------------

TEST_F(CopyPass, FailedCopyLeavesTheOldTargetWhole) {
  struct Case {
    const char* what;
    bool injectFault;
    bool removeSource;
    uint32_t error;
  };
  const Case cases[] = {
      {"disk full", true, false, kErrDiskFull},
      {"source gone before its copy", false, true, kErrFileNotFound},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Recorder() = CallbackRecorder();
    Write(kSourceA, std::string(4096, 'n'), kNew);
    Write(kTargetA, "old a", kOld);
    job_.warnings = 0x40;
    platform_.Reset();
    if (c.injectFault) platform_.FailCall(CallKind::kCopyOver, 1, kErrDiskFull);
    platform_.beforeCopy = [&](int, const std::string& from, const std::string&) {
      if (c.removeSource) std::filesystem::remove(drives_.Native(from));
    };

    EXPECT_EQ(Run(), 1);

    ASSERT_EQ(Recorder().copyErrors.size(), 1u);
    EXPECT_EQ(Recorder().copyErrors[0].value, c.error);
    EXPECT_EQ(Read(kTargetA), "old a");
    uint32_t stamp = 0;
    ASSERT_EQ(Sys().GetLastWriteStamp(kTargetA, &stamp), kErrOk);
    EXPECT_EQ(stamp, kOld);
    EXPECT_EQ(NativeNames("T:\\Backup\\Data\\"), Lines{"a.txt"}) << "no temporary file is left";
    EXPECT_EQ(LogBody(), (Lines{"Error at copying: " + kSourceA, "to: " + kTargetA,
                                "File skipped: " + kSourceA, "and: " + kTargetA}));
    platform_.beforeCopy = nullptr;
  }
}

// --- Staged copies ----------------------------------------------------------------------
//
// A platform that stages copies puts them in place together, after the
// pass has gone on to later files. RunPlatform::stageCopies stages them the
// hardest way for the run: every copy, its faults included, happens only
// when the staged copies are completed.

// The lines and the gauge follow the plan, skipped files between copies
// included, and a copy counts only once it is in place.
TEST_F(CopyPass, StagedCopiesAreLoggedInPlanOrderOnceInPlace) {
  const std::string z = "S:\\Data\\z.txt";
  Write(kSourceA, "a", kNew);
  Write("T:\\Backup\\Data\\m.txt", "m", kOld);  // only in the destination: skipped
  Write(z, "z", kNew);
  platform_.stageCopies = true;
  std::vector<std::string> gauge_at_copies;
  platform_.beforeCopy = [&](int, const std::string& from, const std::string&) {
    gauge_at_copies.push_back(from + " " + std::to_string(ui_.copyDialogs[0].gaugePositions.size()));
  };

  EXPECT_EQ(Run(), 1);

  EXPECT_EQ(LogBody(), (Lines{"File copied: " + kSourceA, "to: " + kTargetA,
                              "File skipped: T:\\Backup\\Data\\m.txt", "and: S:\\Data\\m.txt",
                              "File copied: " + z, "to: T:\\Backup\\Data\\z.txt"}));
  EXPECT_EQ(platform_.completions, 1) << "both copies were put in place together";
  // Both copies were made after the pass had shown both files, and the
  // gauge moved only then.
  EXPECT_EQ(gauge_at_copies, (Lines{kSourceA + " 1", z + " 1"}));
  EXPECT_EQ(ui_.copyDialogs[0].copyRows, (Lines{kSourceA, z}));
  EXPECT_EQ(ui_.copyDialogs[0].gaugePositions, (std::vector<int>{0, 50, 100}));
  EXPECT_EQ(Read("T:\\Backup\\Data\\z.txt"), "z");
}

// A copy that fails when the staged copies are put in place reaches
// CopyErrorProc before any later file is copied; the later staged copies
// are dropped and made after the answer, as the answer says.
TEST_F(CopyPass, AStagedCopyThatFailsIsAnsweredBeforeAnyLaterFileIsCopied) {
  struct Case {
    int answer;
    int result;
    Lines body;
    Lines copies;  // the targets of the copies made, in order
    std::string targetA;
  };
  const Lines error_a = {"Error at copying: " + kSourceA, "to: " + kTargetA};
  const Lines copied_a = {"File copied: " + kSourceA, "to: " + kTargetA};
  const Lines skipped_a = {"File skipped: " + kSourceA, "and: " + kTargetA};
  const Case cases[] = {
      {10, 1, Concat({error_a, copied_a, kBCopied}), {kTargetA, kTargetA, kTargetB}, "new a!!"},
      {20, 1, Concat({error_a, skipped_a, kBCopied}), {kTargetA, kTargetB}, "old a"},
      {50, 0, {"Aborted by user."}, {kTargetA}, "old a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    Recorder() = CallbackRecorder();
    Recorder().copyErrorAnswers.Push({c.answer});
    WriteTwoCandidates();
    job_.warnings = 0x40;
    platform_.Reset();
    platform_.FailCall(CallKind::kCopyOver, 1, kErrDiskFull);
    platform_.stageCopies = true;
    platform_.completions = 0;
    Lines copies;
    platform_.beforeCopy = [&](int, const std::string&, const std::string& to) {
      copies.push_back(to);
    };
    bool b_in_place_when_asked = true;
    Recorder().onQuestion = [&] { b_in_place_when_asked = Exists(kTargetB); };

    EXPECT_EQ(Run(), c.result);

    ASSERT_EQ(Recorder().copyErrors.size(), 1u);
    EXPECT_EQ(Recorder().copyErrors[0].path, kSourceA);
    EXPECT_EQ(Recorder().copyErrors[0].value, uint32_t{kErrDiskFull});
    EXPECT_FALSE(b_in_place_when_asked);
    EXPECT_EQ(copies, c.copies);
    EXPECT_EQ(LogBody(), c.body);
    EXPECT_EQ(Read(kTargetA), c.targetA);
    EXPECT_EQ(Exists(kTargetB), c.answer != 50);
    platform_.beforeCopy = nullptr;
  }
}

// Interrupt: the staged copies under way are completed, the next copy is
// not tried and becomes a question.
TEST_F(CopyPass, InterruptCompletesTheStagedCopiesAndStopsTheNext) {
  WriteTwoCandidates();
  platform_.stageCopies = true;
  ui_.interruptAtCopyRow = 2;  // while b is shown, a being staged
  Recorder().copyErrorAnswers.Push({20});
  int copies_when_asked = -1;
  Recorder().onQuestion = [&] { copies_when_asked = platform_.copies; };

  EXPECT_EQ(Run(), 1);

  ASSERT_EQ(Recorder().copyErrors.size(), 1u);
  EXPECT_EQ(Recorder().copyErrors[0].path, kSourceB);
  EXPECT_EQ(Recorder().copyErrors[0].value, kInterrupted);
  EXPECT_EQ(copies_when_asked, 1) << "a was in place before b's question";
  EXPECT_EQ(LogBody(), Concat({{"File copied: " + kSourceA, "to: " + kTargetA},
                               {"Error at copying: " + kSourceB, "to: " + kTargetB,
                                "File skipped: " + kSourceB, "and: " + kTargetB}}));
  EXPECT_EQ(Read(kTargetA), "new a!!");
  EXPECT_FALSE(Exists(kTargetB));
}

}  // namespace
}  // namespace tolvex::runtest
