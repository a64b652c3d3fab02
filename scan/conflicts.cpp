#include "scan/conflicts.h"

#include <unordered_map>

#include "platform/text_rules.h"

namespace tolvex {

namespace {

// The file of a candidate and its counterpart, letter case folded: the
// scan pairs names without regard to it.
std::string FoldedPath(const std::vector<STRING>& folders, const CANDIDATE& c) {
  return AsciiUpperText(folders[c.dirIndex].text() + c.name + c.extension);
}

}  // namespace

void SettleConflicts(const TParameters& parameters, Plan& plan) {
  // Source-side files of conflicts, to report each pair once.
  std::unordered_map<std::string, size_t> source_files;
  for (size_t i = 0; i < plan.candidates.size(); ++i) {
    CANDIDATE& c = plan.candidates[i];
    if (!(c.state & STATE_CONFLICT)) continue;
    if (parameters.ConfirmMode == TOLVEX_CONFIRM_MODE_NONE) {
      c.state = ReplaceAction(c.state, STATE_IGNORE);
    }
    if (!(c.state & STATE_DEST_SIDE)) source_files.emplace(FoldedPath(plan.dirList, c), i);
  }
  for (const CANDIDATE& c : plan.candidates) {
    if (!(c.state & STATE_CONFLICT)) continue;
    const bool dest_side = (c.state & STATE_DEST_SIDE) != 0;
    // A destination-side candidate is reported only when its source-side
    // twin gave none (its folder was not scanned).
    if (dest_side && source_files.count(FoldedPath(plan.counterpartList, c)) != 0) continue;
    const std::vector<STRING>& source_folders = dest_side ? plan.counterpartList : plan.dirList;
    plan.findings.push_back(
        FINDING{TOLVEX_REPORT_CONFLICT, source_folders[c.dirIndex].text() + c.name + c.extension});
  }
}

std::optional<size_t> ConflictPartnerOf(const Plan& plan, size_t index) {
  const CANDIDATE& c = plan.candidates[index];
  if (!(c.state & STATE_CONFLICT)) return std::nullopt;
  const std::string counterpart = FoldedPath(plan.counterpartList, c);
  for (size_t j = 0; j < plan.candidates.size(); ++j) {
    const CANDIDATE& other = plan.candidates[j];
    if (j == index || !(other.state & STATE_CONFLICT)) continue;
    if (FoldedPath(plan.dirList, other) == counterpart) return j;
  }
  return std::nullopt;
}

}  // namespace tolvex
