#include "frontend/answers.h"
#include "frontend/exit_status.h"
#include "frontend/run_job.h"

#include <climits>
#include <cstdint>
#include <sstream>

#include <gtest/gtest.h>

#include "frontend/error_text.h"
#include "platform/platform.h"
#include "testing/test_drives.h"

namespace tolvex::frontend {
namespace {

// Keys typed in advance; the end of the script is the end of the input.
class ScriptedKeys final : public KeyInput {
 public:
  explicit ScriptedKeys(std::string keys) : keys_(std::move(keys)) {}
  char ReadKey() override { return next_ < keys_.size() ? keys_[next_++] : 0; }
  size_t used() const { return next_; }

 private:
  std::string keys_;
  size_t next_ = 0;
};

constexpr int kYes = 6;
constexpr uint32_t kStamp = (46u << 25) | (12u << 21) | (9u << 16) | (14u << 11);

struct Harness {
  explicit Harness(AnswerMode mode, std::string keys = "", bool silent = false)
      : keys(std::move(keys)), answers(mode, drives, silent, out, &this->keys) {}
  DriveMap drives;
  std::ostringstream out;
  ScriptedKeys keys;
  Answers answers;
};

TEST(NotifyAnswers, FixedAnswersNeverRunShortOfSpaceUnlessToldYes) {
  struct Case {
    AnswerMode mode;
    int code;
    int answer;
    bool refused;
  } cases[] = {
      {AnswerMode::kYes, TOLVEX_NOTIFY_LACKS_SPACE, kYes, false},
      {AnswerMode::kNo, TOLVEX_NOTIFY_LACKS_SPACE, TOLVEX_NOTIFY_NO, true},
      {AnswerMode::kNoTerminal, TOLVEX_NOTIFY_LACKS_SPACE, TOLVEX_NOTIFY_NO, true},
      {AnswerMode::kYes, TOLVEX_NOTIFY_MIDNIGHT, kYes, false},
      {AnswerMode::kNo, TOLVEX_NOTIFY_MIDNIGHT, TOLVEX_NOTIFY_NO, false},
      {AnswerMode::kNoTerminal, TOLVEX_NOTIFY_MIDNIGHT, kYes, false},
  };
  for (const Case& c : cases) {
    Harness h(c.mode);
    EXPECT_EQ(h.answers.Notify(c.code, c.code == TOLVEX_NOTIFY_LACKS_SPACE ? 'D' : 0, 1572864), c.answer)
        << c.code << " in mode " << static_cast<int>(c.mode);
    EXPECT_EQ(h.answers.outcome().space_refused, c.refused);
    EXPECT_EQ(h.keys.used(), 0u);  // nobody was asked
  }
}

TEST(NotifyAnswers, TellsEachCheckAndMarksTheRunAsEndedByIt) {
  for (int code : {TOLVEX_NOTIFY_NO_SELECTIONS, TOLVEX_NOTIFY_IDENTICAL, TOLVEX_NOTIFY_DRIVE_NOT_FOUND,
                   TOLVEX_NOTIFY_DRIVES_MEET, TOLVEX_NOTIFY_FLAT_BOTH_WAYS, TOLVEX_NOTIFY_CASE_APART}) {
    Harness h(AnswerMode::kAsk);
    h.answers.Notify(code, code == TOLVEX_NOTIFY_DRIVE_NOT_FOUND ? 'Q' : 0, 0);
    EXPECT_TRUE(h.answers.outcome().ended_by_check) << code;
    EXPECT_EQ(h.out.str().rfind("Stopped: ", 0), 0u) << h.out.str();
  }
  Harness h(AnswerMode::kAsk);
  h.answers.Notify(TOLVEX_NOTIFY_DRIVE_NOT_FOUND, 'Q', 0);
  EXPECT_NE(h.out.str().find("drive Q:"), std::string::npos) << h.out.str();
  // Nothing to update is said after the run, with what was compared.
  Harness none(AnswerMode::kAsk);
  none.answers.Notify(TOLVEX_NOTIFY_NO_FILES, 0, 0);
  EXPECT_FALSE(none.answers.outcome().ended_by_check);
  EXPECT_TRUE(none.answers.outcome().no_files);
  EXPECT_EQ(none.out.str(), "");
}

// CallUpdate returns 0 for an aborted run and for a failed one; the
// notification of the failure makes the command say so, with its own exit
// status (and no LastUpdate is recorded: only status 0 records).
TEST(NotifyAnswers, ARunThatFailedInsideIsNoAbortAndNoSuccess) {
  Harness h(AnswerMode::kNoTerminal);
  h.answers.Notify(TOLVEX_NOTIFY_RUN_FAILED, 0, 0);
  EXPECT_TRUE(h.answers.outcome().run_failed);
  EXPECT_NE(h.out.str().find("The run failed"), std::string::npos) << h.out.str();
  EXPECT_EQ(ExitStatusOf(0, h.answers.outcome(), false, false), kExitRunFailed);
  EXPECT_EQ(ExitStatusOf(0, h.answers.outcome(), false, true), kExitRunFailed);
  EXPECT_EQ(ExitStatusOf(0, RunOutcome(), false, false), kExitAborted);
  EXPECT_EQ(ExitStatusOf(1, RunOutcome(), false, false), kExitCompleted);
  EXPECT_EQ(ExitStatusOf(1, RunOutcome(), false, true), kExitCopiesFailed);
  // The erase guard's stop is an abort, whatever else the run left out.
  EXPECT_EQ(ExitStatusOf(0, RunOutcome(), true, true), kExitAborted);
}

TEST(NotifyAnswers, AsksOnTheTerminalWithSafeDefaults) {
  Harness space(AnswerMode::kAsk, "x\n");  // an unknown key is passed over; Enter means No
  EXPECT_EQ(space.answers.Notify(TOLVEX_NOTIFY_LACKS_SPACE, 'D', 1572864), TOLVEX_NOTIFY_NO);
  EXPECT_NE(space.out.str().find("lacks 1.5 MB"), std::string::npos) << space.out.str();
  EXPECT_TRUE(space.answers.outcome().space_refused);
  Harness go_on(AnswerMode::kAsk, "Y");
  EXPECT_EQ(go_on.answers.Notify(TOLVEX_NOTIFY_LACKS_SPACE, 'D', 100), kYes);
  Harness hint(AnswerMode::kAsk, "\n");  // Enter logs the hint
  EXPECT_EQ(hint.answers.Notify(TOLVEX_NOTIFY_MIDNIGHT, 0, 0), kYes);
  Harness closed(AnswerMode::kAsk, "");  // end of input: No
  EXPECT_EQ(closed.answers.Notify(TOLVEX_NOTIFY_MIDNIGHT, 0, 0), TOLVEX_NOTIFY_NO);
}

TEST(ConfirmAnswers, MapsSingleKeysToAnswerCodes) {
  struct Case {
    const char* keys;
    int state;
    int answer;
  } cases[] = {
      {"c", 0x02, TOLVEX_CONFIRM_NORMAL},  {"i", 0x01, TOLVEX_CONFIRM_IGNORE},
      {"Ey", 0x01, TOLVEX_CONFIRM_ERASE},  {"v", 0x01, TOLVEX_CONFIRM_INVERT},
      {"e", 0x04, TOLVEX_CONFIRM_ERASE},   // planned: no second question
      {"ent", 0x01, TOLVEX_CONFIRM_ABORT}, // No asks again; t is no key, the end quits
      {"e\ni", 0x01, TOLVEX_CONFIRM_IGNORE},  // Enter is No
      {"g", 0x01, TOLVEX_CONFIRM_IGNORE_GROUP}, {"a", 0x01, TOLVEX_CONFIRM_ASK_NO_MORE},
      {"q", 0x01, TOLVEX_CONFIRM_ABORT},    {"z\n", 0x11, TOLVEX_CONFIRM_NORMAL},  // Enter keeps the action
      {"\n", 0x04, TOLVEX_CONFIRM_ERASE},  {"\n", 0x02, TOLVEX_CONFIRM_IGNORE},
      {"", 0x01, TOLVEX_CONFIRM_ABORT},     // end of input quits
  };
  for (const Case& c : cases) {
    Harness h(AnswerMode::kAsk, c.keys);
    EXPECT_EQ(h.answers.Confirm("S:\\a.txt", "T:\\a.txt", 10, 5, kStamp, kStamp, c.state), c.answer)
        << c.keys;
  }
}

TEST(ConfirmAnswers, WithoutAPersonKeepsOrSkipsButNeverChangesAnAction) {
  Harness yes(AnswerMode::kYes), no(AnswerMode::kNo), none(AnswerMode::kNoTerminal);
  EXPECT_EQ(yes.answers.Confirm("S:\\a", "T:\\a", 1, 0, kStamp, 0, 0x04), TOLVEX_CONFIRM_ASK_NO_MORE);
  EXPECT_EQ(none.answers.Confirm("S:\\a", "T:\\a", 1, 0, kStamp, 0, 0x04), TOLVEX_CONFIRM_ASK_NO_MORE);
  EXPECT_EQ(no.answers.Confirm("S:\\a", "T:\\a", 1, 0, kStamp, 0, 0x01), TOLVEX_CONFIRM_IGNORE);
  EXPECT_NE(yes.out.str().find("erase: S:\\a (1 bytes, 2026-12-09 14:00:00) -> T:\\a (absent)"),
            std::string::npos)
      << yes.out.str();
}

// Files over 4 GiB and shortfalls over 2 GiB reach the command clamped to
// the callbacks' 32-bit arguments: shown as what they are, lower bounds.
TEST(ConfirmAnswers, FiguresClampedToThirtyTwoBitsAreShownAsLowerBounds) {
  Harness h(AnswerMode::kYes);
  h.answers.Confirm("S:\\big", "T:\\big", UINT32_MAX, UINT32_MAX - 1, kStamp, kStamp, 0x01);
  EXPECT_NE(h.out.str().find("S:\\big (at least 4294967295 bytes, 2026-12-09 14:00:00) -> "
                             "T:\\big (4294967294 bytes, "),
            std::string::npos)
      << h.out.str();
  h.answers.Notify(TOLVEX_NOTIFY_LACKS_SPACE, 'D', INT_MAX);
  EXPECT_NE(h.out.str().find("lacks at least 2048.0 MB"), std::string::npos) << h.out.str();
  h.answers.Notify(TOLVEX_NOTIFY_LACKS_SPACE, 'D', INT_MAX - 1);
  EXPECT_NE(h.out.str().find("lacks 2048.0 MB"), std::string::npos) << h.out.str();
}

TEST(CopyErrorAnswers, AsksOnTheTerminalAndCountsRetries) {
  struct Case {
    const char* keys;
    int answer;
  } cases[] = {{"r", TOLVEX_COPY_RETRY}, {"s", TOLVEX_COPY_SKIP},  {"g", TOLVEX_COPY_SKIP_GROUP}, {"ey", TOLVEX_COPY_ERASE},
               {"ens", TOLVEX_COPY_SKIP}, {"e", TOLVEX_COPY_ABORT},
               {"a", TOLVEX_COPY_ABORT}, {"\n", TOLVEX_COPY_SKIP}, {"", TOLVEX_COPY_ABORT}};
  for (const Case& c : cases) {
    Harness h(AnswerMode::kAsk, c.keys);
    EXPECT_EQ(h.answers.CopyError("S:\\a", "T:\\a", 1, 1, kStamp, kStamp, 5), c.answer) << c.keys;
    EXPECT_EQ(h.answers.outcome().copy_error_calls, 1);
    EXPECT_EQ(h.answers.outcome().retries, c.answer == TOLVEX_COPY_RETRY ? 1 : 0);
    EXPECT_NE(h.out.str().find("access denied"), std::string::npos);
  }
}

// The key e names the files an erase takes, with their sides: the
// candidate's own file and its counterpart when there is one. An inverted
// copy reaches CopyErrorProc with its paths swapped; the failed copy's
// outcome item (its state word) tells.
TEST(EraseAnswers, NameEachFileWithItsSide) {
  Harness confirm(AnswerMode::kAsk, "i");
  confirm.answers.Confirm("S:\\a", "T:\\a", 1, 0, kStamp, 0, TOLVEX_STATE_NORMAL);
  EXPECT_NE(confirm.out.str().find("e erase the SOURCE file S:\\a\n"), std::string::npos)
      << confirm.out.str();
  Harness both(AnswerMode::kAsk, "i");
  both.answers.Confirm("T:\\b", "S:\\b", 1, 2, kStamp, kStamp, TOLVEX_STATE_NORMAL | TOLVEX_STATE_DEST_SIDE);
  EXPECT_NE(both.out.str().find("e erase the DESTINATION file T:\\b and the SOURCE file S:\\b\n"),
            std::string::npos)
      << both.out.str();

  std::vector<ItemRecord> outcomes(1);
  outcomes[0].kind = TOLVEX_ITEM_COPY_BACK;
  outcomes[0].outcome = TOLVEX_OUTCOME_FAILED;
  outcomes[0].state = TOLVEX_STATE_INVERT;  // scanned in the source, copied back
  outcomes[0].from = "T:\\c";
  outcomes[0].to = "S:\\c";
  Harness inverted(AnswerMode::kAsk, "s");
  inverted.answers.set_outcomes(&outcomes);
  inverted.answers.CopyError("T:\\c", "S:\\c", 1, 2, kStamp, kStamp, 5);
  EXPECT_NE(inverted.out.str().find("e erase the SOURCE file S:\\c and the DESTINATION file T:\\c\n"),
            std::string::npos)
      << inverted.out.str();
  Harness unknown(AnswerMode::kAsk, "s");  // no outcome item: no side named
  unknown.answers.CopyError("S:\\d", "T:\\d", 1, 0, kStamp, 0, 5);
  EXPECT_NE(unknown.out.str().find("e erase the file S:\\d\n"), std::string::npos) << unknown.out.str();
}

TEST(CopyErrorAnswers, SkipsWithoutAskingUnlessThePersonAskedOrInterrupted) {
  for (AnswerMode mode : {AnswerMode::kYes, AnswerMode::kNo, AnswerMode::kNoTerminal}) {
    Harness h(mode, "r");
    EXPECT_EQ(h.answers.CopyError("S:\\a", "T:\\a", 1, 1, kStamp, kStamp, 112), TOLVEX_COPY_SKIP);
    EXPECT_EQ(h.keys.used(), 0u);
  }
  Harness silent(AnswerMode::kAsk, "r", /*silent=*/true);
  EXPECT_EQ(silent.answers.CopyError("S:\\a", "T:\\a", 1, 1, kStamp, kStamp, 32), TOLVEX_COPY_SKIP);
  EXPECT_EQ(silent.keys.used(), 0u);
  EXPECT_EQ(silent.answers.CopyError("S:\\a", "T:\\a", 1, 1, kStamp, kStamp, TOLVEX_ERROR_INTERRUPTED),
            TOLVEX_COPY_RETRY);
  EXPECT_NE(silent.out.str().find("Interrupted by you: S:\\a -> T:\\a (not copied)."), std::string::npos)
      << silent.out.str();
  const std::string said = silent.out.str();
  EXPECT_EQ(said.find("Copy failed", said.find("Interrupted by you")), std::string::npos) << said;
}

TEST(ErrorText, ExplainsTheCodesOfFailedCopies) {
  EXPECT_EQ(ExplainError(2), "the file was not found");
  EXPECT_EQ(ExplainError(3), "the folder was not found");
  EXPECT_EQ(ExplainError(112), "there is not enough space on the disk");
  EXPECT_EQ(ExplainError(206), "the file name or path is too long");
  EXPECT_EQ(ExplainError(0x20000000), "interrupted by you");
  EXPECT_EQ(ExplainError(1234), "Windows error 1234");
}

TEST(MakeDirAnswer, CreatesTheFolderAndItsMissingParents) {
  TestDrives drives("S");
  Sys().ReloadDrives();
  drives.MakeDirs("S:\\have\\");
  Harness h(AnswerMode::kNoTerminal);
  h.answers.MakeDir("S:\\have\\new\\deeper\\target\\");
  EXPECT_TRUE(drives.Exists("S:\\have\\new\\deeper\\target"));
  h.answers.MakeDir("S:\\have\\new\\deeper\\target\\");  // already there: nothing to do
  EXPECT_EQ(h.answers.outcome().folders_not_made, 0);
  drives.WriteFile("S:\\file", "x");
  h.answers.MakeDir("S:\\file\\sub\\");  // a file stands in the way
  EXPECT_EQ(h.answers.outcome().folders_not_made, 1);
  EXPECT_NE(h.out.str().find("Cannot create the folder"), std::string::npos);
}

}  // namespace
}  // namespace tolvex::frontend
