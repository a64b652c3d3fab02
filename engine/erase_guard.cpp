#include "engine/erase_guard.h"

#include "model/records.h"
#include "platform/folder_layout.h"

namespace tolvex {

namespace {

// The folders of a side as the job names them: the source folders of the
// include selections, or the working destination folder.
std::string FoldersOfSide(const TParameters& p, const Plan& plan, int side) {
  if (side == 1) return plan.DestinationRoot;
  std::string folders;
  for (const STRING& entry : p.DInclSels) {
    if (!IsDirectoryEntry(entry.text())) continue;
    folders += (folders.empty() ? "" : ", ") + SelectionOf(entry.text()).folder;
  }
  return folders;
}

std::string LimitText(const TExtension& extension) {
  const std::string count = std::to_string(extension.eraseLimitCount) + " files";
  const std::string share = std::to_string(extension.eraseLimitPercent) + "% of a side";
  if (extension.eraseLimitPercent <= 0) return count;
  if (extension.eraseLimitCount <= 0) return share;
  return count + " and " + share;
}

}  // namespace

EraseFigures PlannedErasures(const Plan& plan) {
  EraseFigures figures;
  figures.present[0] = plan.scanTally.filesPresent[0];
  figures.present[1] = plan.scanTally.filesPresent[1];
  for (const CANDIDATE& c : plan.candidates) {
    if ((c.state & STATE_ACTION) != STATE_ERASE) continue;
    const int side = (c.state & STATE_DEST_SIDE) ? 1 : 0;
    ++figures.erasures[side];
    if (c.counterHasBytes()) ++figures.erasures[1 - side];
  }
  return figures;
}

bool OverEraseLimit(const TExtension& extension, uint64_t erasures, uint64_t present) {
  if (!extension.GuardsErasures()) return false;
  const uint64_t count = static_cast<uint64_t>(extension.eraseLimitCount);
  const uint64_t percent =
      extension.eraseLimitPercent > 0 ? static_cast<uint64_t>(extension.eraseLimitPercent) : 0;
  // erasures * 100 > percent * present, in numbers that cannot overflow for
  // any count of files a scan can meet.
  return erasures > count && erasures * 100 > percent * present;
}

bool AnySideOverEraseLimit(const TExtension& extension, const EraseFigures& figures) {
  return OverEraseLimit(extension, figures.erasures[0], figures.present[0]) ||
         OverEraseLimit(extension, figures.erasures[1], figures.present[1]);
}

std::string EraseLimitWarning(const Plan& plan, const TExtension& extension) {
  const EraseFigures figures = PlannedErasures(plan);
  std::string text;
  const char* names[2] = {"source", "destination"};
  for (int side = 1; side >= 0; --side) {
    if (!OverEraseLimit(extension, figures.erasures[side], figures.present[side])) continue;
    text += text.empty() ? "Over the erase limit: " : ", ";
    text += std::to_string(figures.erasures[side]) + " of " + std::to_string(figures.present[side]) +
            " " + names[side] + " files erased";
  }
  if (!text.empty()) text += "; OK runs it all the same.";
  return text;
}

std::string EraseLimitQuestion(const Plan& plan, const TParameters& p,
                               const TExtension& extension) {
  const EraseFigures figures = PlannedErasures(plan);
  const char* names[2] = {"source", "destination"};
  std::string sides;
  for (int side = 1; side >= 0; --side) {
    if (!OverEraseLimit(extension, figures.erasures[side], figures.present[side])) continue;
    sides += (sides.empty() ? "" : "; and ") + std::to_string(figures.erasures[side]) + " of the " +
             std::to_string(figures.present[side]) + " files in the " + names[side] + " tree (" +
             FoldersOfSide(p, plan, side) + ")";
  }
  if (sides.empty()) return sides;
  return "The plan erases " + sides + ", more than the erase limit (" + LimitText(extension) +
         ") allows. A disk that is not mounted, or a source folder emptied by mistake, looks "
         "like this.\n\nYes: show the plan; OK there runs it all the same.\nNo: stop "
         "the run before anything is erased or copied.";
}

}  // namespace tolvex
