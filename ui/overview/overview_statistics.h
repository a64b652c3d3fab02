// The figures the overview shows: the three statistics texts beside the
// page pictures (copies into each tree, megabytes and the space each drive
// keeps) and the statistics of every group row.
#pragma once

#include <string>
#include <vector>

#include "model/parameters.h"
#include "model/plan.h"
#include "model/records.h"
#include "ui/overview/row_layout.h"

namespace tolvex::overview {

// The texts of controls 1015, 1016 and 1017, in the order they are set.
struct StatisticsTexts {
  std::string toDestination;  // "%ld / %ld": CountToDest, NewOnDest
  std::string toSource;       // "%ld / %ld": CountToSrc, NewOnSrc
  std::string space;          // "%.3lf MB" of CopyBytes, then per drive "   %c: %+.1lfMB"
  // The same figures in shorter forms, for a control too narrow for
  // `space` (two drives with gigabytes free): first every figure past
  // 9 999 MB in GB (past 9 999 GB in TB); then every figure in the unit
  // that keeps it under 1 000; then that with one decimal for the copy
  // and none for the drives. Forms equal to the one before are left out.
  std::vector<std::string> shorterSpaces;
  bool operator==(const StatisticsTexts&) const = default;
};

// The texts from the figures AccountSpace left in the plan `p`. The space text names
// the source drive first when the trees lie on two drives, then always the
// destination drive, each with what it keeps after the run (available minus
// needed, negative when the plan does not fit). The figures are 64-bit here,
// so a large drive shows its real space instead of a wrapped 32-bit number.
StatisticsTexts StatisticsTextsOf(const Plan& p);

// The first of `space` and its shorter forms that `measure` finds no wider
// than `room`; the shortest when none is.
std::string SpaceTextThatFits(const StatisticsTexts& texts, TextMeasure& measure, int room);

// Recounts forwardCount, backwardCount, forwardOrphans, backwardOrphans and
// bytes of every group from the actions of its candidates: Ignore and Erase
// count nothing; a copy into the destination tree (Normal on the source
// side, Invert on the destination side) counts forward, a copy into the
// source tree backward; a copy without a counterpart is an orphan; `bytes`
// adds the size of the file each copy reads (`size` for Normal,
// `counterSize` for Invert). A group whose range lies outside `plan` counts
// only the candidates that exist.
void CountGroupStatistics(std::vector<FOLDER>& folders, const std::vector<CANDIDATE>& plan);

// "%.3lf MB" of a byte count (the megabytes of a group row).
std::string MegabytesText(uint64_t bytes);

// "%ld Total, %ld Orphans" (the counts of a group row).
std::string TotalText(int32_t total, int32_t orphans);

}  // namespace tolvex::overview
