#include "engine/pass_walk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/parameters.h"
#include "model/plan.h"

namespace tolvex {
namespace {

// Candidates in S:\Data\ (folder 0, counterparts in T:\Backup\) and in
// T:\Backup\ (folder 1, the destination side).
class PassWalkTest : public ::testing::Test {
 protected:
  PassWalkTest() {
    plan_.dirList = {STRING("S:\\Data\\", 0), STRING("T:\\Backup\\", 1)};
    plan_.counterpartList = {STRING("T:\\Backup\\", 1), STRING("S:\\Data\\", 0)};
  }

  static CANDIDATE Candidate(const std::string& name, uint16_t state, int32_t folder = 0) {
    return CANDIDATE(name, ".txt", folder, 10, 10, 0x2A210000, 0x2A210000, 0, 0, state);
  }

  static std::string Described(const PassStep& step) {
    const std::string at = " " + std::to_string(step.candidate);
    switch (step.kind) {
      case PassStep::Kind::kPassOver: return "pass over" + at;
      case PassStep::Kind::kCompleteStaged: return "wait" + at;
      case PassStep::Kind::kAsk: return "ask" + at;
      case PassStep::Kind::kCopy: return "copy" + at;
      case PassStep::Kind::kInvertedCopy: return "copy back" + at;
      case PassStep::Kind::kSetMode: return "set mode" + at;
      case PassStep::Kind::kInvertedSetMode: return "set mode back" + at;
      case PassStep::Kind::kErase: return "erase" + at;
      case PassStep::Kind::kSkip: return "skip" + at;
      case PassStep::Kind::kCompleteLastStaged: return "last batch";
    }
    return "?";
  }

  // The walk as the dry run takes it: each question answered as proposed,
  // each action carried out. The erase pass's steps, then "|", then the
  // copy pass's.
  static std::vector<std::string> WalkAsPlanned(PassWalk& walk) {
    std::vector<std::string> steps;
    for (const PassStep::Pass pass : {PassStep::Pass::kErase, PassStep::Pass::kCopy}) {
      if (pass == PassStep::Pass::kCopy) steps.push_back("|");
      while (std::optional<PassStep> step = walk.Next(pass)) {
        steps.push_back(Described(*step));
        if (step->kind == PassStep::Kind::kAsk) step = walk.ActionStep(*step);
        const PassStep::Kind kind = step->kind;
        if (kind == PassStep::Kind::kCopy || kind == PassStep::Kind::kInvertedCopy ||
            kind == PassStep::Kind::kErase) {
          walk.Carried(step->candidate);
        }
      }
    }
    return steps;
  }

  // The run's parameters with `confirm_mode`, for the walk made next.
  const TParameters& Job(int32_t confirm_mode) {
    job_.ConfirmMode = confirm_mode;
    return job_;
  }

  Plan plan_;
  TParameters job_;
};

// The erase pass takes every candidate from the last (the erasures are
// done, and the copy pass passes over them); with the per-file question
// there is none, and each candidate is asked about in list order.
TEST_F(PassWalkTest, TheErasePassComesFirstExceptWithThePerFileQuestion) {
  struct Case {
    int32_t confirmMode;
    std::vector<std::string> steps;
  };
  const Case cases[] = {
      {TOLVEX_CONFIRM_MODE_NONE,
       {"erase 3", "pass over 2", "erase 1", "pass over 0", "|", "copy 0", "pass over 1",
        "skip 2", "pass over 3"}},
      {TOLVEX_CONFIRM_MODE_OVERVIEW,
       {"erase 3", "pass over 2", "erase 1", "pass over 0", "|", "copy 0", "pass over 1",
        "skip 2", "pass over 3"}},
      {TOLVEX_CONFIRM_MODE_EACH_FILE, {"|", "ask 0", "ask 1", "ask 2", "ask 3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.confirmMode);
    plan_.candidates = {Candidate("a", STATE_NORMAL), Candidate("b", STATE_ERASE),
                              Candidate("c", STATE_IGNORE), Candidate("d", STATE_ERASE)};
    PassWalk walk(plan_, Job(c.confirmMode), nullptr);
    EXPECT_EQ(walk.ErasesFirst(), c.confirmMode != TOLVEX_CONFIRM_MODE_EACH_FILE);
    EXPECT_EQ(WalkAsPlanned(walk), c.steps);
  }
}

// A conflict pair copied one way: the other candidate is skipped, and with
// the per-file question it is not asked about. The run's walk settles it in
// the plan; the dry run's the same, in its copy of the states only.
TEST_F(PassWalkTest, TheOtherCandidateOfACarriedOutConflictIsSkippedUnasked) {
  for (const int32_t mode : {TOLVEX_CONFIRM_MODE_NONE, TOLVEX_CONFIRM_MODE_EACH_FILE}) {
    for (const bool dry_run : {false, true}) {
      SCOPED_TRACE(std::to_string(mode) + (dry_run ? " dry run" : " run"));
      const uint16_t partner = STATE_NORMAL | STATE_CONFLICT | STATE_DEST_SIDE;
      plan_.candidates = {Candidate("x", STATE_NORMAL | STATE_CONFLICT),
                                Candidate("x", partner, 1)};
      PassWalk walk = dry_run ? PassWalk::ForDryRun(plan_, Job(mode))
                              : PassWalk(plan_, Job(mode), nullptr);
      const std::vector<std::string> expected =
          mode == TOLVEX_CONFIRM_MODE_NONE
              ? std::vector<std::string>{"pass over 1", "pass over 0", "|", "copy 0", "skip 1"}
              : std::vector<std::string>{"|", "ask 0", "skip 1"};
      EXPECT_EQ(WalkAsPlanned(walk), expected);
      EXPECT_EQ(walk.Walked(1).state & STATE_ACTION, STATE_IGNORE);
      EXPECT_EQ(plan_.candidates[1].state,
                dry_run ? partner : ReplaceAction(partner, STATE_IGNORE));
    }
  }
}

// The answers: a group skipped asks about none of it again; "ask no more"
// leaves every later candidate its plan; a failed copy skipped says so.
TEST_F(PassWalkTest, AnswersChangeTheActionsAndTheQuestionsThatFollow) {
  plan_.candidates = {Candidate("a", STATE_NORMAL), Candidate("b", STATE_NORMAL),
                            Candidate("c", STATE_NORMAL), Candidate("d", STATE_ERASE)};
  FOLDER group;
  group.first = 0;
  group.last = 1;
  plan_.groups = {group};
  PassWalk walk(plan_, Job(TOLVEX_CONFIRM_MODE_EACH_FILE), nullptr);
  std::optional<PassStep> step = walk.Next(PassStep::Pass::kCopy);
  ASSERT_EQ(Described(*step), "ask 0");
  EXPECT_EQ(Described(walk.Answer(*step, TOLVEX_CONFIRM_IGNORE_GROUP)), "skip 0");
  EXPECT_EQ(Described(*walk.Next(PassStep::Pass::kCopy)), "skip 1");
  step = walk.Next(PassStep::Pass::kCopy);
  ASSERT_EQ(Described(*step), "ask 2");
  EXPECT_EQ(Described(walk.Answer(*step, TOLVEX_CONFIRM_ASK_NO_MORE)), "copy 2");
  walk.CopyFailed(2);
  walk.AnswerCopyFailure(2, TOLVEX_COPY_SKIP);
  walk.Retake(2);
  EXPECT_EQ(Described(*walk.Next(PassStep::Pass::kCopy)), "skip 2");
  EXPECT_EQ(walk.SkipReason(2), TOLVEX_REASON_COPY_FAILED);
  EXPECT_EQ(walk.SkipReason(1), TOLVEX_REASON_BY_USER);
  EXPECT_EQ(Described(*walk.Next(PassStep::Pass::kCopy)), "erase 3");
  EXPECT_FALSE(walk.Next(PassStep::Pass::kCopy));
}

// Staged copies count as nothing until they are in place: a question, an
// erasure and a copy of a file they touch wait for them (the turn comes
// again), a skip and an unrelated copy do not, and the pass ends with the
// last batch.
TEST_F(PassWalkTest, StepsThatNeedTheStagedCopiesInPlaceWaitForThem) {
  struct Case {
    const char* name;
    CANDIDATE candidate;
    int32_t confirmMode;
    const char* first;
  };
  const Case cases[] = {
      {"a copy of the staged file back", Candidate("s", STATE_INVERT), 0, "wait 1"},
      {"a copy of another file", Candidate("t", STATE_NORMAL), 0, "copy 1"},
      {"an erasure", Candidate("t", STATE_ERASE | STATE_CONFIRMED), TOLVEX_CONFIRM_MODE_EACH_FILE,
       "wait 1"},
      {"a question", Candidate("t", STATE_NORMAL), TOLVEX_CONFIRM_MODE_EACH_FILE, "wait 1"},
      {"a skip", Candidate("t", STATE_IGNORE), 0, "skip 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    plan_.candidates = {Candidate("s", STATE_NORMAL | STATE_CONFIRMED), c.candidate};
    StagedSteps staged;
    PassWalk walk(plan_, Job(c.confirmMode), &staged);
    while (walk.Next(PassStep::Pass::kErase)) {
    }
    std::optional<PassStep> step = walk.Next(PassStep::Pass::kCopy);
    ASSERT_EQ(Described(*step), "copy 0");
    staged.AddCopy(0, step->texts, RunItem(TOLVEX_ITEM_COPY), 10);
    step = walk.Next(PassStep::Pass::kCopy);
    EXPECT_EQ(Described(*step), c.first);
    if (step->kind == PassStep::Kind::kCompleteStaged) {
      staged.Take();
      step = walk.Next(PassStep::Pass::kCopy);
      EXPECT_NE(step->kind, PassStep::Kind::kCompleteStaged);
      EXPECT_EQ(step->candidate, 1u);
    } else {
      staged.AddSkip(1, step->texts, RunItem(TOLVEX_ITEM_SKIP));
      EXPECT_EQ(Described(*walk.Next(PassStep::Pass::kCopy)), "last batch");
      staged.Take();
    }
    EXPECT_FALSE(walk.Next(PassStep::Pass::kCopy));
  }
}

}  // namespace
}  // namespace tolvex
