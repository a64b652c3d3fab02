// The plan channel of the extension: the plan as the erase and copy passes
// will carry it out, in their order, with the figures of the drives and
// sides, then the end of the plan, whose answer may stop the run before
// anything is erased or copied.
#include <optional>
#include <utility>
#include <vector>

#include "engine/erase_guard.h"
#include "engine/pass_walk.h"
#include "engine/space_accounting.h"
#include "engine/update_run.h"
#include "model/parameters.h"

namespace tolvex {

namespace {

RunItem SpaceItem(char drive, int64_t need, int64_t available) {
  RunItem space(TOLVEX_ITEM_SPACE);
  space.item.drive = static_cast<unsigned char>(drive);
  space.item.number = need;
  space.item.limit = available;
  // The rule of the run's warning (FindSpaceShortfalls): need > available.
  space.item.reason = MissingBytes(need, available) > 0 ? TOLVEX_REASON_LACKS_SPACE
                                                        : TOLVEX_REASON_NONE;
  return space;
}

RunItem UnchangedCount(int32_t reason, uint64_t pairs, uint64_t bytes) {
  RunItem count(TOLVEX_ITEM_UNCHANGED);
  count.item.reason = reason;
  count.item.number = static_cast<int64_t>(pairs);
  count.item.limit = static_cast<int64_t>(bytes);
  return count;
}

}  // namespace

bool UpdateRun::HandOverPlan() {
  if (!items_.Planning()) return true;
  // The figures of the plan as it now stands (the overview may have
  // changed it), by the rules the run itself uses.
  AccountSpace(plan_);
  if (dryRun_) {
    for (const RotationStep& step : judgedRotation_.steps) {
      RunItem rename(TOLVEX_ITEM_ROTATION);
      rename.from = step.from;
      rename.to = step.to;
      rename.item.error = step.error;
      items_.Plan(std::move(rename));
    }
  }
  RunItem generation(TOLVEX_ITEM_GENERATION);
  generation.from = plan_.DestinationRoot;
  items_.Plan(std::move(generation));
  std::vector<std::string> erased;
  std::vector<std::string> written;
  HandOverActions(&erased, &written);
  for (const auto& [folder, side, k] : FoldersToMake(written)) {
    (void)k;
    RunItem made(TOLVEX_ITEM_FOLDER_MADE);
    made.item.side = side;
    made.from = folder;
    items_.Plan(std::move(made));
  }
  for (const auto& [folder, side] : FoldersLeftEmpty(erased, written)) {
    RunItem removal(TOLVEX_ITEM_FOLDER_REMOVED);
    removal.item.side = side;
    removal.from = folder;
    items_.Plan(std::move(removal));
  }
  HandOverFigures();

  const bool over = AnySideOverEraseLimit(Extension, PlannedErasures(plan_));
  RunItem end(TOLVEX_ITEM_END);
  end.item.reason = over ? TOLVEX_REASON_ERASE_LIMIT : TOLVEX_REASON_NONE;
  // OK in an overview that showed the erase limit's warning lets the plan
  // through: the person saw it and confirmed it.
  if (over && !dryRun_ && parameters_.ConfirmMode == TOLVEX_CONFIRM_MODE_OVERVIEW &&
      eraseWarningSeen_) {
    end.item.state = TOLVEX_PLAN_CONFIRMED;
  }
  const int answer = items_.Plan(std::move(end));
  if (dryRun_ || answer != TOLVEX_PLAN_STOP) return true;
  plan_.Aborted = true;
  log_.Write(over ? kEventEraseLimit : kEventAborted);
  return false;
}

// The passes' walk (engine/pass_walk.h) as the run will take it, on a copy
// of the candidates' states: every question answered as proposed, every
// action succeeding, nothing staged. The answers and settlings change only
// the copy; nothing is touched.
void UpdateRun::HandOverActions(std::vector<std::string>* erased,
                                std::vector<std::string>* written) {
  PassWalk walk = PassWalk::ForDryRun(plan_, parameters_);
  for (const PassStep::Pass pass : {PassStep::Pass::kErase, PassStep::Pass::kCopy}) {
    while (std::optional<PassStep> step = walk.Next(pass)) {
      if (step->kind == PassStep::Kind::kAsk) step = walk.ActionStep(std::move(*step));
      const size_t i = step->candidate;
      switch (step->kind) {
        case PassStep::Kind::kCopy:
        case PassStep::Kind::kInvertedCopy: {
          RunItem copy = CopyItemOf(walk.Walked(i), step->texts);
          written->push_back(copy.to);
          items_.Plan(std::move(copy));
          walk.Carried(i);
          break;
        }
        case PassStep::Kind::kSetMode:
        case PassStep::Kind::kInvertedSetMode:
          items_.Plan(ModeItemOf(walk.Walked(i), step->texts));
          walk.Carried(i);
          break;
        case PassStep::Kind::kErase:
          for (RunItem& file : EraseItemsOf(walk.Walked(i), step->texts, plan_.syncRun)) {
            erased->push_back(file.from);
            items_.Plan(std::move(file));
          }
          walk.Carried(i);
          break;
        case PassStep::Kind::kSkip:
          items_.Plan(SkipItemOf(walk.Walked(i), step->texts, walk.SkipReason(i)));
          break;
        default:
          break;  // a candidate passed over
      }
    }
  }
}

void UpdateRun::HandOverFigures() {
  for (const CANDIDATE& pair : plan_.unchangedPairs) {
    RunItem unchanged =
        SkipItemOf(pair, CandidateTexts::For(pair, plan_, parameters_), TOLVEX_REASON_NONE);
    unchanged.item.kind = TOLVEX_ITEM_UNCHANGED;
    unchanged.item.reason =
        pair.stamp == pair.counterStamp ? TOLVEX_REASON_EQUAL : TOLVEX_REASON_OLDER;
    unchanged.item.number = 1;
    unchanged.item.limit = static_cast<int64_t>(pair.size);
    items_.Plan(std::move(unchanged));
  }
  items_.Plan(
      UnchangedCount(TOLVEX_REASON_EQUAL, plan_.scanTally.equalPairs, plan_.scanTally.equalBytes));
  items_.Plan(
      UnchangedCount(TOLVEX_REASON_OLDER, plan_.scanTally.olderPairs, plan_.scanTally.olderBytes));
  // The destination drive first, as the run warns; one drive counts all.
  items_.Plan(SpaceItem(plan_.DestinationDrive, plan_.NeedDest, plan_.AvailDest));
  if (plan_.SourceDrive != plan_.DestinationDrive) {
    items_.Plan(SpaceItem(plan_.SourceDrive, plan_.NeedSrc, plan_.AvailSrc));
  }
  const EraseFigures figures = PlannedErasures(plan_);
  for (int side = 0; side < 2; ++side) {
    RunItem figure(TOLVEX_ITEM_SIDE);
    figure.item.side = side;
    figure.item.number = static_cast<int64_t>(figures.erasures[side]);
    figure.item.limit = static_cast<int64_t>(figures.present[side]);
    figure.item.reason = OverEraseLimit(Extension, figures.erasures[side], figures.present[side])
                             ? TOLVEX_REASON_ERASE_LIMIT
                             : TOLVEX_REASON_NONE;
    items_.Plan(std::move(figure));
  }
}

}  // namespace tolvex
