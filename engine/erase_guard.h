// The erase guard of the extension (SetEraseLimit): how many files the plan
// erases on each side, weighed against the files present there. An
// unmounted disk is an empty folder on Linux: one-way with OrphanModeD2
// erase the whole backup goes, both ways every file older than the last run
// does. The run does not stop on its own; it tells the front end (the plan's
// side and end items, the overview's warning line), whose answer stops it.
#pragma once

#include <cstdint>
#include <string>

#include "model/parameters.h"
#include "model/plan.h"
#include "model/run_extension.h"

namespace tolvex {

// Per side (0 source tree, 1 destination tree).
struct EraseFigures {
  uint64_t erasures[2] = {0, 0};  // files the plan erases there
  uint64_t present[2] = {0, 0};   // files the scan met there
};

// From the plan's candidates as they stand (the overview may have changed
// them) and the scan's tally: an Erase candidate erases its file and, when
// there is one, its counterpart on the other side.
EraseFigures PlannedErasures(const Plan& plan);

// True when `erasures` of `present` files are more than the limit allows.
bool OverEraseLimit(const TExtension& extension, uint64_t erasures, uint64_t present);
bool AnySideOverEraseLimit(const TExtension& extension, const EraseFigures& figures);

// The overview's warning line for `plan` as it stands, or "" when no side is
// over the limit (or there is no limit). The run hands it to the overview
// (OverviewRequest), which tells in its answer whether a warning stood
// before the user at OK.
std::string EraseLimitWarning(const Plan& plan, const TExtension& extension);

// The same warning as a question for a message box, for an overview that
// has no room for the line (the Windows dialog): each side over the limit
// with its counts and folders (the include selections of `p`, the plan's
// DestinationRoot), what Yes and No do. "" when no side is over the limit.
std::string EraseLimitQuestion(const Plan& plan, const TParameters& p, const TExtension& extension);

}  // namespace tolvex
