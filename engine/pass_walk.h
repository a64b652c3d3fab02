// The run's steps in their order, for the run and for the dry run alike:
// the erase pass (last candidate first), then the copy pass (in list
// order), with the per-file question, the group skips, the settling of
// conflict pairs and the waits for staged copies. The run carries each
// step out (erase_pass.cpp, copy_pass.cpp); the dry run walks the same
// steps over a copy of the candidates' states with every answer as proposed
// and every action succeeding (plan_handout.cpp). So what the plan says is
// what the run does.
//
// ConfirmMode acts here and nowhere else in the passes: with
// TOLVEX_CONFIRM_MODE_EACH_FILE there is no erase pass (an erasure waits
// for its question in the copy pass), and each candidate the person has not
// yet answered for comes as a kAsk step whose answer (Answer) becomes its
// action.
//
// Where the walk is kept once: its pass and position here, what was done in
// the candidates' states (STATE_DONE, the action an answer or a settling
// left; in the dry run a copy of the states), and which candidates were
// settled or failed here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/candidate_texts.h"
#include "engine/staged_steps.h"
#include "model/parameters.h"
#include "model/plan.h"

namespace tolvex {

struct PassStep {
  enum class Pass { kErase, kCopy };
  enum class Kind {
    // Nothing for this candidate in this pass (the erase pass passes over
    // a candidate that is no erasure, the copy pass over one erased
    // already): the run still takes its turn.
    kPassOver,
    // The staged copies are put in place before this candidate's turn goes
    // on (it is asked about, erases, or reads or writes a file a staged copy
    // touches); then it comes again.
    kCompleteStaged,
    // The per-file question; its answer (PassWalk::Answer) gives the action
    // of the same turn.
    kAsk,
    kCopy,          // the file onto its counterpart
    kInvertedCopy,  // the counterpart onto the file
    // A pair that differs only in its mode (STATE_MODE_ONLY): the file's
    // mode given to its counterpart, or the other way; nothing copied.
    kSetMode,
    kInvertedSetMode,
    kErase,         // the file, and its counterpart when there is one
    kSkip,          // left alone (PassWalk::SkipReason says why)
    // The end of the copy pass with copies staged: they are put in place
    // (no turn of its own); one that fails there is handled as any failed
    // copy, and the walk goes on from it. `candidate` is the candidate
    // count.
    kCompleteLastStaged,
  };

  Pass pass;
  Kind kind;
  size_t candidate;
  // The candidate's texts (none for kPassOver and the staged batches).
  CandidateTexts texts;
};

class PassWalk {
 public:
  // The run's walk, over the plan's own candidates: their states record
  // what is done. `parameters`: the run's (its ConfirmMode, and the
  // separators of the texts). `staged`: the copies the run has staged on
  // the platform.
  PassWalk(Plan& plan, const TParameters& parameters, const StagedSteps* staged);
  // The dry run's walk: the same steps over a copy of the candidates'
  // states, which its answers and settlings change; the plan stays as it
  // is, and nothing is ever staged.
  static PassWalk ForDryRun(const Plan& plan, const TParameters& parameters);

  // The candidate with its state as the walk has left it.
  CANDIDATE Walked(size_t candidate) const;

  // True when there is an erase pass: not with the per-file question.
  bool ErasesFirst() const { return erasesFirst_; }

  // The next step of `pass`; none once the walk is past it (at its end,
  // after Stop, or the erase pass when there is none). Asking for the copy
  // pass ends the erase pass.
  std::optional<PassStep> Next(PassStep::Pass pass);

  // The candidate's action carried out (its copy in place, its files
  // erased): in the erase pass it is done; the other candidate of its
  // conflict pair is settled.
  void Carried(size_t candidate);

  // The answer to a kAsk step (TOLVEX_CONFIRM_*, the abort aside: the run
  // stops), and the step of the action it leaves, in the same turn.
  PassStep Answer(const PassStep& asked, int answer);
  // The step of the candidate's action as it stands (a question answered
  // as proposed).
  PassStep ActionStep(PassStep step) const;

  // A copy failed: a later skip of the candidate says so. The answer to
  // the failure (TOLVEX_COPY_*; abort and retry aside) changes its action.
  void CopyFailed(size_t candidate);
  void AnswerCopyFailure(size_t candidate, int answer);

  // Where the walk goes on: `candidate` again (a retry, or a turn that
  // waited for staged copies), the one after it (a failure skipped), or
  // nowhere.
  void Retake(size_t candidate);
  void GoOnAfter(size_t candidate);
  void Stop();

  // Why a kSkip step's candidate is left alone.
  int32_t SkipReason(size_t candidate) const;

 private:
  // What the walk knows of a candidate beyond its state.
  static constexpr uint8_t kSettled = 1;  // the other of its conflict pair was carried out
  static constexpr uint8_t kFailed = 2;   // a copy of it failed

  bool Asks(size_t candidate) const;
  bool WaitsForStaged(const PassStep& step) const;
  // Skips the candidate's group (the candidate alone outside any group).
  void IgnoreGroupOf(size_t candidate, bool confirm);
  void SettlePartnerOf(size_t candidate);

  PassWalk(const Plan& plan, std::vector<CANDIDATE>* candidates, const TParameters& parameters,
           const StagedSteps* staged);
  uint16_t State(size_t candidate) const;
  uint16_t& State(size_t candidate);

  // `plan_` gives the candidates' files, the groups, the conflict pairs
  // and the folders of the texts.
  const Plan& plan_;
  const TParameters& parameters_;
  // The candidates whose states the run's walk changes; null in the dry
  // run, whose states are `plannedStates_`.
  std::vector<CANDIDATE>* runCandidates_;
  std::vector<uint16_t> plannedStates_;
  const StagedSteps* staged_;
  const bool asksEachFile_;
  const bool erasesFirst_;
  bool inErasePass_;
  bool stopped_ = false;
  // The candidate the next step is about; the erase pass counts down to
  // 0 (then `next_` is one past it).
  size_t next_;
  // "Ask no more": every later candidate keeps its plan.
  bool askNoMore_ = false;
  // kSettled and kFailed per candidate: a settled candidate is skipped
  // without a question, a failed one's skip says so.
  std::vector<uint8_t> marks_;
};

}  // namespace tolvex
