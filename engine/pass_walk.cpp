#include "engine/pass_walk.h"

#include <utility>

#include "engine/run_items.h"
#include "scan/conflicts.h"

namespace tolvex {

namespace {

uint16_t Action(uint16_t state) { return state & STATE_ACTION; }

}  // namespace

PassWalk::PassWalk(Plan& plan, const TParameters& parameters, const StagedSteps* staged)
    : PassWalk(plan, &plan.candidates, parameters, staged) {}

PassWalk PassWalk::ForDryRun(const Plan& plan, const TParameters& parameters) {
  PassWalk walk(plan, nullptr, parameters, nullptr);
  walk.plannedStates_.reserve(plan.candidates.size());
  for (const CANDIDATE& c : plan.candidates) walk.plannedStates_.push_back(c.state);
  return walk;
}

PassWalk::PassWalk(const Plan& plan, std::vector<CANDIDATE>* candidates,
                   const TParameters& parameters, const StagedSteps* staged)
    : plan_(plan),
      parameters_(parameters),
      runCandidates_(candidates),
      staged_(staged),
      asksEachFile_(parameters.ConfirmMode == TOLVEX_CONFIRM_MODE_EACH_FILE),
      // With the per-file question an erasure waits for its answer, in the
      // copy pass with the other actions.
      erasesFirst_(!asksEachFile_),
      inErasePass_(erasesFirst_),
      next_(erasesFirst_ ? plan.candidates.size() : 0),
      marks_(plan.candidates.size(), 0) {}

uint16_t PassWalk::State(size_t candidate) const {
  return runCandidates_ ? (*runCandidates_)[candidate].state : plannedStates_[candidate];
}

uint16_t& PassWalk::State(size_t candidate) {
  return runCandidates_ ? (*runCandidates_)[candidate].state : plannedStates_[candidate];
}

CANDIDATE PassWalk::Walked(size_t candidate) const {
  CANDIDATE c = plan_.candidates[candidate];
  c.state = State(candidate);
  return c;
}

std::optional<PassStep> PassWalk::Next(PassStep::Pass pass) {
  using Kind = PassStep::Kind;
  if (stopped_) return std::nullopt;
  if (pass == PassStep::Pass::kErase) {
    if (!inErasePass_) return std::nullopt;
    if (next_ == 0) {
      inErasePass_ = false;
      return std::nullopt;
    }
    const size_t i = --next_;
    PassStep step{pass, Kind::kPassOver, i, {}};
    if (Action(State(i)) == STATE_ERASE) {
      step.kind = Kind::kErase;
      step.texts = CandidateTexts::For(plan_.candidates[i], plan_, parameters_);
    }
    return step;
  }
  if (inErasePass_) {
    inErasePass_ = false;
    next_ = 0;
  }
  const size_t n = plan_.candidates.size();
  if (next_ >= n) {
    if (staged_ == nullptr || staged_->empty()) return std::nullopt;
    return PassStep{pass, Kind::kCompleteLastStaged, n, {}};
  }
  const size_t i = next_++;
  if (State(i) & STATE_DONE) return PassStep{pass, Kind::kPassOver, i, {}};
  PassStep step{pass, Kind::kAsk, i, CandidateTexts::For(plan_.candidates[i], plan_, parameters_)};
  if (!Asks(i)) step = ActionStep(std::move(step));
  if (WaitsForStaged(step)) {
    // The staged copies first; this candidate's turn then comes again
    // (its question, or what an earlier copy settles of it).
    next_ = i;
    return PassStep{pass, Kind::kCompleteStaged, i, {}};
  }
  return step;
}

// The question comes for each candidate not yet answered for, unless the
// person asked for no more questions or the candidate was settled with its
// conflict partner.
bool PassWalk::Asks(size_t candidate) const {
  return asksEachFile_ && !askNoMore_ && !(State(candidate) & STATE_CONFIRMED) &&
         !(marks_[candidate] & kSettled);
}

// Staged copies count as nothing until they are in place: a question, an
// erasure and a copy that reads or writes a file of theirs wait for them,
// so that each sees the files as the earlier steps left them.
bool PassWalk::WaitsForStaged(const PassStep& step) const {
  if (staged_ == nullptr || staged_->empty()) return false;
  switch (step.kind) {
    case PassStep::Kind::kAsk:
    case PassStep::Kind::kErase:
    // Done at once, it would be logged before the copies staged ahead of it.
    case PassStep::Kind::kSetMode:
    case PassStep::Kind::kInvertedSetMode:
      return true;
    case PassStep::Kind::kCopy:
    case PassStep::Kind::kInvertedCopy:
      return staged_->Touches(step.texts.path) || staged_->Touches(step.texts.counterPath);
    default:
      return false;
  }
}

PassStep PassWalk::ActionStep(PassStep step) const {
  using Kind = PassStep::Kind;
  const bool mode_only = (State(step.candidate) & STATE_MODE_ONLY) != 0;
  switch (Action(State(step.candidate))) {
    case STATE_NORMAL: step.kind = mode_only ? Kind::kSetMode : Kind::kCopy; break;
    case STATE_INVERT: step.kind = mode_only ? Kind::kInvertedSetMode : Kind::kInvertedCopy; break;
    case STATE_ERASE: step.kind = Kind::kErase; break;
    // Ignore, and any state without a known action: nothing is touched.
    default: step.kind = Kind::kSkip; break;
  }
  return step;
}

PassStep PassWalk::Answer(const PassStep& asked, int answer) {
  uint16_t& state = State(asked.candidate);
  const auto confirm = [&state](uint16_t action) {
    state = ReplaceAction(state, action) | STATE_CONFIRMED;
  };
  switch (answer) {
    case TOLVEX_CONFIRM_NORMAL: confirm(STATE_NORMAL); break;
    case TOLVEX_CONFIRM_IGNORE: confirm(STATE_IGNORE); break;
    case TOLVEX_CONFIRM_ERASE: confirm(STATE_ERASE); break;
    case TOLVEX_CONFIRM_INVERT: confirm(STATE_INVERT); break;
    case TOLVEX_CONFIRM_IGNORE_GROUP: IgnoreGroupOf(asked.candidate, true); break;
    case TOLVEX_CONFIRM_ASK_NO_MORE: askNoMore_ = true; break;
    default: break;
  }
  return ActionStep(asked);
}

void PassWalk::Carried(size_t candidate) {
  if (inErasePass_) State(candidate) |= STATE_DONE;
  SettlePartnerOf(candidate);
}

void PassWalk::CopyFailed(size_t candidate) { marks_[candidate] |= kFailed; }

void PassWalk::AnswerCopyFailure(size_t candidate, int answer) {
  uint16_t& state = State(candidate);
  switch (answer) {
    case TOLVEX_COPY_SKIP: state = ReplaceAction(state, STATE_IGNORE); break;
    case TOLVEX_COPY_SKIP_GROUP: IgnoreGroupOf(candidate, false); break;
    case TOLVEX_COPY_ERASE: state = ReplaceAction(state, STATE_ERASE); break;
    default: break;  // retry
  }
}

void PassWalk::Retake(size_t candidate) { next_ = candidate; }

void PassWalk::GoOnAfter(size_t candidate) { next_ = candidate + 1; }

void PassWalk::Stop() { stopped_ = true; }

int32_t PassWalk::SkipReason(size_t candidate) const {
  if (marks_[candidate] & kFailed) return TOLVEX_REASON_COPY_FAILED;
  if (runCandidates_) return SkipReasonOf((*runCandidates_)[candidate]);
  return SkipReasonOf(Walked(candidate));
}

void PassWalk::IgnoreGroupOf(size_t candidate, bool confirm) {
  const int32_t index = static_cast<int32_t>(candidate);
  // Without a group around it (an unknown sort mode builds none) the file
  // is a group of its own: skipping its group must never copy it.
  int32_t first = index;
  int32_t last = index;
  for (const FOLDER& group : plan_.groups) {
    if (index < group.first || index > group.last) continue;
    first = group.first;
    last = group.last;
    break;
  }
  for (int32_t k = first; k <= last; ++k) {
    State(k) = ReplaceAction(State(k), STATE_IGNORE);
    if (confirm) State(k) |= STATE_CONFIRMED;
  }
}

// Both files of a conflict pair are now alike (copied) or gone (erased):
// the other candidate of the pair would copy back what was just written, or
// copy a file that is no more. It is skipped, without a question.
void PassWalk::SettlePartnerOf(size_t candidate) {
  // The pairs are the plan's (ConflictPartnerOf reads its lists): the
  // walk never changes a conflict flag.
  const std::optional<size_t> partner = ConflictPartnerOf(plan_, candidate);
  if (!partner || (State(*partner) & STATE_DONE)) return;
  State(*partner) = ReplaceAction(State(*partner), STATE_IGNORE);
  marks_[*partner] |= kSettled;
}

}  // namespace tolvex
